#include "core/GridSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/FakeControls.h"

namespace tessaline {
namespace {

using test::FakeControls;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(GridSettings, DefaultRecordHoldsTheDefaults) {
  const GridSettings s;
  EXPECT_EQ(s.preset, 1);
  EXPECT_EQ(s.xSpacing, 100.0);
  EXPECT_EQ(s.xCount, 5);
  EXPECT_EQ(s.lineWidth, 1.0);
  EXPECT_EQ(s.centerLineWidth, 2.0);
  EXPECT_EQ(s.opacity, 1.0);
  EXPECT_EQ(s.blendMode, 1);
  EXPECT_EQ(s.outerColorCount, 4);
  EXPECT_EQ(s.centerColor.alpha, 1.0);
  EXPECT_EQ(s.colors[3].red, 0.0);
}

struct CountCase {
  std::int32_t preset, control, expected;
};

TEST(GridSettings, CountsAreClampedAndRaisedForMarginFrame) {
  const CountCase cases[] = {
      {1, 250, 200}, {1, -3, 0},
      {1, 0, 0},     {99, 4, 4},
      {12, 4, 9},    {12, 0, 9},
      {12, 12, 12},  {12, 250, 200},
      {12, -7, 9},   {1, std::numeric_limits<std::int32_t>::min(), 0},
  };
  for (const CountCase& c : cases) {
    FakeControls controls;
    controls.ints[kPreset] = c.preset;
    controls.ints[kXCount] = c.control;
    controls.ints[kYCount] = c.control;
    const GridSettings s = ResolveGridSettings(controls);
    EXPECT_EQ(s.xCount, c.expected) << "preset " << c.preset << " count " << c.control;
    EXPECT_EQ(s.yCount, c.expected) << "preset " << c.preset << " count " << c.control;
  }
}

struct DoubleCase {
  ParamIndex control;
  double value;
  double expected;
  double GridSettings::*field;
};

TEST(GridSettings, DoublesAreForcedIntoRange) {
  const DoubleCase cases[] = {
      {kXSpacing, 0.25, 1.0, &GridSettings::xSpacing},
      {kXSpacing, 1.0, 1.0, &GridSettings::xSpacing},
      {kXSpacing, 37.5, 37.5, &GridSettings::xSpacing},
      {kXSpacing, kNaN, 1.0, &GridSettings::xSpacing},
      {kXSpacing, -kInf, 1.0, &GridSettings::xSpacing},
      {kYSpacing, 0.0, 1.0, &GridSettings::ySpacing},
      {kYSpacing, 12345.0, 12345.0, &GridSettings::ySpacing},
      {kLineWidth, 0.0, 0.1, &GridSettings::lineWidth},
      {kLineWidth, 35.0, 20.0, &GridSettings::lineWidth},
      {kLineWidth, 2.5, 2.5, &GridSettings::lineWidth},
      {kLineWidth, kNaN, 0.1, &GridSettings::lineWidth},
      {kLineWidth, kInf, 20.0, &GridSettings::lineWidth},
      {kCenterLineWidth, 0.0, 0.1, &GridSettings::centerLineWidth},
      {kCenterLineWidth, 35.0, 20.0, &GridSettings::centerLineWidth},
      {kCenterLineWidth, 2.5, 2.5, &GridSettings::centerLineWidth},
      {kCenterLineWidth, kNaN, 0.1, &GridSettings::centerLineWidth},
      {kOpacity, 150.0, 1.0, &GridSettings::opacity},
      {kOpacity, -5.0, 0.0, &GridSettings::opacity},
      {kOpacity, 50.0, 0.5, &GridSettings::opacity},
      {kOpacity, kNaN, 0.0, &GridSettings::opacity},
  };
  for (const DoubleCase& c : cases) {
    FakeControls controls;
    controls.doubles[c.control] = c.value;
    const GridSettings s = ResolveGridSettings(controls);
    EXPECT_EQ(s.*c.field, c.expected) << "control " << c.control << " value " << c.value;
  }
}

struct SlotCase {
  std::int32_t count;
  std::int32_t checkboxes[4];
  std::int32_t expectedCount;
  bool expected[4];
};

TEST(GridSettings, ColorSlotsFollowCountAndCheckboxes) {
  const SlotCase cases[] = {
      {0, {1, 1, 1, 1}, 1, {true, false, false, false}},
      {-2, {1, 1, 1, 1}, 1, {true, false, false, false}},
      {7, {1, 1, 1, 1}, 4, {true, true, true, true}},
      {3, {1, 1, 1, 1}, 3, {true, true, true, false}},
      {2, {1, 1, 1, 1}, 2, {true, true, false, false}},
      {4, {1, 0, 1, 1}, 4, {true, false, true, true}},
      {4, {0, -1, 5, 0}, 4, {false, true, true, false}},
  };
  for (const SlotCase& c : cases) {
    FakeControls controls;
    controls.ints[kOuterColorCount] = c.count;
    for (int slot = 0; slot < 4; ++slot) controls.ints[UseColorParam(slot)] = c.checkboxes[slot];
    const GridSettings s = ResolveGridSettings(controls);
    EXPECT_EQ(s.outerColorCount, c.expectedCount) << "count " << c.count;
    for (int slot = 0; slot < 4; ++slot)
      EXPECT_EQ(s.useColor[slot], c.expected[slot]) << "count " << c.count << " slot " << slot;
  }
}

TEST(GridSettings, SlotsBeyondTheCountKeepTheirColors) {
  FakeControls controls;
  controls.ints[kOuterColorCount] = 1;
  controls.colors[kColor4] = 0x4000FF80u;
  EXPECT_EQ(ResolveGridSettings(controls).colors[3].red, 1.0);
}

TEST(GridSettings, UnpackColorDividesEachByteBy255) {
  const GridColor c = UnpackColor(0x4000FF80u);
  EXPECT_EQ(c.red, 1.0);
  EXPECT_EQ(c.green, 0.0);
  EXPECT_EQ(c.blue, 64 / 255.0);
  EXPECT_EQ(c.alpha, 128 / 255.0);
  const GridColor white = UnpackColor(0xFFFFFFFFu);
  EXPECT_EQ(white.blue, 1.0);
  EXPECT_EQ(white.alpha, 1.0);
}

TEST(GridSettings, ColorsComeFromTheirOwnControls) {
  FakeControls controls;
  controls.colors[kCenterLineColor] = 0x00000080u;
  controls.colors[kColor1] = 0x000000FFu;
  controls.colors[kColor2] = 0x0000FF00u;
  controls.colors[kColor3] = 0x00FF0000u;
  controls.colors[kColor4] = 0xFF000000u;
  const GridSettings s = ResolveGridSettings(controls);
  EXPECT_EQ(s.centerColor.alpha, 128 / 255.0);
  EXPECT_EQ(s.colors[0].alpha, 1.0);
  EXPECT_EQ(s.colors[1].red, 1.0);
  EXPECT_EQ(s.colors[2].green, 1.0);
  EXPECT_EQ(s.colors[3].blue, 1.0);
  EXPECT_EQ(s.colors[3].alpha, 0.0);
}

TEST(GridSettings, PresetAndBlendModePassUnchecked) {
  FakeControls controls;
  controls.ints[kPreset] = 99;
  controls.ints[kBlendMode] = 3;
  const GridSettings s = ResolveGridSettings(controls);
  EXPECT_EQ(s.preset, 99);
  EXPECT_EQ(s.blendMode, 3);
}

}  // namespace
}  // namespace tessaline
