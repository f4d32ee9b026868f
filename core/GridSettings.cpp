#include "core/GridSettings.h"

namespace tessaline {
namespace {

// Limits to at most hi, then to at least lo; a value that is not a number
// ends at lo, as every comparison with it is false.
double ClampDouble(double value, double lo, double hi) {
  if (value > hi) value = hi;
  if (!(value >= lo)) value = lo;
  return value;
}

std::int32_t ClampInt(std::int32_t value, std::int32_t lo, std::int32_t hi) {
  if (value > hi) value = hi;
  if (value < lo) value = lo;
  return value;
}

double AtLeast(double value, double lo) {
  return value >= lo ? value : lo;
}

}  // namespace

GridSettings ResolveGridSettings(const ControlValues& values) {
  GridSettings s;
  s.preset = values.Integer(kPreset);
  s.xSpacing = AtLeast(values.Double(kXSpacing), kMinSpacing);
  s.ySpacing = AtLeast(values.Double(kYSpacing), kMinSpacing);
  s.xCount = ClampInt(values.Integer(kXCount), 0, kMaxLineCount);
  s.yCount = ClampInt(values.Integer(kYCount), 0, kMaxLineCount);
  if (s.preset == kPresetMarginFrame) {
    if (s.xCount < kMarginFrameMinCount) s.xCount = kMarginFrameMinCount;
    if (s.yCount < kMarginFrameMinCount) s.yCount = kMarginFrameMinCount;
  }
  s.centerColor = UnpackColor(values.Color(kCenterLineColor));
  s.outerColorCount = ClampInt(values.Integer(kOuterColorCount), 1, kColorSlotCount);
  for (int slot = 0; slot < kColorSlotCount; ++slot) {
    s.useColor[slot] = values.Integer(UseColorParam(slot)) != 0;
    s.colors[slot] = UnpackColor(values.Color(ColorParam(slot)));
  }
  for (int slot = s.outerColorCount; slot < kColorSlotCount; ++slot) s.useColor[slot] = false;
  s.lineWidth = ClampDouble(values.Double(kLineWidth), kMinLineWidth, kMaxLineWidth);
  s.centerLineWidth = ClampDouble(values.Double(kCenterLineWidth), kMinLineWidth, kMaxLineWidth);
  s.opacity = ClampDouble(values.Double(kOpacity) / 100.0, 0.0, 1.0);
  s.blendMode = values.Integer(kBlendMode);
  return s;
}

}  // namespace tessaline
