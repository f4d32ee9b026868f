#include "tests/fuzz/FuzzSession.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/ParamIndex.h"
#include "host/EffectMain.h"
#include "minihost/MiniHost.h"
#include "minihost/Rects.h"
#include "tests/fuzz/SessionScript.h"
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
  bool pixelsCalled = false;
  bool hasPixels = false;
  PF_EffectWorld pixels{};
  bool outputCalled = false;
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
  g_delivered.pixelsCalled = true;
  Keep(pixels, g_delivered.hasPixels, g_delivered.pixels);
  return err;
}

PF_Err SeeOutput(PF_ProgPtr ref, PF_EffectWorld** output) {
  const PF_Err err = g_delivered.host.checkout_output(ref, output);
  g_delivered.outputCalled = true;
  Keep(output, g_delivered.hasOutput, g_delivered.output);
  return err;
}

using test::BufferOf;
using test::ExpectedPixelFormat;
using test::ExpectedResultRects;
using test::HalfLayer;
using test::kAboutText;
using test::kPresetOutFlags;
using test::kPresetWrites;
using test::kRenderCheckoutOrder;
using test::Reconfigure;
using test::ReferenceRender;
using test::WholeRows;
using test::WorldHoldsFormat;
using Shadow = test::WorldCopy;

struct PendingFrame {
  void* data;
  PF_DeletePreRenderDataFunc release;
  GridSettings expected;
  PF_LRect resultRect;  // the output the host makes for the frame
  PF_LRect inputMax;    // the input's max_result_rect in pre-render, nothing when empty
};

// The largest output a session renders into, in pixels: a larger result
// rectangle is a frame the host would not render here.
constexpr std::int64_t kMaxOutputPixels = std::int64_t{1} << 20;

