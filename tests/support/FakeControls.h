#pragma once
// Control values held in plain arrays, preset to the effect's defaults, for
// tests of the core that need no host.
#include <array>
#include <cstdint>

#include "core/ControlValues.h"

namespace tessaline::test {

class FakeControls final : public ControlValues {
 public:
  FakeControls() {
    ints[kPreset] = 1;
    ints[kResolution] = 1;
    doubles[kXSpacing] = doubles[kYSpacing] = 100.0;
    ints[kXCount] = ints[kYCount] = 10;
    colors[kCenterLineColor] = 0xFFFFFFFFu;
    ints[kOuterColorCount] = 4;
    for (int slot = 0; slot < kColorSlotCount; ++slot) ints[UseColorParam(slot)] = 1;
    colors[kColor1] = 0x0000FFFFu;
    colors[kColor2] = 0xFF0000FFu;
    colors[kColor3] = 0x00FF00FFu;
    colors[kColor4] = 0x00FFFFFFu;
    doubles[kLineWidth] = doubles[kCenterLineWidth] = 2.0;
    doubles[kOpacity] = 100.0;
    ints[kBlendMode] = 1;
  }

  std::int32_t Integer(ParamIndex i) const override { return ints[i]; }
  double Double(ParamIndex i) const override { return doubles[i]; }
  PackedColor Color(ParamIndex i) const override { return colors[i]; }

  std::array<std::int32_t, kParamCount> ints{};
  std::array<double, kParamCount> doubles{};
  std::array<PackedColor, kParamCount> colors{};
};

}  // namespace tessaline::test
