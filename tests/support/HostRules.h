#pragma once
// What the host contract asks of the effect, stated once for the tests that
// judge it (the session fuzzer, the failure sweep, the command tests), from
// the contract rather than from the plug-in's own tables.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "core/ParamIndex.h"
#include "host/HostSdk.h"
#include "minihost/CallLog.h"
#include "minihost/Rects.h"
#include "minihost/World.h"

namespace tessaline::test {

// The text the About command answers.
inline constexpr char kAboutText[] = "P_Tessaline v0.1\rCenter-based guide grid.";

// What global setup writes into out_data, and nothing else.
struct GlobalSetupOut {
  A_u_long my_version;
  PF_OutFlags out_flags;
  PF_OutFlags2 out_flags2;
};
inline constexpr GlobalSetupOut kGlobalSetupOut = {0x8001, 0x06000400, 0x08001408};

// What a change command that applied a preset asks of the host: redraw the
// controls and render again.
inline constexpr PF_OutFlags kPresetOutFlags = PF_OutFlag_REFRESH_UI | PF_OutFlag_FORCE_RERENDER;

// The controls a render reads, in the order it checks them out (and in
// again): everything but the resolution popup and the group markers.
inline constexpr std::array<ParamIndex, 19> kRenderCheckoutOrder = {
    kPreset,          kXSpacing,        kYSpacing,  kXCount,    kYCount,
    kCenterLineColor, kOuterColorCount, kUseColor1, kColor1,    kUseColor2,
    kColor2,          kUseColor3,       kColor3,    kUseColor4, kColor4,
    kLineWidth,       kCenterLineWidth, kOpacity,   kBlendMode};

// The controls a preset writes, in index order (as the host takes them over):
// the layout, the colors and the widths and opacity; never the preset and
// resolution popups or the blend mode.
inline constexpr std::array<ParamIndex, 17> kPresetWrites = {
    kXSpacing,  kYSpacing, kXCount,    kYCount,          kCenterLineColor, kOuterColorCount,
    kUseColor1, kColor1,   kUseColor2, kColor2,          kUseColor3,       kColor3,
    kUseColor4, kColor4,   kLineWidth, kCenterLineWidth, kOpacity};

// The records and callbacks of a command, as bits: a host may pass any of them null.
inline namespace records {
enum Record : std::uint32_t {
  kNullInData = 1u << 0,
  kNullOutData = 1u << 1,
  kNullParams = 1u << 2,
  kNullOutput = 1u << 3,  // the legacy render's output world
  kNullExtra = 1u << 4,
  kNullExtraInput = 1u << 5,      // extra->input
  kNullExtraOutput = 1u << 6,     // extra->output of the pre-render
  kNullExtraCb = 1u << 7,         // extra->cb
  kNullLayerCallback = 1u << 8,   // checkout_layer / checkout_layer_pixels
  kNullOutputCallback = 1u << 9,  // checkout_output
  kNullCheckoutParam = 1u << 10,
  kNullCheckinParam = 1u << 11,
  kNullAddParam = 1u << 12,
  kNullBasicSuite = 1u << 13,     // in_data->pica_basicP
  kNullOutputData = 1u << 14,     // the legacy output world's data
  kNullLayerData = 1u << 15,      // the legacy input layer's data
  kNullPreRenderData = 1u << 16,  // the smart render's pre_render_data
};
}  // namespace records

inline constexpr std::array<ParamIndex, 9> kColorSlotEntries = {
    kOuterColorCount, kUseColor1, kColor1,    kUseColor2, kColor2,
    kUseColor3,       kColor3,    kUseColor4, kColor4};
template <std::size_t A, std::size_t B>
constexpr std::array<ParamIndex, A + B> Join(const std::array<ParamIndex, A>& a,
                                             const std::array<ParamIndex, B>& b) {
  std::array<ParamIndex, A + B> all{};
  std::copy(a.begin(), a.end(), all.begin());
  std::copy(b.begin(), b.end(), all.begin() + A);
  return all;
}
// A change reads the preset and resolution popups and writes the preset's controls.
inline constexpr auto kChangeEntries = Join(std::array{kPreset, kResolution}, kPresetWrites);
// A legacy render reads the input layer beside the controls.
inline constexpr auto kLegacyEntries = Join(std::array{kInputLayer}, kRenderCheckoutOrder);

// What each command cannot do without: missing any of these records (or a
// params entry listed), it calls nothing, changes nothing and answers `answer`.
struct NeededRecords {
  PF_Cmd cmd;
  std::uint32_t records;  // Record bits
  std::span<const ParamIndex> entries;
  PF_Err answer;
};

inline constexpr std::uint32_t kSmartRecords =
    kNullInData | kNullExtra | kNullExtraInput | kNullExtraCb | kNullLayerCallback;
inline constexpr PF_Err kBadRecords = PF_Err_BAD_CALLBACK_PARAM;

// clang-format off
inline constexpr NeededRecords kNeededRecords[] = {
    {PF_Cmd_ABOUT, kNullOutData, {}, kBadRecords},
    {PF_Cmd_GLOBAL_SETUP, kNullOutData, {}, kBadRecords},
    {PF_Cmd_PARAMS_SETUP, kNullInData | kNullOutData | kNullAddParam, {}, kBadRecords},
    {PF_Cmd_UPDATE_PARAMS_UI, kNullInData | kNullParams, kColorSlotEntries, PF_Err_NONE},
    {PF_Cmd_USER_CHANGED_PARAM, kNullInData | kNullOutData | kNullParams | kNullExtra, kChangeEntries, PF_Err_NONE},
    {PF_Cmd_SMART_PRE_RENDER, kSmartRecords | kNullExtraOutput | kNullCheckoutParam | kNullCheckinParam, {}, kBadRecords},
    {PF_Cmd_SMART_RENDER, kSmartRecords | kNullOutData | kNullPreRenderData | kNullOutputCallback, {}, kBadRecords},
    {PF_Cmd_RENDER, kNullParams | kNullOutput, kLegacyEntries, kBadRecords},
};
// clang-format on

// The row of kNeededRecords for `cmd`, or null for a command that needs nothing.
inline const NeededRecords* NeededBy(PF_Cmd cmd) {
  for (const NeededRecords& n : kNeededRecords)
    if (n.cmd == cmd) return &n;
  return nullptr;
}

// Whether a command sent with the `nulls` records and `nullEntries` params
// entries (a bit per index) null misses something it needs.
inline bool MissesNeeded(PF_Cmd cmd, std::uint32_t nulls, std::uint32_t nullEntries) {
  const NeededRecords* n = NeededBy(cmd);
  if (n == nullptr) return false;
  bool misses = (nulls & n->records) != 0;
  for (ParamIndex i : n->entries) misses = misses || (nullEntries & (1u << i)) != 0;
  return misses;
}

// ---- Judges of one command's calls ---------------------------------------------
// Each reads the log of one command (cleared before it) and gives the result
// the command must answer and the first rule its calls broke, if any.

struct Verdict {
  PF_Err expected = PF_Err_NONE;
  std::string breach;  // empty when every rule was kept
  void Require(bool kept, const char* rule) {
    if (!kept && breach.empty()) breach = rule;
  }
};

// The calls after the command itself.
inline std::span<const CallRecord> CallsOf(const CallLog& log) {
  return log.calls.empty() ? std::span<const CallRecord>{}
                           : std::span<const CallRecord>(log.calls).subspan(1);
}

// Smart pre-render: the controls in kRenderCheckoutOrder at the command's
// times, none after a failure, whose error it answers; then the input layer,
// whole frame, its rgb of zero alpha kept, whose error it answers; without
// the layer after every control came, the one allocation failed. Every
// control checked out is checked in, in order, after the layer.
inline Verdict JudgePreRender(const CallLog& log, const PF_InData& in,
                              const PF_RenderRequest& request) {
  Verdict v;
  std::vector<std::int32_t> checkedOut, checkedIn;
  for (std::size_t i = 0; i < log.paramCheckouts.size(); ++i) {
    const ParamCheckoutRecord& c = log.paramCheckouts[i];
    v.Require(v.expected == PF_Err_NONE, "a control checked out after a failed one");
    v.Require(i < kRenderCheckoutOrder.size() && c.index == kRenderCheckoutOrder[i],
              "controls checked out out of order");
    v.Require(c.what_time == in.current_time && c.time_step == in.time_step &&
                  c.time_scale == in.time_scale,
              "a control checked out at another time");
    if (c.result == PF_Err_NONE) checkedOut.push_back(c.index);
    v.expected = c.result;
  }
  if (v.expected == PF_Err_NONE) {
    v.Require(log.paramCheckouts.size() == kRenderCheckoutOrder.size(),
              "a control not checked out");
    v.Require(log.layerCheckouts.size() <= 1, "the layer checked out twice");
    if (log.layerCheckouts.empty()) {
      v.expected = PF_Err_OUT_OF_MEMORY;
    } else {
      const LayerCheckoutRecord& l = log.layerCheckouts[0];
      PF_RenderRequest want = request;
      want.field = PF_Field_FRAME;
      want.preserve_rgb_of_zero_alpha = 1;
      v.Require(l.index == 0 && l.checkout_id == 0, "another layer or checkout id");
      v.Require(std::memcmp(&l.request, &want, sizeof want) == 0, "another layer request");
      v.Require(l.what_time == in.current_time, "the layer checked out at another time");
      v.expected = l.result;
    }
  } else {
    v.Require(log.layerCheckouts.empty(), "the layer checked out after a failed control");
  }
  for (const CallRecord& c : CallsOf(log)) {
    v.Require(c.call == HostCall::kCheckoutParam || c.call == HostCall::kCheckinParam ||
                  c.call == HostCall::kCheckoutLayer,
              "a call other than check-outs and check-ins");
    if (c.call == HostCall::kCheckinParam) checkedIn.push_back(c.arg);
    if (c.call == HostCall::kCheckoutLayer)
      v.Require(checkedIn.empty(), "checked in before the layer");
  }
  v.Require(checkedIn == checkedOut, "check-ins are not the check-outs in order");
  return v;
}

// Smart render: the input's pixels (checkout id 0) only when compositing,
// whose failure it answers at once; then the output, whose failure, or
// nothing delivered, it answers; then only the world suite, for the depth.
// `expected` PF_Err_NONE: the render goes on to draw.
inline Verdict JudgeSmartRender(const CallLog& log, bool compositing, bool outputDelivered) {
  Verdict v;
  const std::span<const CallRecord> calls = CallsOf(log);
  std::size_t at = 0;
  if (compositing) {
    v.Require(
        at < calls.size() && calls[at].call == HostCall::kCheckoutLayerPixels && calls[at].arg == 0,
        "the input's pixels not checked out first");
    if (at < calls.size()) v.expected = calls[at++].result;
  }
  if (v.expected != PF_Err_NONE) {
    v.Require(at == calls.size(), "calls after a failed check-out of the input");
    return v;
  }
  v.Require(at < calls.size() && calls[at].call == HostCall::kCheckoutOutput,
            "the output not checked out next");
  if (at < calls.size()) v.expected = calls[at++].result;
  if (v.expected == PF_Err_NONE && !outputDelivered) v.expected = PF_Err_BAD_CALLBACK_PARAM;
  if (v.expected != PF_Err_NONE) {
    v.Require(at == calls.size(), "calls after a failed check-out of the output");
    return v;
  }
  for (; at < calls.size(); ++at) {
    const CallRecord& c = calls[at];
    v.Require(c.call == HostCall::kGetPixelFormat ||
                  ((c.call == HostCall::kAcquireSuite || c.call == HostCall::kReleaseSuite) &&
                   c.arg == std::int32_t(HostSuite::kWorld)),
              "a call other than the world suite's after the output");
  }
  return v;
}

// The color slot update (of the UI update and of a change): with the basic
// suite, the param utils suite is acquired; once delivered, controls 12 to 19
// updated in order, each its record with only the disabled bit decided
// (slots beyond the outer color count, 1 to 4, disabled), up to the first
// refusal, whose error it answers; then the suite released, last.
inline Verdict JudgeColorSlotUI(const CallLog& log, const PF_InData& in,
                                const PF_ParamDef* const* params) {
  Verdict v;
  const std::span<const CallRecord> calls = CallsOf(log);
  if (in.pica_basicP == nullptr) {
    v.Require(calls.empty(), "calls without the basic suite");
    return v;
  }
  v.Require(!calls.empty() && calls[0].call == HostCall::kAcquireSuite &&
                calls[0].arg == std::int32_t(HostSuite::kParamUtils),
            "the param utils suite not asked for first");
  if (calls.empty() || calls[0].result != kSPNoError || log.acquires[HostSuite::kParamUtils] == 0) {
    v.Require(calls.size() <= 1, "calls after the suite was not delivered");
    return v;
  }
  const std::int32_t count = std::clamp(params[kOuterColorCount]->u.pd.value, 1, 4);
  std::size_t n = 0;
  for (std::int32_t index = kUseColor1; index <= kColor4 && v.expected == PF_Err_NONE;
       ++index, ++n) {
    v.Require(n < log.uiUpdates.size(), "a slot control not updated");
    if (n >= log.uiUpdates.size()) return v;
    const UpdateParamUIRecord& u = log.uiUpdates[n];
    const PF_ParamDef& def = *params[index];
    const bool disabled = (index - kUseColor1) / 2 + 1 > count;
    v.Require(u.index == index, "slot controls updated out of order");
    v.Require(
        u.def.ui_flags == ((def.ui_flags & ~PF_PUI_DISABLED) | (disabled ? PF_PUI_DISABLED : 0)),
        "another disabled bit or other flags changed");
    v.Require(u.def.param_type == def.param_type, "an update of another type");
    v.expected = u.result;
  }
  v.Require(log.uiUpdates.size() == n, "updates after a refusal");
  v.Require(calls.size() == n + 2 && calls.back().call == HostCall::kReleaseSuite &&
                calls.back().arg == std::int32_t(HostSuite::kParamUtils),
            "the suite not released last");
  return v;
}

// Parameter setup: every control but the layer appended in index order, ids
// from 1, up to the first failure, whose error it answers.
inline Verdict JudgeParamsSetup(const CallLog& log) {
  Verdict v;
  for (std::size_t i = 0; i < log.adds.size(); ++i) {
    v.Require(v.expected == PF_Err_NONE, "a control added after a failed add");
    v.Require(log.adds[i].index == -1 && log.adds[i].def.uu.id == std::int32_t(i) + 1,
              "controls added out of order");
    v.expected = log.adds[i].result;
  }
  if (v.expected == PF_Err_NONE)
    v.Require(log.adds.size() == kParamCount - 1, "a control not added");
  return v;
}

// Whether a world can hold a format's pixels: a world without pixels always;
// else rows long enough for its width and rows and memory aligned to the
// channel. The effect draws nothing into a world that cannot.
inline bool WorldHoldsFormat(const PF_EffectWorld& w, PF_PixelFormat format) {
  const std::int64_t pixel = PixelSize(format), channel = pixel / 4;
  return w.width <= 0 || w.height <= 0 ||
         (std::llabs(w.rowbytes) >= std::int64_t{w.width} * pixel && w.rowbytes % channel == 0 &&
          reinterpret_cast<std::uintptr_t>(w.data) % std::uintptr_t(channel) == 0);
}

// The format the effect must draw `world` at, from the calls of its command:
// the world suite's answer (`reported`) once the suite was acquired and
// answered; else the world's flags: deep is 16-bit, anything else 8-bit.
inline PF_PixelFormat ExpectedPixelFormat(std::span<const CallRecord> calls,
                                          const PF_EffectWorld& world, PF_PixelFormat reported) {
  bool acquired = false;
  for (const CallRecord& c : calls) {
    if (c.call == HostCall::kAcquireSuite && c.arg == std::int32_t(HostSuite::kWorld)) {
      acquired = c.result == kSPNoError;
    }
    if (c.call == HostCall::kGetPixelFormat && acquired && c.result == PF_Err_NONE &&
        reported != PF_PixelFormat_INVALID) {
      return reported;
    }
  }
  return (world.world_flags & PF_WorldFlag_DEEP) ? PF_PixelFormat_ARGB64 : PF_PixelFormat_ARGB32;
}

inline bool ValidScale(const PF_RationalScale& s) {
  return s.num > 0 && s.den > 0;
}

// A full-resolution size at the render's resolution: ceil(size * num / den),
// the size itself without a valid factor, nothing when not above 0.
inline std::int32_t AtResolution(A_long size, const PF_RationalScale& s) {
  if (size <= 0) return 0;
  if (!ValidScale(s)) return size;
  const std::int64_t scaled =
      (std::int64_t{size} * s.num + std::int64_t{s.den} - 1) / std::int64_t{s.den};
  return std::int32_t(std::min<std::int64_t>(scaled, INT32_MAX));
}

// Where the host leaves the layer's size out (in_data's width or height not
// above 0), the layer along that axis is what the command holds, from
// `nearEdge` to `farEdge` in layer coordinates (the input's max_result_rect in
// smart rendering, the output world in legacy), taken to reach as far past
// the layer's far edge as it starts before the near one: nearEdge + farEdge
// pixels.
inline double HalfLayer(A_long size, const PF_RationalScale& s, std::int64_t nearEdge,
                        std::int64_t farEdge) {
  if (size <= 0) return double(nearEdge + farEdge) * 0.5;
  return size * (ValidScale(s) ? double(s.num) / double(s.den) : 1.0) * 0.5;
}

inline std::int32_t LayerSide(A_long size, const PF_RationalScale& s, std::int64_t nearEdge,
                              std::int64_t farEdge) {
  if (size <= 0) return std::int32_t(std::clamp<std::int64_t>(nearEdge + farEdge, 0, INT32_MAX));
  return AtResolution(size, s);
}

// The smallest rectangle holding both; an empty one holds nothing.
inline PF_LRect UniteRects(const PF_LRect& a, const PF_LRect& b) {
  if (IsEmptyRect(a)) return IsEmptyRect(b) ? PF_LRect{} : b;
  if (IsEmptyRect(b)) return a;
  return PF_LRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                  std::max(a.bottom, b.bottom)};
}

// The rectangles a smart pre-render reports. max_result_rect: the layer
// (in_data's full-resolution size at the render's resolution, else as
// LayerSide has it from the input) and all the input could deliver (its
// max_result_rect, nothing when empty), whatever the request;
// result_rect: what of it the request asks for, never more.
struct ResultRects {
  PF_LRect max;
  PF_LRect result;
};

inline ResultRects ExpectedResultRects(A_long width, A_long height, PF_RationalScale downsampleX,
                                       PF_RationalScale downsampleY, const PF_LRect& inputMax,
                                       const PF_LRect& request) {
  const PF_LRect in = IsEmptyRect(inputMax) ? PF_LRect{} : inputMax;
  const PF_LRect layer{0, 0, LayerSide(width, downsampleX, in.left, in.right),
                       LayerSide(height, downsampleY, in.top, in.bottom)};
  const PF_LRect max = UniteRects(layer, inputMax);
  return ResultRects{max, IntersectRects(max, request)};
}

}  // namespace tessaline::test
