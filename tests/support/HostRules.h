#pragma once
// What the host contract asks of the effect, stated once for the tests that
// judge it (the session fuzzer, the failure sweep, the command tests), from
// the contract rather than from the plug-in's own tables.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/ParamIndex.h"
#include "host/HostSdk.h"
#include "minihost/CallLog.h"
#include "minihost/Rects.h"
#include "minihost/World.h"

namespace tessaline::test {

// The text the About command answers.
inline constexpr char kAboutText[] = "P_Tessaline v0.1\rCenter-based guide grid.";

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
