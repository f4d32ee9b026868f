#include "tests/fuzz/FuzzSession.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <utility>
#include <variant>
#include <vector>

#include "core/ParamIndex.h"
#include "host/EffectMain.h"
#include "minihost/MiniHost.h"
#include "minihost/Rects.h"
#include "tests/fuzz/SessionScript.h"
#include "tests/support/CommandRecords.h"
#include "tests/support/HostRules.h"
#include "tests/support/Reconfigure.h"
#include "tests/support/ReferenceSettings.h"
#include "tests/support/WorldReference.h"

namespace tessaline::fuzz {
namespace {

[[noreturn]] void Fail(int line, const char* what, long long seen, long long expected) {
  std::fprintf(stderr, "session check failed (FuzzSession.cpp:%d): %s (seen %lld, expected %lld)\n",
               line, what, seen, expected);
  std::abort();
}

#define SESSION_CHECK(cond)                   \
  do {                                        \
    if (!(cond)) Fail(__LINE__, #cond, 0, 0); \
  } while (0)
#define SESSION_CHECK_EQ(seen, expected)                                              \
  do {                                                                                \
    const long long seen_ = (long long)(seen), expected_ = (long long)(expected);     \
    if (seen_ != expected_) Fail(__LINE__, #seen " == " #expected, seen_, expected_); \
  } while (0)

bool Has(std::uint32_t mask, std::uint32_t bit) {
  return (mask & bit) != 0;
}

// What the smart-render callbacks delivered in the last command: the harness
// sits between the effect and the host to see it. A world record is copied, as
// the host's record may live only for the command.
struct Delivered {
  PF_SmartRenderCallbacks host{};
  bool hasPixels = false;
  PF_EffectWorld pixels{};
  bool hasOutput = false;
  PF_EffectWorld output{};
};
Delivered g_delivered;

void Keep(PF_EffectWorld** delivered, bool& has, PF_EffectWorld& copy) {
  has = delivered != nullptr && *delivered != nullptr;
  if (has) copy = **delivered;
}

PF_Err SeeLayerPixels(PF_ProgPtr ref, A_long id, PF_EffectWorld** pixels) {
  const PF_Err err = g_delivered.host.checkout_layer_pixels(ref, id, pixels);
  Keep(pixels, g_delivered.hasPixels, g_delivered.pixels);
  return err;
}

PF_Err SeeOutput(PF_ProgPtr ref, PF_EffectWorld** output) {
  const PF_Err err = g_delivered.host.checkout_output(ref, output);
  Keep(output, g_delivered.hasOutput, g_delivered.output);
  return err;
}

using test::BufferOf;
using test::CallsOf;
using test::CommandRecords;
using test::ExpectedPixelFormat;
using test::ExpectedResultRects;
using test::HalfLayer;
using test::JudgeColorSlotUI;
using test::JudgeParamsSetup;
using test::JudgePreRender;
using test::JudgeSmartRender;
using test::kAboutText;
using test::kGlobalSetupOut;
using test::kPresetOutFlags;
using test::kPresetWrites;
using test::NeededBy;
using test::Reconfigure;
using test::ReferenceRender;
using test::Verdict;
using test::WorldHoldsFormat;
using Shadow = test::WorldCopy;

// The copies a session takes of the worlds, kept from one session to the
// next so that their memory is allocated once per process.
struct Scratch {
  std::vector<std::uint8_t> layerBefore, outputBefore;
  Shadow shadow;  // the output's rows before a render, drawn on by the reference
};
Scratch& SessionScratch() {
  static Scratch scratch;
  return scratch;
}

struct PendingFrame {
  void* data;
  PF_DeletePreRenderDataFunc release;
  GridSettings expected;
  PF_LRect resultRect;  // the output the host makes for the frame
  PF_LRect inputMax;    // the input's max_result_rect in pre-render, nothing when empty
};

// The largest output a session renders into, in pixels: a larger result
// rectangle is a frame the host would not render here.
constexpr std::int64_t kMaxOutputPixels = kMaxWorldPixels;

class Session {
 public:
  // A small 8-bit frame to start with.
  Session() : host_(&EffectMain, {.input = {PixelDepth::k8, kSmallSides, kSmallSides / 2}}) {
    SESSION_CHECK_EQ(host_.GlobalSetup(), PF_Err_NONE);
    SESSION_CHECK_EQ(host_.ParamsSetup(), PF_Err_NONE);
    SESSION_CHECK_EQ(host_.ParamCount(), kParamCount);
  }

  ~Session() {
    for (PendingFrame& f : frames_) f.release(f.data);
  }

  void Run(ScriptReader& in) {
    const bool trace = std::getenv("TESSALINE_FUZZ_TRACE") != nullptr;
    for (int step = 0; step < kMaxSteps && !in.done(); ++step) {
      const Op op = Op(in.U8() % kOpCount);
      if (trace) std::fprintf(stderr, "step %d: op %d\n", step, int(op));
      Step(in, op);
      CheckHostBalance();
    }
  }

 private:
  // ---- Decoding -------------------------------------------------------------

  // The command of `op` with its operand: the changed index, the frame slot.
  void Command(Op op, std::int32_t operand) {
    switch (op) {
      case kAbout:
        return About();
      case kGlobalSetup:
        return GlobalSetup();
      case kParamsSetup:
        return ParamsSetup();
      case kUpdateUI:
        return UpdateUI();
      case kUserChanged:
        return UserChanged(operand);
      case kSmartPreRender:
        if (renders_++ < kMaxRenders) PreRender();
        return;
      case kSmartRender:
        if (renders_++ < kMaxRenders) SmartRender(std::uint8_t(operand));
        return;
      case kLegacyRender:
        if (renders_++ < kMaxRenders) LegacyRender();
        return;
      default:
        return;
    }
  }

  void Step(ScriptReader& in, Op op) {
    switch (op) {
      case kAbout:
      case kGlobalSetup:
      case kParamsSetup:
      case kUpdateUI:
      case kSmartPreRender:
      case kLegacyRender:
        return Command(op, 0);
      case kUserChanged: {
        const std::uint8_t b = in.U8();
        return Command(op, b == 0xFF ? in.I32() : std::int32_t(b % 32) - 1);
      }
      case kSmartRender:
        return Command(op, in.U8());
      case kReleaseFrame: {
        const std::uint8_t slot = in.U8();
        if (!frames_.empty()) {
          const std::size_t i = slot % frames_.size();
          frames_[i].release(frames_[i].data);
          frames_.erase(frames_.begin() + std::ptrdiff_t(i));
        }
        return;
      }
      case kRawCommand:
        return RawCommand(in.I32());
      case kSetControl:
        return SetControl(in);
      case kSetLayer:
      case kSetOutput: {
        const auto depth =
            std::array{PixelDepth::k8, PixelDepth::k16, PixelDepth::kFloat}[in.U8() % 3];
        const std::int32_t width = WorldSize(in);
        std::int32_t height = WorldSize(in);
        if (std::int64_t{width} * height > kMaxWorldPixels)
          height = std::int32_t(kMaxWorldPixels / width);
        const std::int32_t rowbytes = in.I32() % kStrides;
        if (op == kSetLayer)
          Reconfigure(host_, [&](auto& c) { c.input = {depth, width, height, rowbytes}; });
        else
          Reconfigure(host_, [&](auto& c) {
            c.output = WorldGeometry{depth, width, height, rowbytes};
          });
        return;
      }
      case kSetLayerSize: {
        const A_long width = in.I32();
        return Reconfigure(host_, [&](auto& c) { c.layerSize = {{width, in.I32()}}; });
      }
      case kSetDownsample: {
        PF_RationalScale x{in.I32(), in.U32()};
        PF_RationalScale y{in.I32(), in.U32()};
        return Reconfigure(host_, [&](auto& c) { c.downsample = {x, y}; });
      }
      case kSetTime: {
        const A_long t = in.I32(), step = in.I32();
        return Reconfigure(host_, [&](auto& c) { c.times = {t, step, in.U32()}; });
      }
      case kAddFault:
        return AddFault(in);
      case kClearFaults:
        faults_.clear();
        return host_.ClearFaults();
      case kSetSuites: {
        const std::uint8_t bits = in.U8();
        return Reconfigure(host_, [&](auto& c) {
          c.basicSuite = !Has(bits, 1);
          c.suites = {{!Has(bits, 2), !Has(bits, 4)}};  // world, param utils
        });
      }
      case kSetNulls:
        nulls_ = in.U32();
        return;
      case kSetNullParams:
        nullParams_ = in.U32();
        return;
      case kSetFormat: {
        World& w = in.U8() % 2 == 0 ? host_.Output() : host_.Layer();
        return w.setPixelFormat(in.I32());
      }
      case kSetWorldFlags: {
        World& w = in.U8() % 2 == 0 ? host_.Output() : host_.Layer();
        w.def()->world_flags = in.I32();
        if (&w == &host_.Layer()) host_.Param(kInputLayer)->u.ld.world_flags = w.def()->world_flags;
        return;
      }
      case kSetRequest:
        request_.rect = PF_LRect{in.I32(), in.I32(), in.I32(), in.I32()};
        request_.field = PF_Field_FRAME + std::int32_t(in.U8() % 3);
        return;
      case kSetCheckoutRects: {
        const PF_LRect result{in.I32(), in.I32(), in.I32(), in.I32()};
        checkoutMax_ = PF_LRect{in.I32(), in.I32(), in.I32(), in.I32()};
        checkoutRectsSet_ = true;
        return Reconfigure(host_, [&](auto& c) { c.checkoutRects = {{result, checkoutMax_}}; });
      }
      case kSetInputOrigin: {
        const auto x = static_cast<std::int16_t>(in.U16());
        return Reconfigure(host_, [&](auto& c) {
          c.inputOrigin = {x, static_cast<std::int16_t>(in.U16())};
        });
      }
      case kSetOutputWindow: {
        WorldMargins m;
        m.left = in.U8() % kMaxMargin;
        m.top = in.U8() % kMaxMargin;
        m.right = in.U8() % kMaxMargin;
        m.bottom = in.U8() % kMaxMargin;
        return Reconfigure(host_, [&](auto& c) {
          c.output = FollowingOutput{m, in.I32() % kStrides};
        });
      }
      case kFillLayer: {
        const auto kind = FillKind(in.U8() % kFillKindCount);
        return FillLayer(kind, in.U8());
      }
      case kSetEmptyInput:
        return Reconfigure(host_, [&](auto& c) {
          c.emptyInput = in.U8() % 2 == 0 ? EmptyInput::kEmptyWorld : EmptyInput::kNullWorld;
        });
      case kOpCount:
        return;
    }
  }

  // Every pixel of the input layer, of the kind asked for, from a seed.
  void FillLayer(FillKind kind, std::uint8_t seed) {
    World& layer = host_.Layer();
    std::uint32_t state = 0x9E3779B9u * (seed + 1u);
    const auto next = [&] {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      return state;
    };
    // A channel from 0 to full scale (a little beyond in float, and up to
    // the word's limit now and then in 16 bits, as a host may hand over).
    const auto channel = [&](double full) {
      const std::uint32_t v = next();
      if (full == 1.0) return double(v % 2001) / 1000.0 - 0.25;
      if (full == 32768.0 && v % 16 == 0) return double(v % 65536);
      return double(v % std::uint32_t(full + 1));
    };
    const auto alpha = [&](double full) {
      switch (kind) {
        case kFillOpaque:
          return full;
        case kFillClear:
          return 0.0;
        case kFillTranslucent: {
          const double a = channel(full);
          return a > full ? full : a < 0.0 ? 0.0 : a;
        }
        default:
          return channel(full);
      }
    };
    for (std::int32_t r = 0; r < layer.height(); ++r) {
      for (std::int32_t c = 0; c < layer.width(); ++c) {
        switch (layer.depth()) {
          case PixelDepth::k8:
            layer.At<PF_Pixel>(r, c) = PF_Pixel{A_u_char(alpha(255)), A_u_char(channel(255)),
                                                A_u_char(channel(255)), A_u_char(channel(255))};
            break;
          case PixelDepth::k16:
            layer.At<PF_Pixel16>(r, c) =
                PF_Pixel16{A_u_short(alpha(32768)), A_u_short(channel(32768)),
                           A_u_short(channel(32768)), A_u_short(channel(32768))};
            break;
          case PixelDepth::kFloat:
            layer.At<PF_PixelFloat>(r, c) = PF_PixelFloat{float(alpha(1.0)), float(channel(1.0)),
                                                          float(channel(1.0)), float(channel(1.0))};
            break;
        }
      }
    }
  }

  static std::int32_t WorldSize(ScriptReader& in) {
    const std::uint8_t v = in.U8();
    return v < kLargeSide ? v % kSmallSides : kSmallSides + in.U16() % kLargeSides;
  }

  void SetControl(ScriptReader& in) {
    const ParamIndex index = ParamIndex(in.U8() % kParamCount);
    const ValueKind kind = ValueKind(in.U8() % kValueKindCount);
    PF_ParamDef& def = *host_.Param(index);
    std::int32_t integer = 0;
    double number = 0.0;
    switch (kind) {
      case kValueRawDouble: {
        const std::uint64_t bits = in.U64();
        std::memcpy(&number, &bits, sizeof number);
        integer = static_cast<std::int32_t>(std::uint32_t(bits));
        break;
      }
      case kValueSpecial: {
        const std::uint8_t b = in.U8();
        number = kSpecialDoubles[b % std::size(kSpecialDoubles)];
        integer = kSpecialIntegers[b % std::size(kSpecialIntegers)];
        break;
      }
      case kValueRawInteger:
        integer = in.I32();
        number = integer;
        break;
      default:
        integer = static_cast<std::int8_t>(in.U8());
        number = integer;
        break;
    }
    // The layer and the group markers carry no value.
    if (def.param_type == PF_Param_FLOAT_SLIDER) def.u.fs_d.value = number;
    if (def.param_type == PF_Param_SLIDER) def.u.sd.value = integer;
    if (def.param_type == PF_Param_POPUP) def.u.pd.value = integer;
    if (def.param_type == PF_Param_CHECKBOX) def.u.bd.value = integer;
    if (def.param_type == PF_Param_COLOR) def.u.cd.value = UnpackPixel(std::uint32_t(integer));
  }

  void AddFault(ScriptReader& in) {
    Fault f;
    f.call = HostCall(in.U8() % std::uint8_t(HostCall::kCount));
    f.nth = 1 + in.U8() % 32;
    f.effect = FaultEffect(in.U8() % 3);
    const std::uint8_t e = in.U8();
    f.error = e == 0xFF ? in.I32() : kFaultErrors[e % std::size(kFaultErrors)];
    // A failure reported as success would be a broken host, not a fault.
    if (f.error == PF_Err_NONE) f.error = PF_Err_INTERNAL_STRUCT_DAMAGED;
    const std::uint8_t a = in.U8();
    f.arg = a == 0 ? kAnyArg : std::int32_t(a) - 1;
    f.repeat = (in.U8() & 1) != 0;
    if (faults_.size() >= std::size_t(kMaxFaults)) return;
    faults_.push_back(f);
    host_.AddFault(f);
  }

  // ---- One command ------------------------------------------------------------

  // Sends `cmd` with the records `r` holds, its own extra and output unless
  // given; the log then holds this command alone.
  PF_Err Send(PF_Cmd cmd, CommandRecords& r) { return Send(cmd, r, r.Output(cmd), r.Extra(cmd)); }
  PF_Err Send(PF_Cmd cmd, CommandRecords& r, PF_LayerDef* output, void* extra) {
    host_.ClearLog();
    host_.Layer().PackPixels(layerBefore_);
    host_.Output().PackPixels(outputBefore_);
    outBefore_ = r.out;
    preOutputBefore_ = r.preOutput;
    const PF_Err err = r.Send(cmd, output, extra);
    log_ = host_.Log();
    nulls_ = nullParams_ = 0;  // the nulls apply to one command
    return err;
  }

  // A command that missed a record it needs answered as the contract says,
  // called nothing and changed nothing.
  bool JudgedMissing(PF_Cmd cmd, const CommandRecords& r, PF_Err err) const {
    if (!r.Misses(cmd)) return false;
    SESSION_CHECK_EQ(err, NeededBy(cmd)->answer);
    SESSION_CHECK(CallsOf(log_).empty());
    SESSION_CHECK(std::memcmp(&r.out, &outBefore_, sizeof outBefore_) == 0);
    SESSION_CHECK(std::memcmp(&r.preOutput, &preOutputBefore_, sizeof preOutputBefore_) == 0);
    if (cmd != PF_Cmd_PARAMS_SETUP) CheckParamsUnchanged(r, {});  // that one registers afresh
    CheckWorldsUntouched();
    return true;
  }

  // The command's calls kept the rules a judge states; and, given its result,
  // it answered what they make it answer.
  static void Kept(const Verdict& v) {
    if (v.breach.empty()) return;
    std::fprintf(stderr, "session rule broken: %s\n", v.breach.c_str());
    std::abort();
  }
  static void Require(const Verdict& v, PF_Err err) {
    Kept(v);
    SESSION_CHECK_EQ(err, v.expected);
  }

  // The pixels of a world, row after row. The bytes around them (the
  // padding, foreign pixels and guards) are the host's to check, after every
  // command.
  static bool SamePixels(const World& w, const std::vector<std::uint8_t>& kept) {
    const std::size_t bytes = std::size_t(w.width()) * std::size_t(w.pixelSize());
    if (kept.size() != bytes * std::size_t(w.height())) return false;
    for (std::int32_t r = 0; r < w.height() && bytes > 0; ++r) {
      if (std::memcmp(kept.data() + bytes * std::size_t(r), w.RowAddress(r), bytes) != 0)
        return false;
    }
    return true;
  }

  void CheckLayerUntouched() const { SESSION_CHECK(SamePixels(host_.Layer(), layerBefore_)); }
  void CheckWorldsUntouched() const {
    CheckLayerUntouched();
    SESSION_CHECK(SamePixels(host_.Output(), outputBefore_));
  }

  void CheckHostBalance() {
    SESSION_CHECK_EQ(log_.CheckoutBalance(), 0);
    SESSION_CHECK_EQ(log_.SuiteImbalance(), 0);
    SESSION_CHECK_EQ(log_.badEffectRefs, 0);
    // The host checks the guards of both worlds after every command; the
    // padding is judged here, against the reference's copy of the rows.
    // A render told the output has wider pixels than it was made with fills
    // what the host counts as padding or foreign pixels within the rows'
    // strides, and past the image as far as a window starts into its last
    // row; CheckRender judged those bytes.
    const auto* window = std::get_if<FollowingOutput>(&host_.Config().output);
    const std::int64_t spill =
        window != nullptr ? std::int64_t{window->margins.left} * host_.Output().pixelSize() : 0;
    std::size_t failures = 0;
    for (const GuardFailure& f : log_.guardFailures) {
      if (f.output && widerPixels_ && f.report.before == 0 && f.report.after <= spill) {
        host_.Output().RearmGuards();  // so that the next command's check starts clean
        continue;
      }
      std::fprintf(stderr, "command %d, %s: %s\n", int(f.cmd), f.output ? "output" : "input",
                   f.report.Describe().c_str());
      ++failures;
    }
    SESSION_CHECK_EQ(failures, 0);
    log_ = CallLog{};
    widerPixels_ = false;
  }

  // The pixel format the effect was told for `world`, or the fallback it
  // must have taken, from the calls of the last command.
  PF_PixelFormat FormatSeen(const PF_EffectWorld& world, bool suiteAsked) const {
    return ExpectedPixelFormat(suiteAsked ? CallsOf(log_) : std::span<const CallRecord>{}, world,
                               host_.Output().pixelFormat());
  }

  // Records the effect may not write stay as the host made them; those it may
  // write change only in their values and change flags.
  void CheckParamsUnchanged(const CommandRecords& r, std::span<const ParamIndex> writable) const {
    for (int i = 0; i < kParamCount; ++i) {
      const PF_ParamDef& now = r.copies[std::size_t(i)];
      PF_ParamDef before = *host_.Param(i);
      if (i == kInputLayer && r.Null(kNullLayerData)) before.u.ld.data = nullptr;
      if (std::find(writable.begin(), writable.end(), i) != writable.end()) {
        SESSION_CHECK_EQ(now.uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
        before.uu = now.uu;
        before.u = now.u;
      }
      SESSION_CHECK(std::memcmp(&now, &before, sizeof before) == 0);
    }
  }

  // ---- Commands ---------------------------------------------------------------

  void About() {
    CommandRecords r(host_, nulls_, nullParams_);
    const PF_Err err = Send(PF_Cmd_ABOUT, r);
    if (JudgedMissing(PF_Cmd_ABOUT, r, err)) return;
    SESSION_CHECK_EQ(err, PF_Err_NONE);
    SESSION_CHECK(std::strcmp(r.out.return_msg, kAboutText) == 0);
    SESSION_CHECK(CallsOf(log_).empty());
    CheckWorldsUntouched();
  }

  void GlobalSetup() {
    CommandRecords r(host_, nulls_, nullParams_);
    const PF_Err err = Send(PF_Cmd_GLOBAL_SETUP, r);
    if (JudgedMissing(PF_Cmd_GLOBAL_SETUP, r, err)) return;
    SESSION_CHECK_EQ(err, PF_Err_NONE);
    SESSION_CHECK_EQ(r.out.my_version, kGlobalSetupOut.my_version);
    SESSION_CHECK_EQ(r.out.out_flags, kGlobalSetupOut.out_flags);
    SESSION_CHECK_EQ(r.out.out_flags2, kGlobalSetupOut.out_flags2);
    SESSION_CHECK_EQ(r.out.num_params, kParamCount);
    SESSION_CHECK(CallsOf(log_).empty());
    CheckWorldsUntouched();
  }

  void ParamsSetup() {
    CommandRecords r(host_, nulls_, nullParams_);
    constexpr A_long kUnset = -12345;  // num_params is written only on success
    r.out.num_params = kUnset;
    const PF_Err err = Send(PF_Cmd_PARAMS_SETUP, r);
    if (!JudgedMissing(PF_Cmd_PARAMS_SETUP, r, err)) {
      Require(JudgeParamsSetup(log_), err);
      SESSION_CHECK_EQ(r.out.num_params, err == PF_Err_NONE ? kParamCount : kUnset);
      CheckWorldsUntouched();
    }
    // A host whose setup did not complete would not apply the effect: set up
    // again, cleanly, and keep the schedule.
    if (host_.ParamCount() != kParamCount) {
      host_.ClearFaults();
      SESSION_CHECK_EQ(host_.ParamsSetup(), PF_Err_NONE);
      SESSION_CHECK_EQ(host_.ParamCount(), kParamCount);
      for (const Fault& f : faults_) host_.AddFault(f);
      log_ = host_.Log();
    }
  }

  void UpdateUI() {
    CommandRecords r(host_, nulls_, nullParams_);
    const PF_Err err = Send(PF_Cmd_UPDATE_PARAMS_UI, r);
    if (JudgedMissing(PF_Cmd_UPDATE_PARAMS_UI, r, err)) return;
    Require(JudgeColorSlotUI(log_, r.in, r.params.data()), err);
    CheckParamsUnchanged(r, {});
    CheckWorldsUntouched();
  }

  void UserChanged(std::int32_t index) {
    CommandRecords r(host_, nulls_, nullParams_);
    r.changed.param_index = index;
    const PF_Err err = Send(PF_Cmd_USER_CHANGED_PARAM, r);
    if (JudgedMissing(PF_Cmd_USER_CHANGED_PARAM, r, err)) return;
    const bool applies =
        (index == kPreset || index == kResolution) && r.copies[kPreset].u.pd.value != kPresetCustom;
    CheckParamsUnchanged(
        r, applies ? std::span<const ParamIndex>(kPresetWrites) : std::span<const ParamIndex>{});
    SESSION_CHECK_EQ(r.out.out_flags, outBefore_.out_flags | (applies ? kPresetOutFlags : 0));
    // The host takes over every flagged value.
    if (applies) {
      for (ParamIndex i : kPresetWrites) host_.Param(i)->u = r.copies[std::size_t(i)].u;
    }
    Require(JudgeColorSlotUI(log_, r.in, r.params.data()), err);
    CheckWorldsUntouched();
  }

  void PreRender() {
    CommandRecords r(host_, nulls_, nullParams_);
    r.preInput.output_request = request_;
    const PF_Err err = Send(PF_Cmd_SMART_PRE_RENDER, r);
    if (JudgedMissing(PF_Cmd_SMART_PRE_RENDER, r, err)) return;
    Require(JudgePreRender(log_, r.in, request_), err);
    CheckWorldsUntouched();
    const PF_PreRenderOutput& output = r.preOutput;
    if (err != PF_Err_NONE) {
      // Freed (the leak checker sees a lost record) and the pointers null again.
      SESSION_CHECK(std::memcmp(&output, &preOutputBefore_, sizeof output) == 0);
      return;
    }
    SESSION_CHECK(output.pre_render_data != nullptr);
    SESSION_CHECK(output.delete_pre_render_data_func != nullptr);
    GridSettings want = reference::ResolveSettings(host_.Params());
    reference::ScaleToDownsample(want, r.in.downsample_x, r.in.downsample_y);
    SESSION_CHECK(
        reference::SameSettings(*static_cast<const GridSettings*>(output.pre_render_data), want));
    // The layer and all the input holds, whatever the request; of it, what
    // the request asks for.
    const PF_LRect inputMax = IsEmptyRect(CheckoutMax()) ? PF_LRect{} : CheckoutMax();
    const auto [max, result] = ExpectedResultRects(r.in.width, r.in.height, r.in.downsample_x,
                                                   r.in.downsample_y, inputMax, request_.rect);
    SESSION_CHECK(std::memcmp(&output.max_result_rect, &max, sizeof max) == 0);
    SESSION_CHECK(std::memcmp(&output.result_rect, &result, sizeof result) == 0);
    SESSION_CHECK_EQ(output.solid, 0);
    SESSION_CHECK_EQ(output.flags, preOutputBefore_.flags);
    if (frames_.size() >= 4) {
      frames_.front().release(frames_.front().data);
      frames_.erase(frames_.begin());
    }
    frames_.push_back(PendingFrame{output.pre_render_data, output.delete_pre_render_data_func, want,
                                   result, inputMax});
  }

  // The input's max_result_rect as checkout_layer answers it: its extent
  // unless set.
  PF_LRect CheckoutMax() const {
    return checkoutRectsSet_ ? checkoutMax_ : host_.Config().InputExtent();
  }

  void SmartRender(std::uint8_t slot) {
    if (frames_.empty()) nulls_ |= kNullPreRenderData;
    const PendingFrame* frame =
        Has(nulls_, kNullPreRenderData) ? nullptr : &frames_[slot % frames_.size()];
    // The host makes the output the frame's result_rect asks for, origin and all.
    if (frame != nullptr) {
      const PF_LRect& rect = frame->resultRect;
      const std::int64_t pixels =
          (std::int64_t{rect.right} - rect.left) * (std::int64_t{rect.bottom} - rect.top);
      if (pixels > kMaxOutputPixels || !host_.PlaceOutput(rect)) {
        nulls_ = nullParams_ = 0;
        return;
      }
    }
    CommandRecords r(host_, nulls_, nullParams_);
    r.SetPreRenderData(frame != nullptr ? frame->data : nullptr);
    g_delivered = Delivered{};
    g_delivered.host = r.smartCb;
    if (r.smartCb.checkout_layer_pixels != nullptr)
      r.smartCb.checkout_layer_pixels = &SeeLayerPixels;
    if (r.smartCb.checkout_output != nullptr) r.smartCb.checkout_output = &SeeOutput;
    shadow_.Take(host_.Output());
    const PF_Err err = Send(PF_Cmd_SMART_RENDER, r);
    if (JudgedMissing(PF_Cmd_SMART_RENDER, r, err)) return;
    const GridSettings& s = frame->expected;
    const bool compositing = s.blendMode != kBlendGridOnly;
    const Verdict v = JudgeSmartRender(log_, compositing, g_delivered.hasOutput);
    if (v.expected != PF_Err_NONE) {
      Require(v, err);
      CheckWorldsUntouched();
      return;
    }
    Kept(v);
    const PF_EffectWorld& out = g_delivered.output;
    const PF_PixelFormat format = FormatSeen(out, r.in.pica_basicP != nullptr);
    // The worlds' origins place them in the layer: the grid's center and the
    // source's pixel (0, 0) in output pixels.
    const PF_LRect& in = frame->inputMax;
    LayerPlacement place{
        HalfLayer(r.in.width, r.in.downsample_x, in.left, in.right) - out.origin_x,
        HalfLayer(r.in.height, r.in.downsample_y, in.top, in.bottom) - out.origin_y, 0, 0};
    const PF_EffectWorld* source = nullptr;
    if (compositing && g_delivered.hasPixels) {
      source = &g_delivered.pixels;
      place.sourceX = std::int64_t{source->origin_x} - out.origin_x;
      place.sourceY = std::int64_t{source->origin_y} - out.origin_y;
    }
    CheckRender(err, format, source, out, s, place);
  }

  // The output equals the reference drawn on the shadow of its rows (the
  // bytes after each row's pixels included, which stay as they were), or is
  // untouched when there is nothing to draw or the render must fail.
  void CheckRender(PF_Err err, PF_PixelFormat format, const PF_EffectWorld* source,
                   const PF_EffectWorld& out, const GridSettings& s, const LayerPlacement& place) {
    const bool hasPixels = out.width > 0 && out.height > 0;
    // A source with no pixels is none; one with pixels must hold them at the depth.
    const bool sourcePixels =
        source != nullptr && source->data != nullptr && source->width > 0 && source->height > 0;
    if (hasPixels && (out.data == nullptr || !WorldHoldsFormat(out, format) ||
                      (sourcePixels && !WorldHoldsFormat(*source, format)))) {
      SESSION_CHECK_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
      CheckWorldsUntouched();
      return;
    }
    widerPixels_ = PixelSize(format) > host_.Output().pixelSize();
    PixelBuffer sourceBuffer;
    if (sourcePixels) sourceBuffer = BufferOf(*source);
    const int want =
        ReferenceRender(format, sourcePixels ? &sourceBuffer : nullptr, shadow_.buffer(), s, place);
    SESSION_CHECK_EQ(err, want);
    SESSION_CHECK(shadow_.Matches(host_.Output()));
    CheckLayerUntouched();
  }

  void LegacyRender() {
    CommandRecords r(host_, nulls_, nullParams_);
    shadow_.Take(host_.Output());
    const PF_Err err = Send(PF_Cmd_RENDER, r);
    if (JudgedMissing(PF_Cmd_RENDER, r, err)) return;
    GridSettings s = reference::ResolveSettings(r.params.data());
    if (r.InData() != nullptr) {
      reference::ScaleToDownsample(s, r.in.downsample_x, r.in.downsample_y);
    }
    const bool suiteAsked =
        r.InData() != nullptr && r.OutData() != nullptr && r.in.pica_basicP != nullptr;
    // Nothing is checked out: only the world suite, for the depth.
    for (const CallRecord& c : CallsOf(log_)) {
      SESSION_CHECK(suiteAsked &&
                    (c.call == HostCall::kAcquireSuite || c.call == HostCall::kGetPixelFormat ||
                     c.call == HostCall::kReleaseSuite));
    }
    const PF_PixelFormat format = FormatSeen(r.output, suiteAsked);
    // Input and output share their geometry; the layer's (0, 0) lies at the
    // pre-effect source origin. Without in_data the output is the layer.
    LayerPlacement place{r.output.width * 0.5, r.output.height * 0.5, 0, 0};
    if (r.InData() != nullptr) {
      const std::int64_t x = r.in.pre_effect_source_origin_x;
      const std::int64_t y = r.in.pre_effect_source_origin_y;
      place.centerX = HalfLayer(r.in.width, r.in.downsample_x, -x, r.output.width - x) + x;
      place.centerY = HalfLayer(r.in.height, r.in.downsample_y, -y, r.output.height - y) + y;
    }
    const PF_EffectWorld* source =
        s.blendMode != kBlendGridOnly ? &r.copies[kInputLayer].u.ld : nullptr;
    CheckRender(err, format, source, r.output, s, place);
  }

  void RawCommand(std::int32_t selector) {
    // The handled selectors as their steps would send them: a change of the preset.
    static constexpr std::pair<PF_Cmd, Op> kHandled[] = {{PF_Cmd_ABOUT, kAbout},
                                                         {PF_Cmd_GLOBAL_SETUP, kGlobalSetup},
                                                         {PF_Cmd_PARAMS_SETUP, kParamsSetup},
                                                         {PF_Cmd_RENDER, kLegacyRender},
                                                         {PF_Cmd_USER_CHANGED_PARAM, kUserChanged},
                                                         {PF_Cmd_UPDATE_PARAMS_UI, kUpdateUI},
                                                         {PF_Cmd_SMART_PRE_RENDER, kSmartPreRender},
                                                         {PF_Cmd_SMART_RENDER, kSmartRender}};
    for (const auto& [cmd, op] : kHandled) {
      if (cmd == selector) return Command(op, op == kUserChanged ? kPreset : 0);
    }
    // Every other selector is answered with success and touches nothing.
    CommandRecords r(host_, nulls_, nullParams_);
    std::array<std::uint8_t, 256> extra{};
    extra.fill(0x5C);
    const std::array<std::uint8_t, 256> extraBefore = extra;
    const PF_Err err = Send(selector, r, host_.Output().def(), &extra);
    SESSION_CHECK_EQ(err, PF_Err_NONE);
    SESSION_CHECK(CallsOf(log_).empty());
    SESSION_CHECK(std::memcmp(&r.out, &outBefore_, sizeof outBefore_) == 0);
    SESSION_CHECK(extra == extraBefore);
    CheckParamsUnchanged(r, {});
    CheckWorldsUntouched();
  }

  mutable MiniHost host_;  // its accessors are not const
  CallLog log_;            // of the last command
  bool widerPixels_ = false;
  std::vector<Fault> faults_;
  std::vector<PendingFrame> frames_;
  std::uint32_t nulls_ = 0;
  std::uint32_t nullParams_ = 0;
  int renders_ = 0;
  PF_RenderRequest request_{
      PF_LRect{0, 0, kSmallSides, kSmallSides / 2}, PF_Field_FRAME, PF_ChannelMask_ARGB, 0, {}, {}};
  bool checkoutRectsSet_ = false;
  PF_LRect checkoutMax_{};
  std::vector<std::uint8_t>& layerBefore_ = SessionScratch().layerBefore;
  std::vector<std::uint8_t>& outputBefore_ = SessionScratch().outputBefore;
  Shadow& shadow_ = SessionScratch().shadow;
  PF_OutData outBefore_{};
  PF_PreRenderOutput preOutputBefore_{};
};

}  // namespace

void RunSession(const std::uint8_t* data, std::size_t size) {
  ScriptReader in(data, size);
  // On the heap, so that each session's host has an address of its own: an
  // effect_ref the plug-in kept from an earlier session then reaches no host.
  const auto session = std::make_unique<Session>();
  session->Run(in);
}

}  // namespace tessaline::fuzz
