// Every host call of a complete session made to fail in turn.
//
// The session is what a host does with the effect: setup, a preset change, a
// UI update, a smart frame (pre-render, render, release) at each depth, and a
// legacy render. A clean run records every call the effect makes; then, for
// each call in turn, a fresh session is run with that call failing (and, for
// world check-outs and suite acquires, succeeding with nothing or with a world
// without pixels). The faulted command must answer as the plug-in's failure
// handling says; the commands before and after it as in the clean run.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/ParamIndex.h"
#include "tests/support/HostRules.h"
#include "tests/support/PluginHost.h"
#include "tests/support/PopupValues.h"
#include "tests/support/Reconfigure.h"
#include "tests/support/ReferenceSettings.h"
#include "tests/support/WorldReference.h"

namespace tessaline {
namespace {

using test::ExpectedPixelFormat;
using test::FillPattern;
using test::kPresetOutFlags;
using test::PluginHost;
using test::Reconfigure;
using test::ReferenceRender;
using test::Verdict;
using test::WholeRows;
using test::WorldCopy;

enum class StepKind {
  kGlobalSetup,
  kParamsSetup,
  kChangePreset,
  kUpdateUI,
  kPreRender,
  kRender,
  kLegacyRender
};

struct Step {
  StepKind kind;
  PixelDepth depth = PixelDepth::k8;
};

// The session, in order. Each pre-render sets up a frame of its depth (the
// render after it draws that frame); frames have padded rows.
constexpr Step kSession[] = {
    {StepKind::kGlobalSetup},
    {StepKind::kParamsSetup},
    {StepKind::kChangePreset},
    {StepKind::kUpdateUI},
    {StepKind::kPreRender, PixelDepth::k8},
    {StepKind::kRender},
    {StepKind::kPreRender, PixelDepth::k16},
    {StepKind::kRender},
    {StepKind::kPreRender, PixelDepth::kFloat},
    {StepKind::kRender},
    {StepKind::kLegacyRender, PixelDepth::k16},
};
constexpr std::size_t kStepCount = std::size(kSession);

struct StepResult {
  bool ran = false;
  PF_Err err = PF_Err_NONE;
  std::size_t firstCall = 0;  // position of the step's command in the session's calls
  std::size_t endCall = 0;
  CallLog log;  // of the step's command
  bool judged = false;
  Verdict verdict;                         // of the host rules that judge the step's command
  std::vector<std::uint8_t> output;        // renders: the output world's rows after
  std::vector<std::uint8_t> outputBefore;  // and before
  bool asReference = false;                // renders: whether the output is the reference frame
  std::vector<bool> disabled;              // UI steps: the host's view of 12 to 19 after
  std::vector<bool> disabledBefore;
  std::vector<double> values;  // every control's value after
  PF_OutFlags outFlags = 0;
  PF_PixelFormat format = PF_PixelFormat_INVALID;  // renders: the depth drawn
};

std::vector<bool> DisabledSlots(const MiniHost& host) {
  std::vector<bool> out;
  for (std::int32_t i = kUseColor1; i <= kColor4; ++i) out.push_back(host.IsDisabled(i));
  return out;
}

// Each control's value (0 for the layer and the group markers).
std::vector<double> Values(const MiniHost& host) {
  std::vector<double> values;
  for (std::int32_t p = 0; p < host.ParamCount(); ++p) values.push_back(host.Value(p));
  return values;
}

void SetFrame(MiniHost& host, PixelDepth depth) {
  const std::int32_t width = 48, height = 27;
  const std::int32_t rowbytes = width * PixelSize(depth) + 16;
  Reconfigure(host, [&](HostConfig& c) { c.output = c.input = {depth, width, height, rowbytes}; });
  FillPattern(host.Layer());
}

// Runs the session; stops after a failed parameter setup, and skips the
// render of a frame whose pre-render failed, as a host does. A fault that
// withholds the input's pixels leaves the frame of its step without a
// source; one that withholds the output, its render without an output.
std::vector<StepResult> RunSession(PluginHost& host, const Fault& fault = {}) {
  std::vector<StepResult> results(kStepCount);
  SmartFrame frame;
  GridSettings frameSettings;
  bool frameReady = false;
  std::int64_t fired = 0;
  std::size_t calls = 0;
  for (std::size_t i = 0; i < kStepCount; ++i) {
    const Step& step = kSession[i];
    StepResult& r = results[i];
    if (step.kind == StepKind::kRender && !frameReady) continue;
    r.ran = true;
    r.firstCall = calls;
    host.ClearLog();
    r.disabledBefore = DisabledSlots(host);
    std::unique_ptr<WorldCopy> shadow;
    GridSettings settings = frameSettings;
    switch (step.kind) {
      case StepKind::kGlobalSetup:
        r.err = host.GlobalSetup();
        break;
      case StepKind::kParamsSetup:
        r.err = host.ParamsSetup();
        break;
      case StepKind::kChangePreset:
        r.err = host.SetValue(kPreset, test::Preset("Thirds"));
        break;
      case StepKind::kUpdateUI:
        r.err = host.UpdateParamsUI();
        break;
      case StepKind::kPreRender:
        SetFrame(host, step.depth);
        frameSettings = reference::ResolveSettings(host.Params());
        r.err = host.SmartPreRender(&frame);
        frameReady = r.err == PF_Err_NONE;
        break;
      case StepKind::kRender:
        r.outputBefore = WholeRows(host.Output());
        shadow = std::make_unique<WorldCopy>(host.Output());
        r.err = host.SmartRender(frame);
        frameReady = false;
        break;
      case StepKind::kLegacyRender:
        SetFrame(host, step.depth);
        settings = reference::ResolveSettings(host.Params());
        r.outputBefore = WholeRows(host.Output());
        shadow = std::make_unique<WorldCopy>(host.Output());
        r.err = host.RenderLegacy();
        break;
    }
    r.log = host.Log();
    if (step.kind == StepKind::kRender) {  // the host's release, after the command
      frame.Release();
      r.log.preRenderDeleted = host.Log().preRenderDeleted;
    }
    r.endCall = calls += r.log.calls.size();
    const bool firedHere = host.FaultsFired() > fired;
    fired = host.FaultsFired();
    const bool withheld = firedHere && fault.call == HostCall::kCheckoutLayerPixels &&
                          fault.effect != FaultEffect::kFail;
    const bool noOutput = firedHere && fault.call == HostCall::kCheckoutOutput &&
                          fault.effect == FaultEffect::kNullResult;
    const PF_InData in = host.MakeInData();
    r.judged = true;
    switch (step.kind) {
      case StepKind::kParamsSetup:
        r.verdict = test::JudgeParamsSetup(r.log);
        break;
      case StepKind::kChangePreset:
      case StepKind::kUpdateUI:
        r.verdict = test::JudgeColorSlotUI(r.log, in, host.Params());
        break;
      case StepKind::kPreRender:
        r.verdict = test::JudgePreRender(r.log, in, frame.preRenderInput().output_request);
        break;
      case StepKind::kRender:
        r.verdict = test::JudgeSmartRender(r.log, settings.blendMode != kBlendGridOnly, !noOutput);
        r.judged = r.verdict.expected != PF_Err_NONE;  // else the frame judges it
        break;
      default:
        r.judged = false;
        break;
    }
    r.outFlags = host.Log().lastOut.out_flags;
    r.disabled = DisabledSlots(host);
    r.values = Values(host);
    if (shadow != nullptr) {
      r.output = WholeRows(host.Output());
      r.format =
          ExpectedPixelFormat(r.log.calls, *host.Output().def(), host.Output().pixelFormat());
      const PixelBuffer source = test::BufferOf(*host.Layer().def());
      ReferenceRender(r.format, withheld ? nullptr : &source, shadow->buffer(), settings);
      r.asReference = shadow->Matches(host.Output());
    }
    if (step.kind == StepKind::kParamsSetup && r.err != PF_Err_NONE) break;
  }
  frame.Release();
  return results;
}

// The step whose command made log entry `call`.
std::size_t StepOf(const std::vector<StepResult>& results, std::size_t call) {
  for (std::size_t i = 0; i < results.size(); ++i)
    if (results[i].ran && call >= results[i].firstCall && call < results[i].endCall) return i;
  return results.size();
}

// Every step keeps the host rules that judge its command, and leaves nothing
// checked out, acquired or written outside its worlds.
void ExpectRulesKept(const std::vector<StepResult>& results) {
  std::int64_t kept = 0, deleted = 0;
  for (std::size_t i = 0; i < results.size(); ++i) {
    const StepResult& r = results[i];
    if (!r.ran) continue;
    SCOPED_TRACE(::testing::Message() << "step " << i);
    EXPECT_EQ(r.verdict.breach, "");
    if (r.judged) {
      EXPECT_EQ(r.err, r.verdict.expected);
    }
    EXPECT_EQ(r.log.CheckoutBalance(), 0);
    EXPECT_EQ(r.log.SuiteImbalance(), 0);
    EXPECT_EQ(r.log.badEffectRefs, 0);
    EXPECT_TRUE(r.log.guardFailures.empty());
    kept += r.log.preRenderKept;
    deleted += r.log.preRenderDeleted;
  }
  EXPECT_EQ(kept, deleted);
}

struct Injection {
  HostCall call;
  std::int32_t nth;  // among the session's calls of that kind
  FaultEffect effect;
  std::size_t position;  // in the clean log
};

const char* EffectName(FaultEffect e) {
  return e == FaultEffect::kFail         ? "fails"
         : e == FaultEffect::kNullResult ? "delivers null"
                                         : "delivers no data";
}

class HostFailure : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    PluginHost host;
    clean_ = RunSession(host);
    for (const StepResult& r : clean_) {
      cleanLog_.insert(cleanLog_.end(), r.log.calls.begin(), r.log.calls.end());
    }
  }
  static inline std::vector<StepResult> clean_;
  static inline std::vector<CallRecord> cleanLog_;
};

