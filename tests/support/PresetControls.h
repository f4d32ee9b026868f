#pragma once
// Control values as the preset application leaves them: every field of a
// GridPreset in its control, the other controls at their defaults.
#include <cstdint>

#include "presets/GridPreset.h"
#include "tests/support/FakeControls.h"

namespace tessaline::test {

inline FakeControls PresetControls(std::int32_t preset, const GridPreset& p,
                                   std::int32_t blendMode) {
  FakeControls c;
  c.ints[kPreset] = preset;
  c.doubles[kXSpacing] = p.xSpacing;
  c.doubles[kYSpacing] = p.ySpacing;
  c.ints[kXCount] = p.xCount;
  c.ints[kYCount] = p.yCount;
  c.colors[kCenterLineColor] = p.centerColor;
  c.ints[kOuterColorCount] = p.outerColorCount;
  for (int slot = 0; slot < kColorSlotCount; ++slot) {
    c.ints[UseColorParam(slot)] = p.useColor[slot];
    c.colors[ColorParam(slot)] = p.colors[slot];
  }
  c.doubles[kLineWidth] = p.lineWidth;
  c.doubles[kCenterLineWidth] = p.centerLineWidth;
  c.doubles[kOpacity] = p.opacity;
  c.ints[kBlendMode] = blendMode;
  return c;
}

}  // namespace tessaline::test
