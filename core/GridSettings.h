#pragma once
// The resolved render settings of one frame: every value the composition
// needs, already forced into its working range. A plain value: a bytewise copy
// is a complete copy and it can be freed without clean-up.
#include <cstdint>
#include <type_traits>

#include "core/ControlValues.h"
#include "core/GridColor.h"
#include "core/ParamIndex.h"

namespace tessaline {

struct GridSettings {
  std::int32_t preset = kPresetCustom;
  double xSpacing = 100.0;  // at least 1
  double ySpacing = 100.0;  // at least 1
  std::int32_t xCount = 5;  // 0 to 200; 9 to 200 for "Margin Frame"
  std::int32_t yCount = 5;
  double lineWidth = 1.0;        // 0.1 to 20
  double centerLineWidth = 2.0;  // 0.1 to 20
  double opacity = 1.0;          // 0 to 1
  std::int32_t blendMode = kBlendCompositeOverSource;
  std::int32_t outerColorCount = 4;  // 1 to 4
  GridColor centerColor;
  GridColor colors[kColorSlotCount];
  bool useColor[kColorSlotCount] = {};  // false for slots above outerColorCount
};

static_assert(std::is_trivially_copyable_v<GridSettings>);
static_assert(std::is_trivially_destructible_v<GridSettings>);

inline constexpr std::int32_t kMaxLineCount = 200;
inline constexpr std::int32_t kMarginFrameMinCount = 9;
inline constexpr double kMinSpacing = 1.0;
inline constexpr double kMinLineWidth = 0.1;
inline constexpr double kMaxLineWidth = 20.0;

// Reads the nineteen settings controls, each once, and clamps them. Never fails.
GridSettings ResolveGridSettings(const ControlValues& values);

}  // namespace tessaline
