#pragma once
// The preset calculator: one complete grid layout for a "Preset" popup value
// and a reference frame size. Every field feeds one control of the effect.
#include <cstdint>
#include <type_traits>

#include "core/GridColor.h"
#include "core/ParamIndex.h"

namespace tessaline {

struct GridPreset {
  double xSpacing = 0.0;             // pixels between neighbouring vertical lines
  double ySpacing = 0.0;             // pixels between neighbouring horizontal lines
  std::int32_t xCount = 0;           // outer vertical lines on each side, 0 to 200
  std::int32_t yCount = 0;           // outer horizontal lines on each side, 0 to 200
  std::int32_t outerColorCount = 0;  // 1 to 4, the "Outer Color Count" value
  PackedColor colors[kColorSlotCount] = {};
  std::uint8_t useColor[kColorSlotCount] = {};  // 0 or 1
  PackedColor centerColor = 0;
  double lineWidth = 0.0;
  double centerLineWidth = 0.0;
  double opacity = 0.0;  // percent
};

static_assert(std::is_trivially_copyable_v<GridPreset>);

// "Preset" values with a computed layout: 2 "Fine Draft" to 17 "Presentation".
inline constexpr std::int32_t kPresetFirstLayout = 2;
inline constexpr std::int32_t kPresetLastLayout = 17;
inline constexpr std::int32_t kPresetBalancedGrid = 3;

// The layout of `preset` for a reference frame of width x height pixels.
// Sizes at or below 1 count as 1; preset numbers outside 2 to 17 ("Custom"
// included) give the "Balanced Grid" layout. Pure: no state, no allocation.
GridPreset ComputeGridPreset(std::int32_t preset, double width, double height);

}  // namespace tessaline