TEST_F(HostFailure, CleanSessionDrawsTheReferenceFrames) {
  ExpectRulesKept(clean_);
  for (std::size_t i = 0; i < kStepCount; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(clean_[i].ran);
    EXPECT_EQ(clean_[i].err, PF_Err_NONE);
    if (!clean_[i].output.empty()) {
      EXPECT_TRUE(clean_[i].asReference);
      EXPECT_NE(clean_[i].output, clean_[i].outputBefore);
    }
  }
  // The preset greys out slots 2 to 4 ("Thirds" uses one color).
  EXPECT_EQ(clean_[3].disabled,
            (std::vector<bool>{false, false, true, true, true, true, true, true}));
  EXPECT_EQ(clean_[kStepCount - 2].format, PF_PixelFormat_ARGB128);
}

TEST_F(HostFailure, EveryHostCallFailingInTurn) {
  // Every call of the effect into the host, one at a time; world check-outs and
  // suite acquires also succeed with nothing, check-outs with a world without pixels.
  std::vector<Injection> injections;
  std::vector<std::int32_t> seen(std::size_t(HostCall::kCount), 0);
  for (std::size_t k = 0; k < cleanLog_.size(); ++k) {
    const HostCall call = cleanLog_[k].call;
    if (call == HostCall::kCommand || call == HostCall::kDeletePreRenderData) continue;
    const std::int32_t nth = ++seen[std::size_t(call)];
    injections.push_back({call, nth, FaultEffect::kFail, k});
    if (call == HostCall::kAcquireSuite || call == HostCall::kCheckoutLayerPixels ||
        call == HostCall::kCheckoutOutput) {
      injections.push_back({call, nth, FaultEffect::kNullResult, k});
    }
    if (call == HostCall::kCheckoutLayerPixels || call == HostCall::kCheckoutOutput) {
      injections.push_back({call, nth, FaultEffect::kNoData, k});
    }
  }
  std::vector<std::int64_t> perKind(std::size_t(HostCall::kCount), 0);

  for (std::size_t n = 0; n < injections.size(); ++n) {
    const Injection& inj = injections[n];
    const PF_Err error = 0x7000 + PF_Err(n);  // unique, so that "unchanged" shows
    SCOPED_TRACE(std::string(HostCallName(inj.call)) + " #" + std::to_string(inj.nth) + " " +
                 EffectName(inj.effect));
    PluginHost host;
    const Fault fault{.call = inj.call, .nth = inj.nth, .effect = inj.effect, .error = error};
    host.AddFault(fault);
    const std::vector<StepResult> results = RunSession(host, fault);
    ASSERT_EQ(host.FaultsFired(), 1);
    ++perKind[std::size_t(inj.call)];

    const std::size_t at = StepOf(clean_, inj.position);
    ASSERT_LT(at, kStepCount);
    const StepKind kind = kSession[at].kind;
    const StepResult& hit = results[at];
    const StepResult& ref = clean_[at];

    // The host rules hold, and nothing is left behind, whatever failed.
    ExpectRulesKept(results);

    // Before the fault, the session is the clean one.
    for (std::size_t i = 0; i < at; ++i) {
      EXPECT_EQ(results[i].err, clean_[i].err) << "step " << i;
      EXPECT_EQ(results[i].output, clean_[i].output) << "step " << i;
    }

    // The faulted command, by the plug-in's failure handling (the rules of
    // its calls judged above).
    bool skipsNextRender = false;
    bool stops = false;
    switch (inj.call) {
      case HostCall::kAddParam:
        EXPECT_EQ(hit.err, error);
        stops = true;
        break;
      case HostCall::kCheckoutParam:
      case HostCall::kCheckoutLayer:
        EXPECT_EQ(hit.err, error);
        skipsNextRender = true;
        break;
      case HostCall::kCheckoutLayerPixels:
        if (inj.effect != FaultEffect::kFail) {
          // An input without pixels is an ordinary frame: the grid over transparency.
          EXPECT_EQ(hit.err, PF_Err_NONE);
          EXPECT_TRUE(hit.asReference);
          break;
        }
        [[fallthrough]];
      case HostCall::kCheckoutOutput:
        EXPECT_EQ(hit.err, inj.effect == FaultEffect::kFail ? error : PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(hit.output, hit.outputBefore);  // nothing drawn
        break;
      case HostCall::kAcquireSuite:
        // A missing suite is no error: the UI stays as it was, the depth
        // falls back to world_flags. Nothing is released.
        EXPECT_EQ(hit.err, PF_Err_NONE);
        EXPECT_EQ(hit.log.Count(HostCall::kReleaseSuite), 0);
        EXPECT_EQ(hit.log.Count(HostCall::kGetPixelFormat), 0);
        if (kind == StepKind::kChangePreset || kind == StepKind::kUpdateUI) {
          EXPECT_EQ(hit.disabled, hit.disabledBefore);
          EXPECT_EQ(hit.values, ref.values);  // the preset still applied
        }
        break;
      case HostCall::kGetPixelFormat:
        EXPECT_EQ(hit.err, PF_Err_NONE);
        EXPECT_EQ(hit.log.Count(HostCall::kReleaseSuite), 1);
        break;
      case HostCall::kUpdateParamUI: {
        // The error comes back; a preset already written stays written.
        EXPECT_EQ(hit.err, error);
        EXPECT_EQ(hit.values, ref.values);
        if (kind == StepKind::kChangePreset) {
          EXPECT_EQ(hit.outFlags & kPresetOutFlags, kPresetOutFlags);
        }
        break;
      }
      case HostCall::kCheckinParam:
      case HostCall::kReleaseSuite:
        // Results of clean-up calls are not looked at.
        EXPECT_EQ(hit.err, ref.err);
        EXPECT_EQ(hit.output, ref.output);
        break;
      default:
        ADD_FAILURE() << "the session makes no such call";
        break;
    }
    // Every frame drawn is the reference frame of the depth actually drawn.
    for (std::size_t i = 0; i < results.size(); ++i) {
      if (results[i].ran && results[i].err == PF_Err_NONE && !results[i].output.empty()) {
        EXPECT_TRUE(results[i].asReference) << "step " << i;
      }
    }
    if (stops) {
      for (std::size_t i = at + 1; i < kStepCount; ++i) EXPECT_FALSE(results[i].ran);
      continue;
    }
    // After it, the session goes on as the clean one did.
    for (std::size_t i = at + 1; i < kStepCount; ++i) {
      if (skipsNextRender && i == at + 1) {
        EXPECT_FALSE(results[i].ran) << "a frame whose pre-render failed is not rendered";
        continue;
      }
      EXPECT_EQ(results[i].err, clean_[i].err) << "step " << i;
      EXPECT_EQ(results[i].output, clean_[i].output) << "step " << i;
    }
  }

  std::printf("[ injected ] %zu host faults, one per session:", injections.size());
  for (std::size_t k = 0; k < perKind.size(); ++k) {
    if (perKind[k] > 0)
      std::printf(" %s %lld;", HostCallName(HostCall(k)).data(), (long long)perKind[k]);
  }
  std::printf("\n");
  RecordProperty("injected_faults", int(injections.size()));
}

// A host that reports a depth its world was not made with: the effect draws
// nothing rather than writing past the rows or through misaligned channels.
TEST(HostReportsAnotherDepth, WorldThatCannotHoldThePixelsIsRefused) {
  struct Case {
    const char* what;
    PixelDepth depth;
    std::int32_t rowbytes;
    PF_PixelFormat reported;
    PF_WorldFlags flags;
    bool fits;
  };
  const Case cases[] = {
      {"8-bit world reported as float", PixelDepth::k8, 0, PF_PixelFormat_ARGB128, 0, false},
      {"8-bit world reported as 16-bit", PixelDepth::k8, 0, PF_PixelFormat_ARGB64, 0, false},
      {"padded 8-bit world long enough for 16-bit", PixelDepth::k8, 33 * 8, PF_PixelFormat_ARGB64,
       0, true},
      {"odd stride under a 16-bit format", PixelDepth::k8, 33 * 8 + 1, PF_PixelFormat_ARGB64, 0,
       false},
      {"odd stride with the deep flag", PixelDepth::k8, 33 * 8 + 1, PF_PixelFormat_INVALID,
       PF_WorldFlag_DEEP, false},
      {"16-bit world reported as 8-bit", PixelDepth::k16, 0, PF_PixelFormat_ARGB32, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PluginHost host;
    const WorldGeometry world{c.depth, 33, 17, c.rowbytes};
    host.Configure({.input = world,
                    .output = world,
                    .suites = {{c.reported != PF_PixelFormat_INVALID, true}}});
    FillPattern(host.Layer());
    host.Output().setPixelFormat(c.reported);
    host.Output().def()->world_flags = c.flags;
    const std::vector<std::uint8_t> before = WholeRows(host.Output());
    for (const bool legacy : {false, true}) {
      const PF_Err err = legacy ? host.RenderLegacy() : host.RenderSmart();
      EXPECT_EQ(err, c.fits ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM) << legacy;
      if (!c.fits) {
        EXPECT_EQ(WholeRows(host.Output()), before) << legacy;
      }
    }
    // Nothing outside the rows; a world that fits may get pixels in its padding.
    EXPECT_TRUE(host.CheckGuards().Intact(!c.fits));
  }
}

}  // namespace
}  // namespace tessaline
