#pragma once
// Position of every control in the effect's parameter list. The position is
// also the control's persistent id, so the list never changes order.
#include <cstdint>

namespace tessaline {

enum ParamIndex : std::int32_t {
  kInputLayer = 0,
  kPreset = 1,
  kResolution = 2,
  kLayoutGroup = 3,
  kXSpacing = 4,
  kYSpacing = 5,
  kXCount = 6,
  kYCount = 7,
  kLayoutGroupEnd = 8,
  kColorsGroup = 9,
  kCenterLineColor = 10,
  kOuterColorCount = 11,
  kUseColor1 = 12,
  kColor1 = 13,
  kUseColor2 = 14,
  kColor2 = 15,
  kUseColor3 = 16,
  kColor3 = 17,
  kUseColor4 = 18,
  kColor4 = 19,
  kColorsGroupEnd = 20,
  kStyleGroup = 21,
  kLineWidth = 22,
  kCenterLineWidth = 23,
  kOpacity = 24,
  kBlendMode = 25,
  kStyleGroupEnd = 26,
  kParamCount = 27,
};

inline constexpr int kColorSlotCount = 4;

// The checkbox and the color control of outer color slot 0 to 3.
constexpr ParamIndex UseColorParam(int slot) {
  return ParamIndex(kUseColor1 + 2 * slot);
}
constexpr ParamIndex ColorParam(int slot) {
  return ParamIndex(kColor1 + 2 * slot);
}

// Popup values, counting from 1 as the host does.
inline constexpr std::int32_t kPresetCustom = 1;
inline constexpr std::int32_t kPresetMarginFrame = 12;
inline constexpr std::int32_t kBlendCompositeOverSource = 1;
inline constexpr std::int32_t kBlendGridOnly = 2;
inline constexpr std::int32_t kResolutionCurrentSize = 1;

}  // namespace tessaline