class Session {
 public:
  Session() : host_(&EffectMain) {
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

  void Step(ScriptReader& in, Op op) {
    switch (op) {
      case kAbout:
        return About();
      case kGlobalSetup:
        return GlobalSetup();
      case kParamsSetup:
        return ParamsSetup();
      case kUpdateUI:
        return UpdateUI();
      case kUserChanged: {
        const std::uint8_t b = in.U8();
        return UserChanged(b == 0xFF ? in.I32() : std::int32_t(b % 32) - 1);
      }
      case kSmartPreRender:
        if (renders_++ < kMaxRenders) PreRender();
        return;
      case kSmartRender: {
        const std::uint8_t slot = in.U8();
        if (renders_++ < kMaxRenders) SmartRender(slot);
        return;
      }
      case kReleaseFrame: {
        const std::uint8_t slot = in.U8();
        if (!frames_.empty()) {
          const std::size_t i = slot % frames_.size();
          frames_[i].release(frames_[i].data);
          frames_.erase(frames_.begin() + std::ptrdiff_t(i));
        }
        return;
      }
      case kLegacyRender:
        if (renders_++ < kMaxRenders) LegacyRender();
        return;
      case kRawCommand:
        return RawCommand(in.I32());
      case kSetControl:
        return SetControl(in);
      case kSetLayer:
      case kSetOutput: {
        const auto depth =
            std::array{PixelDepth::k8, PixelDepth::k16, PixelDepth::kFloat}[in.U8() % 3];
        const std::int32_t width = WorldSize(in);
        const std::int32_t height = WorldSize(in);
        const std::int32_t rowbytes = in.I32() % 4097;
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
        return Reconfigure(host_, [&](auto& c) { c.output = FollowingOutput{m, in.I32() % 4097}; });
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

  // Mostly small, now and then up to a few hundred pixels.
  static std::int32_t WorldSize(ScriptReader& in) {
    const std::uint8_t v = in.U8();
    return v < 0xC0 ? v % 48 : 48 + in.U16() % 272;
  }

  void SetControl(ScriptReader& in) {
    const ParamIndex index = ParamIndex(in.U8() % kParamCount);
    const ValueKind kind = ValueKind(in.U8() % kValueKindCount);
    PF_ParamDef& def = *host_.Param(index);
    std::int32_t integer = 0;
    double number = 0.0;
    std::uint32_t word = 0;
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
    switch (def.param_type) {
      case PF_Param_FLOAT_SLIDER:
        def.u.fs_d.value = number;
        break;
      case PF_Param_SLIDER:
        def.u.sd.value = integer;
        break;
      case PF_Param_POPUP:
        def.u.pd.value = integer;
        break;
      case PF_Param_CHECKBOX:
        def.u.bd.value = integer;
        break;
      case PF_Param_COLOR:
        word = std::uint32_t(integer);
        def.u.cd.value = UnpackPixel(word);
        break;
      default:  // the layer and the group markers carry no value
        break;
    }
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

  // ---- Records of one command ----------------------------------------------

  // The command's records: fresh from the host, with the nulls asked for.
  struct Records {
    PF_InData in{};
    PF_OutData out{};
    std::array<PF_ParamDef, kParamCount> copies{};
    std::array<PF_ParamDef*, kParamCount + 1> params{};
    PF_InData* inData = nullptr;
    PF_OutData* outData = nullptr;
    PF_ParamDef** paramList = nullptr;
  };

  void Prepare(Records& r) {
    r.in = host_.MakeInData();
    if (Has(nulls_, kNullCheckoutParam)) r.in.inter.checkout_param = nullptr;
    if (Has(nulls_, kNullCheckinParam)) r.in.inter.checkin_param = nullptr;
    if (Has(nulls_, kNullAddParam)) r.in.inter.add_param = nullptr;
    if (Has(nulls_, kNullBasicSuite)) r.in.pica_basicP = nullptr;
    r.out = host_.MakeOutData();
    for (int i = 0; i < kParamCount; ++i) {
      r.copies[std::size_t(i)] = *host_.Param(i);
      r.params[std::size_t(i)] = Has(nullParams_, 1u << i) ? nullptr : &r.copies[std::size_t(i)];
    }
    if (Has(nulls_, kNullLayerData)) r.copies[kInputLayer].u.ld.data = nullptr;
    r.inData = Has(nulls_, kNullInData) ? nullptr : &r.in;
    r.outData = Has(nulls_, kNullOutData) ? nullptr : &r.out;
    r.paramList = Has(nulls_, kNullParams) ? nullptr : r.params.data();
  }

  // The nulls apply to one command.
  void Consumed() {
    nulls_ = 0;
    nullParams_ = 0;
  }

  bool EntryNull(ParamIndex i) const { return Has(nullParams_, 1u << i); }

  PF_Err Send(PF_Cmd cmd, Records& r, PF_LayerDef* output, void* extra) {
    mark_ = host_.Log().calls.size();
    uiMark_ = host_.Log().uiUpdates.size();
    paramMark_ = host_.Log().paramCheckouts.size();
    layerMark_ = host_.Log().layerCheckouts.size();
    addMark_ = host_.Log().adds.size();
    layerBefore_ = WholeRows(host_.Layer());
    outputBefore_ = WholeRows(host_.Output());
    return host_.Send(cmd, r.inData, r.outData, r.paramList, output, extra);
  }

  // Host calls the effect made during the last command, the command excluded.
  std::vector<CallRecord> Calls() const {
    std::vector<CallRecord> log = host_.Log().calls;
    std::vector<CallRecord> calls;
    for (std::size_t i = mark_ + 1; i < log.size(); ++i) calls.push_back(log[i]);
    return calls;
  }

  template <typename T>
  static std::vector<T> Since(const std::vector<T>& all, std::size_t mark) {
    return std::vector<T>(all.begin() + std::ptrdiff_t(mark), all.end());
  }

  void CheckNoCalls() const { SESSION_CHECK_EQ(Calls().size(), 0); }
  void CheckLayerUntouched() const { SESSION_CHECK(WholeRows(host_.Layer()) == layerBefore_); }
  void CheckOutputUntouched() const { SESSION_CHECK(WholeRows(host_.Output()) == outputBefore_); }
  void CheckWorldsUntouched() const {
    CheckLayerUntouched();
    CheckOutputUntouched();
  }

  void CheckHostBalance() {
    SESSION_CHECK_EQ(host_.Log().CheckoutBalance(), 0);
    SESSION_CHECK_EQ(host_.Log().SuiteImbalance(), 0);
    SESSION_CHECK_EQ(host_.Log().badEffectRefs, 0);
    // The host checks the guards of both worlds after every command; the
    // padding is judged here, against the reference's copy of the rows.
    // A render told the output has wider pixels than it was made with fills
    // what the host counts as padding or foreign pixels within the rows'
    // strides; CheckRender judged those bytes.
    std::size_t failures = 0;
    const std::vector<GuardFailure> all = host_.Log().guardFailures;
    for (std::size_t i = guardsJudged_; i < all.size(); ++i) {
      const GuardFailure& f = all[i];
      if (f.output && widerPixels_ && f.report.before == 0 && f.report.after == 0) {
        host_.Output().RearmGuards();  // so that the next command's check starts clean
        continue;
      }
      std::fprintf(stderr, "command %d, %s: %s\n", int(f.cmd), f.output ? "output" : "input",
                   f.report.Describe().c_str());
      ++failures;
    }
    SESSION_CHECK_EQ(failures, 0);
    guardsJudged_ = all.size();
    widerPixels_ = false;
  }

  // The pixel format the effect was told for `world`, or the fallback it
  // must have taken, from the calls of the last command.
  PF_PixelFormat FormatSeen(const PF_EffectWorld& world, bool suiteAsked) const {
    const std::vector<CallRecord> calls = suiteAsked ? Calls() : std::vector<CallRecord>{};
    return ExpectedPixelFormat(calls, world, host_.Output().pixelFormat());
  }

  // ---- Commands ---------------------------------------------------------------

  void About() {
    Records r;
    Prepare(r);
    const PF_Err err = Send(PF_Cmd_ABOUT, r, nullptr, nullptr);
    if (r.outData == nullptr) {
      SESSION_CHECK_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    } else {
      SESSION_CHECK_EQ(err, PF_Err_NONE);
      SESSION_CHECK(std::strcmp(r.out.return_msg, kAboutText) == 0);
    }
    CheckNoCalls();
    CheckWorldsUntouched();
    Consumed();
  }

  void GlobalSetup() {
    Records r;
    Prepare(r);
    const PF_Err err = Send(PF_Cmd_GLOBAL_SETUP, r, nullptr, nullptr);
    if (r.outData == nullptr) {
      SESSION_CHECK_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    } else {
      SESSION_CHECK_EQ(err, PF_Err_NONE);
      SESSION_CHECK_EQ(r.out.my_version, 0x8001);
      SESSION_CHECK_EQ(r.out.out_flags, 0x06000400);
      SESSION_CHECK_EQ(r.out.out_flags2, 0x08001408);
      SESSION_CHECK_EQ(r.out.num_params, kParamCount);
    }
    CheckNoCalls();
    CheckWorldsUntouched();
    Consumed();
  }

  void ParamsSetup() {
    Records r;
    Prepare(r);
    constexpr A_long kUnset = -12345;  // num_params is written only on success
    r.out.num_params = kUnset;
    const PF_Err err = Send(PF_Cmd_PARAMS_SETUP, r, nullptr, nullptr);
    const std::vector<AddParamRecord> adds = Since(host_.Log().adds, addMark_);
    if (r.inData == nullptr || r.outData == nullptr || r.in.inter.add_param == nullptr) {
      SESSION_CHECK_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
      CheckNoCalls();
    } else {
      // Adds in index order, each appended, up to and including the first failure.
      PF_Err expected = PF_Err_NONE;
      for (std::size_t i = 0; i < adds.size(); ++i) {
        SESSION_CHECK_EQ(adds[i].index, -1);
        SESSION_CHECK_EQ(adds[i].def.uu.id, std::int32_t(i) + 1);
        SESSION_CHECK_EQ(expected, PF_Err_NONE);  // nothing after a failure
        expected = adds[i].result;
      }
      if (expected == PF_Err_NONE) SESSION_CHECK_EQ(adds.size(), kParamCount - 1);
      SESSION_CHECK_EQ(err, expected);
      SESSION_CHECK_EQ(r.out.num_params, err == PF_Err_NONE ? kParamCount : kUnset);
    }
    CheckWorldsUntouched();
    Consumed();
    // A host whose setup did not complete would not apply the effect: set up
    // again, cleanly, and keep the schedule.
    if (host_.ParamCount() != kParamCount) {
      host_.ClearFaults();
      SESSION_CHECK_EQ(host_.ParamsSetup(), PF_Err_NONE);
      SESSION_CHECK_EQ(host_.ParamCount(), kParamCount);
      for (const Fault& f : faults_) host_.AddFault(f);
    }
  }

  // The color slot update of the last command, which ran with these records:
  // its expected result from the calls seen.
  PF_Err ExpectedColorSlotUI(const Records& r) const {
    const std::vector<CallRecord> calls = Calls();
    std::size_t at = 0;
    // Skip what came before the suite was asked for (nothing, in both commands).
    if (r.in.pica_basicP == nullptr) {
      SESSION_CHECK_EQ(calls.size(), 0);
      return PF_Err_NONE;
    }
    SESSION_CHECK(at < calls.size());
    SESSION_CHECK(calls[at].call == HostCall::kAcquireSuite);
    SESSION_CHECK_EQ(calls[at].arg, std::int32_t(HostSuite::kParamUtils));
    const bool delivered = calls[at].result == kSPNoError &&
                           host_.Log().acquires[HostSuite::kParamUtils] > acquiresBefore_;
    ++at;
    if (!delivered) {
      SESSION_CHECK_EQ(calls.size(), at);
      return PF_Err_NONE;
    }
    std::int32_t count = r.copies[kOuterColorCount].u.pd.value;
    count = count > 4 ? 4 : count < 1 ? 1 : count;
    const std::vector<UpdateParamUIRecord> updates = Since(host_.Log().uiUpdates, uiMark_);
    PF_Err result = PF_Err_NONE;
    std::size_t n = 0;
    for (std::int32_t index = kUseColor1; index <= kColor4 && result == PF_Err_NONE; ++index, ++n) {
      SESSION_CHECK(n < updates.size());
      const UpdateParamUIRecord& u = updates[n];
      SESSION_CHECK_EQ(u.index, index);
      const bool disabled = (index - kUseColor1) / 2 + 1 > count;
      const PF_ParamUIFlags others = r.copies[std::size_t(index)].ui_flags & ~PF_PUI_DISABLED;
      SESSION_CHECK_EQ(u.def.ui_flags, others | (disabled ? PF_PUI_DISABLED : 0));
      SESSION_CHECK_EQ(u.def.param_type, r.copies[std::size_t(index)].param_type);
      result = u.result;
      SESSION_CHECK(calls[at++].call == HostCall::kUpdateParamUI);
    }
    SESSION_CHECK_EQ(updates.size(), n);
    SESSION_CHECK(at < calls.size());
    SESSION_CHECK(calls[at].call == HostCall::kReleaseSuite);
    SESSION_CHECK_EQ(calls[at].arg, std::int32_t(HostSuite::kParamUtils));
    SESSION_CHECK_EQ(calls.size(), at + 1);
    return result;
  }

  bool ColorSlotRecordsPresent(const Records& r) const {
    if (r.inData == nullptr || r.paramList == nullptr) return false;
    for (std::int32_t i = kOuterColorCount; i <= kColor4; ++i) {
      if (EntryNull(ParamIndex(i))) return false;
    }
    return true;
  }

  void UpdateUI() {
    Records r;
    Prepare(r);
    acquiresBefore_ = host_.Log().acquires[HostSuite::kParamUtils];
    const PF_Err err = Send(PF_Cmd_UPDATE_PARAMS_UI, r, nullptr, nullptr);
    if (!ColorSlotRecordsPresent(r)) {
      SESSION_CHECK_EQ(err, PF_Err_NONE);
      CheckNoCalls();
    } else {
      SESSION_CHECK_EQ(err, ExpectedColorSlotUI(r));
    }
    CheckParamsUnchanged(r, {});
    CheckWorldsUntouched();
    Consumed();
  }

  // Records the effect may not write stay as the host made them; those it may
  // write change only in their values and change flags.
  void CheckParamsUnchanged(const Records& r, const std::vector<ParamIndex>& writable) const {
    for (int i = 0; i < kParamCount; ++i) {
      const PF_ParamDef& now = r.copies[std::size_t(i)];
      PF_ParamDef before = *host_.Param(i);
      if (i == kInputLayer && Has(nulls_, kNullLayerData)) before.u.ld.data = nullptr;
      bool mayWrite = false;
      for (ParamIndex w : writable) mayWrite = mayWrite || w == i;
      if (mayWrite) {
        SESSION_CHECK_EQ(now.uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
        before.uu = now.uu;
        before.u = now.u;
      }
      SESSION_CHECK(std::memcmp(&now, &before, sizeof before) == 0);
    }
  }

  void UserChanged(std::int32_t index) {
    Records r;
    Prepare(r);
    PF_UserChangedParamExtra extra{index};
    acquiresBefore_ = host_.Log().acquires[HostSuite::kParamUtils];
    const PF_OutFlags flagsBefore = r.out.out_flags;
    void* extraArg = Has(nulls_, kNullExtra) ? nullptr : &extra;
    const PF_Err err = Send(PF_Cmd_USER_CHANGED_PARAM, r, nullptr, extraArg);

    bool present = r.inData != nullptr && r.outData != nullptr && r.paramList != nullptr &&
                   extraArg != nullptr && !EntryNull(kPreset) && !EntryNull(kResolution);
    for (ParamIndex i : kPresetWrites) present = present && !EntryNull(i);
    if (!present) {
      SESSION_CHECK_EQ(err, PF_Err_NONE);
      CheckNoCalls();
      CheckParamsUnchanged(r, {});
      SESSION_CHECK_EQ(r.out.out_flags, flagsBefore);
    } else {
      const bool applies = (index == kPreset || index == kResolution) &&
                           r.copies[kPreset].u.pd.value != kPresetCustom;
      if (applies) {
        CheckParamsUnchanged(r, {kPresetWrites.begin(), kPresetWrites.end()});
        SESSION_CHECK_EQ(r.out.out_flags, flagsBefore | kPresetOutFlags);
        // The host takes over every flagged value.
        for (ParamIndex i : kPresetWrites) host_.Param(i)->u = r.copies[std::size_t(i)].u;
      } else {
        CheckParamsUnchanged(r, {});
        SESSION_CHECK_EQ(r.out.out_flags, flagsBefore);
      }
      SESSION_CHECK_EQ(err, ExpectedColorSlotUI(r));
    }
    CheckWorldsUntouched();
    Consumed();
  }

  void PreRender() {
    Records r;
    Prepare(r);
    PF_PreRenderInput input{};
    input.output_request = request_;
    input.bitdepth = short(host_.Output().depth());
    PF_PreRenderOutput output{};
    output.result_rect = PF_LRect{-7, -7, -7, -7};
    output.max_result_rect = PF_LRect{-8, -8, -8, -8};
    output.solid = 1;
    output.flags = 3;
    PF_PreRenderCallbacks cb = host_.MakePreRenderCallbacks();
    if (Has(nulls_, kNullLayerCallback)) cb.checkout_layer = nullptr;
    PF_PreRenderExtra extra{Has(nulls_, kNullExtraInput) ? nullptr : &input,
                            Has(nulls_, kNullExtraOutput) ? nullptr : &output,
                            Has(nulls_, kNullExtraCb) ? nullptr : &cb};
    void* extraArg = Has(nulls_, kNullExtra) ? nullptr : &extra;
    const PF_PreRenderOutput outputBefore = output;
    const PF_Err err = Send(PF_Cmd_SMART_PRE_RENDER, r, nullptr, extraArg);

    if (r.inData == nullptr || extraArg == nullptr || extra.input == nullptr ||
        extra.output == nullptr || extra.cb == nullptr || cb.checkout_layer == nullptr ||
        r.in.inter.checkout_param == nullptr || r.in.inter.checkin_param == nullptr) {
      SESSION_CHECK_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
      CheckNoCalls();
      SESSION_CHECK(std::memcmp(&output, &outputBefore, sizeof output) == 0);
      CheckWorldsUntouched();
      Consumed();
      return;
    }
    // The nineteen check-outs in order, at the command's times, up to the first failure.
    const std::vector<ParamCheckoutRecord> checkouts =
        Since(host_.Log().paramCheckouts, paramMark_);
    PF_Err expected = PF_Err_NONE;
    for (std::size_t i = 0; i < checkouts.size(); ++i) {
      SESSION_CHECK_EQ(expected, PF_Err_NONE);
      SESSION_CHECK(i < kRenderCheckoutOrder.size());
      SESSION_CHECK_EQ(checkouts[i].index, kRenderCheckoutOrder[i]);
      SESSION_CHECK_EQ(checkouts[i].what_time, r.in.current_time);
      SESSION_CHECK_EQ(checkouts[i].time_step, r.in.time_step);
      SESSION_CHECK_EQ(checkouts[i].time_scale, r.in.time_scale);
      expected = checkouts[i].result;
    }
    const std::vector<LayerCheckoutRecord> layers = Since(host_.Log().layerCheckouts, layerMark_);
    if (expected == PF_Err_NONE) {
      SESSION_CHECK_EQ(checkouts.size(), kRenderCheckoutOrder.size());
      SESSION_CHECK_EQ(layers.size(), 1);
      const LayerCheckoutRecord& l = layers[0];
      SESSION_CHECK_EQ(l.index, 0);
      SESSION_CHECK_EQ(l.checkout_id, 0);
      PF_RenderRequest want = input.output_request;
      want.field = PF_Field_FRAME;
      want.preserve_rgb_of_zero_alpha = 1;
      SESSION_CHECK(std::memcmp(&l.request, &want, sizeof want) == 0);
      SESSION_CHECK_EQ(l.what_time, r.in.current_time);
      expected = l.result;
    } else {
      SESSION_CHECK_EQ(layers.size(), 0);
    }
    SESSION_CHECK_EQ(err, expected);
    // Every control checked out is checked in, in list order, after the layer.
    std::vector<std::int32_t> checkedOut, checkedIn;
    for (const ParamCheckoutRecord& c : checkouts) {
      if (c.result == PF_Err_NONE) checkedOut.push_back(c.index);
    }
    for (const CallRecord& c : Calls()) {
      SESSION_CHECK(c.call == HostCall::kCheckoutParam || c.call == HostCall::kCheckinParam ||
                    c.call == HostCall::kCheckoutLayer);
      if (c.call == HostCall::kCheckinParam) checkedIn.push_back(c.arg);
      if (c.call == HostCall::kCheckoutLayer) SESSION_CHECK(checkedIn.empty());
    }
    SESSION_CHECK(checkedIn == checkedOut);

    if (err != PF_Err_NONE) {
      // Freed (the leak checker sees a lost record) and the pointers null again.
      PF_PreRenderOutput want = outputBefore;
      SESSION_CHECK(std::memcmp(&output, &want, sizeof want) == 0);
    } else {
      SESSION_CHECK(output.pre_render_data != nullptr);
      SESSION_CHECK(output.delete_pre_render_data_func != nullptr);
      GridSettings want = reference::ResolveSettings(host_.Params());
      reference::ScaleToDownsample(want, r.in.downsample_x, r.in.downsample_y);
      SESSION_CHECK(
          reference::SameSettings(*static_cast<const GridSettings*>(output.pre_render_data), want));
      // The layer and all the input holds, whatever the request; of it, what
      // the request asks for.
      const PF_LRect inputMax = IsEmptyRect(CheckoutMax()) ? PF_LRect{} : CheckoutMax();
      const auto [max, result] =
          ExpectedResultRects(r.in.width, r.in.height, r.in.downsample_x, r.in.downsample_y,
                              inputMax, input.output_request.rect);
      SESSION_CHECK(std::memcmp(&output.max_result_rect, &max, sizeof max) == 0);
      SESSION_CHECK(std::memcmp(&output.result_rect, &result, sizeof result) == 0);
      SESSION_CHECK_EQ(output.solid, 0);
      SESSION_CHECK_EQ(output.flags, outputBefore.flags);
      if (frames_.size() >= 4) {
        frames_.front().release(frames_.front().data);
        frames_.erase(frames_.begin());
      }
      frames_.push_back(PendingFrame{output.pre_render_data, output.delete_pre_render_data_func,
                                     want, result, inputMax});
    }
    CheckWorldsUntouched();
    Consumed();
  }

  // The input's max_result_rect as checkout_layer answers it: its extent
  // unless set.
  PF_LRect CheckoutMax() const {
    return checkoutRectsSet_ ? checkoutMax_ : host_.Config().InputExtent();
  }

  void SmartRender(std::uint8_t slot) {
    Records r;
    Prepare(r);
    const PendingFrame* frame = frames_.empty() || Has(nulls_, kNullPreRenderData)
                                    ? nullptr
                                    : &frames_[slot % frames_.size()];
    // The host makes the output the frame's result_rect asks for, origin and all.
    if (frame != nullptr) {
      const PF_LRect& rect = frame->resultRect;
      const std::int64_t pixels =
          (std::int64_t{rect.right} - rect.left) * (std::int64_t{rect.bottom} - rect.top);
      if (pixels > kMaxOutputPixels || !host_.PlaceOutput(rect)) {
        Consumed();
        return;
      }
    }
    PF_SmartRenderInput input{};
    input.bitdepth = 8;
    input.pre_render_data = frame != nullptr ? frame->data : nullptr;
    g_delivered = Delivered{};
    g_delivered.host = host_.MakeSmartRenderCallbacks();
    PF_SmartRenderCallbacks cb = g_delivered.host;
    cb.checkout_layer_pixels = Has(nulls_, kNullLayerCallback) ? nullptr : &SeeLayerPixels;
    cb.checkout_output = Has(nulls_, kNullOutputCallback) ? nullptr : &SeeOutput;
    PF_SmartRenderExtra extra{Has(nulls_, kNullExtraInput) ? nullptr : &input,
                              Has(nulls_, kNullExtraCb) ? nullptr : &cb};
    void* extraArg = Has(nulls_, kNullExtra) ? nullptr : &extra;
    const Shadow shadow(host_.Output());
    const PF_Err err = Send(PF_Cmd_SMART_RENDER, r, nullptr, extraArg);

    if (r.inData == nullptr || r.outData == nullptr || extraArg == nullptr ||
        extra.input == nullptr || extra.cb == nullptr || input.pre_render_data == nullptr ||
        cb.checkout_layer_pixels == nullptr || cb.checkout_output == nullptr) {
      SESSION_CHECK_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
      CheckNoCalls();
      CheckWorldsUntouched();
      Consumed();
      return;
    }
    const GridSettings& s = frame->expected;
    // The source only when compositing; the output after it.
    const std::vector<CallRecord> calls = Calls();
    std::size_t at = 0;
    PF_Err expected = PF_Err_NONE;
    if (s.blendMode != kBlendGridOnly) {
      SESSION_CHECK(g_delivered.pixelsCalled);
      SESSION_CHECK(calls.size() > at && calls[at].call == HostCall::kCheckoutLayerPixels);
      SESSION_CHECK_EQ(calls[at].arg, 0);
      expected = calls[at++].result;
    } else {
      SESSION_CHECK(!g_delivered.pixelsCalled);
    }
    if (expected != PF_Err_NONE) {
      SESSION_CHECK_EQ(err, expected);
      SESSION_CHECK(!g_delivered.outputCalled);
      CheckWorldsUntouched();
      Consumed();
      return;
    }
    SESSION_CHECK(calls.size() > at && calls[at].call == HostCall::kCheckoutOutput);
    expected = calls[at++].result;
    const PF_EffectWorld* out = g_delivered.hasOutput ? &g_delivered.output : nullptr;
    if (expected == PF_Err_NONE && out == nullptr) expected = PF_Err_BAD_CALLBACK_PARAM;
    if (expected != PF_Err_NONE) {
      SESSION_CHECK_EQ(err, expected);
      SESSION_CHECK_EQ(calls.size(), at);
      CheckWorldsUntouched();
      Consumed();
      return;
    }
    // Then only the world suite, for the depth: the input pixels are never checked in.
    for (std::size_t i = at; i < calls.size(); ++i) {
      SESSION_CHECK(calls[i].call == HostCall::kAcquireSuite ||
                    calls[i].call == HostCall::kGetPixelFormat ||
                    calls[i].call == HostCall::kReleaseSuite);
      if (calls[i].call != HostCall::kGetPixelFormat) {
        SESSION_CHECK_EQ(calls[i].arg, std::int32_t(HostSuite::kWorld));
      }
    }
    const PF_PixelFormat format = FormatSeen(*out, r.in.pica_basicP != nullptr);
    // The worlds' origins place them in the layer: the grid's center and the
    // source's pixel (0, 0) in output pixels.
    const PF_LRect& in = frame->inputMax;
    LayerPlacement place{
        HalfLayer(r.in.width, r.in.downsample_x, in.left, in.right) - out->origin_x,
        HalfLayer(r.in.height, r.in.downsample_y, in.top, in.bottom) - out->origin_y, 0, 0};
    const PF_EffectWorld* source = nullptr;
    if (s.blendMode != kBlendGridOnly && g_delivered.hasPixels) {
      source = &g_delivered.pixels;
      place.sourceX = std::int64_t{source->origin_x} - out->origin_x;
      place.sourceY = std::int64_t{source->origin_y} - out->origin_y;
    }
    CheckRender(err, format, source, *out, shadow, s, place);
    Consumed();
  }

  // The output equals the reference drawn on the shadow of its rows (the
  // bytes after each row's pixels included, which stay as they were), or is
  // untouched when there is nothing to draw or the render must fail.
  void CheckRender(PF_Err err, PF_PixelFormat format, const PF_EffectWorld* source,
                   const PF_EffectWorld& out, const Shadow& shadow, const GridSettings& s,
                   const LayerPlacement& place) {
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
        ReferenceRender(format, sourcePixels ? &sourceBuffer : nullptr, shadow.buffer(), s, place);
    SESSION_CHECK_EQ(err, want);
    SESSION_CHECK(shadow.Matches(host_.Output()));
    CheckLayerUntouched();
  }

  void LegacyRender() {
    Records r;
    Prepare(r);
    PF_LayerDef output = *host_.Output().def();
    output.origin_x = output.origin_y = 0;  // filled for smart check-outs only
    if (Has(nulls_, kNullOutputData)) output.data = nullptr;
    PF_LayerDef* outputArg = Has(nulls_, kNullOutput) ? nullptr : &output;
    const Shadow shadow(host_.Output());
    const PF_Err err = Send(PF_Cmd_RENDER, r, outputArg, nullptr);

    bool present = r.paramList != nullptr && outputArg != nullptr && !EntryNull(kInputLayer);
    for (ParamIndex i : kRenderCheckoutOrder) present = present && !EntryNull(i);
    if (!present) {
      SESSION_CHECK_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
      CheckNoCalls();
      CheckWorldsUntouched();
      Consumed();
      return;
    }
    GridSettings s = reference::ResolveSettings(r.params.data());
    if (r.inData != nullptr) {
      reference::ScaleToDownsample(s, r.in.downsample_x, r.in.downsample_y);
    }
    const bool suiteAsked =
        r.inData != nullptr && r.outData != nullptr && r.in.pica_basicP != nullptr;
    // Nothing is checked out: only the world suite, for the depth.
    for (const CallRecord& c : Calls()) {
      SESSION_CHECK(suiteAsked &&
                    (c.call == HostCall::kAcquireSuite || c.call == HostCall::kGetPixelFormat ||
                     c.call == HostCall::kReleaseSuite));
    }
    const PF_PixelFormat format = FormatSeen(output, suiteAsked);
    // Input and output share their geometry; the layer's (0, 0) lies at the
    // pre-effect source origin. Without in_data the output is the layer.
    LayerPlacement place{output.width * 0.5, output.height * 0.5, 0, 0};
    if (r.inData != nullptr) {
      const std::int64_t x = r.in.pre_effect_source_origin_x;
      const std::int64_t y = r.in.pre_effect_source_origin_y;
      place.centerX = HalfLayer(r.in.width, r.in.downsample_x, -x, output.width - x) + x;
      place.centerY = HalfLayer(r.in.height, r.in.downsample_y, -y, output.height - y) + y;
    }
    const PF_EffectWorld* source =
        s.blendMode != kBlendGridOnly ? &r.copies[kInputLayer].u.ld : nullptr;
    CheckRender(err, format, source, output, shadow, s, place);
    Consumed();
  }

  void RawCommand(std::int32_t selector) {
    switch (static_cast<std::uint32_t>(selector)) {
      case PF_Cmd_ABOUT:
        return About();
      case PF_Cmd_GLOBAL_SETUP:
        return GlobalSetup();
      case PF_Cmd_PARAMS_SETUP:
        return ParamsSetup();
      case PF_Cmd_RENDER:
        return LegacyRender();
      case PF_Cmd_USER_CHANGED_PARAM:
        return UserChanged(kPreset);
      case PF_Cmd_UPDATE_PARAMS_UI:
        return UpdateUI();
      case PF_Cmd_SMART_PRE_RENDER:
        return PreRender();
      case PF_Cmd_SMART_RENDER:
        return SmartRender(0);
      default:
        break;
    }
    // Every other selector is answered with success and touches nothing.
    Records r;
    Prepare(r);
    std::array<std::uint8_t, 256> extra{};
    extra.fill(0x5C);
    const std::array<std::uint8_t, 256> extraBefore = extra;
    PF_LayerDef output = *host_.Output().def();
    const PF_OutData outBefore = r.out;
    const PF_Err err = Send(selector, r, &output, &extra);
    SESSION_CHECK_EQ(err, PF_Err_NONE);
    CheckNoCalls();
    SESSION_CHECK(std::memcmp(&r.out, &outBefore, sizeof outBefore) == 0);
    SESSION_CHECK(extra == extraBefore);
    CheckParamsUnchanged(r, {});
    CheckWorldsUntouched();
    Consumed();
  }

  mutable MiniHost host_;  // its accessors are not const
  bool widerPixels_ = false;
  std::size_t guardsJudged_ = 0;
  std::vector<Fault> faults_;
  std::vector<PendingFrame> frames_;
  std::uint32_t nulls_ = 0;
  std::uint32_t nullParams_ = 0;
  int renders_ = 0;
  PF_RenderRequest request_{
      PF_LRect{0, 0, 160, 90}, PF_Field_FRAME, PF_ChannelMask_ARGB, 0, {}, {}};
  bool checkoutRectsSet_ = false;
  PF_LRect checkoutMax_{};
  std::int64_t acquiresBefore_ = 0;
  std::size_t mark_ = 0, uiMark_ = 0, paramMark_ = 0, layerMark_ = 0, addMark_ = 0;
  std::vector<std::uint8_t> layerBefore_, outputBefore_;
};

}  // namespace

void RunSession(const std::uint8_t* data, std::size_t size) {
  ScriptReader in(data, size);
  Session session;
  session.Run(in);
}

}  // namespace tessaline::fuzz
