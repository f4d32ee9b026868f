#include "presets/GridPreset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "tests/support/PopupValues.h"

namespace tessaline {
namespace {

using test::Preset;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

struct PresetCase {
  double width;
  double height;
  std::int32_t preset;
  double xSpacing;
  double ySpacing;
  std::int32_t xCount;
  std::int32_t yCount;
  double lineWidth;
  double centerLineWidth;
};

// Spacings are written in the form that defines them (W / 6, W * 0.125), so
// they are compared to the bit.
const PresetCase kCases[] = {
    // Square grids at common sizes.
    {1920, 1080, Preset("Balanced Grid"), 100, 100, 10, 6, 2.0, 2.0},
    {1920, 1080, Preset("Fine Draft"), 32, 32, 30, 17, 1.0, 1.5},
    {1920, 1080, Preset("Blueprint"), 50, 50, 20, 11, 1.0, 2.0},
    {3840, 2160, Preset("Coarse Grid"), 400, 400, 5, 3, 6.0, 8.0},
    // The scale factor is capped at 3 and raised to 0.6.
    {7680, 4320, Preset("Presentation"), 7680 * 0.125, 4320 * 0.125, 3, 3, 12.0, 15.0},
    {7680, 4320, Preset("Fine Draft"), 127, 127, 31, 18, 3.0, 4.5},
    {640, 480, Preset("Fine Draft"), 14, 14, 23, 18, 0.6, 0.9},
    {640, 480, Preset("Thirds"), 640.0 / 6, 480.0 / 6, 1, 1, 1.8, 1.8},
    // 6.5 tenths round away from zero; 8.5 rounds to 9.
    {702, 702, Preset("Fine Draft"), 21, 21, 17, 17, 0.7, 1.0},
    {289, 289, Preset("Fine Draft"), 9, 9, 17, 17, 0.6, 0.9},
    {288, 288, Preset("Fine Draft"), 8, 8, 18, 18, 0.6, 0.9},
    // Floors: the smaller side just below and at the threshold, and well below.
    {1920, 254, Preset("Fine Draft"), 8, 8, 120, 16, 0.6, 0.9},
    {255, 1920, Preset("Fine Draft"), 8, 8, 16, 120, 0.6, 0.9},
    {100, 100, Preset("Fine Draft"), 8, 8, 7, 7, 0.6, 0.9},
    {253, 253, Preset("Balanced Grid"), 24, 24, 6, 6, 1.2, 1.2},
    {1920, 254, Preset("Balanced Grid"), 24, 24, 40, 6, 1.2, 1.2},
    {265, 265, Preset("Balanced Grid"), 25, 25, 6, 6, 1.2, 1.2},
    {256, 256, Preset("Coarse Grid"), 48, 48, 3, 3, 1.8, 2.4},
    {257, 257, Preset("Coarse Grid"), 48, 48, 3, 3, 1.8, 2.4},
    {262, 262, Preset("Coarse Grid"), 49, 49, 3, 3, 1.8, 2.4},
    {248, 248, Preset("Blueprint"), 12, 12, 11, 11, 0.6, 1.2},
    {249, 249, Preset("Blueprint"), 12, 12, 11, 11, 0.6, 1.2},
    {270, 270, Preset("Blueprint"), 13, 13, 11, 11, 0.6, 1.2},
    // Counts are capped at 200 for extreme aspect ratios.
    {100000, 100, Preset("Fine Draft"), 8, 8, 200, 7, 0.6, 0.9},
    {100, 100000, Preset("Fine Draft"), 8, 8, 7, 200, 0.6, 0.9},
    // Sizes at or below 1, and sizes that are not numbers, count as 1.
    {0, 0, Preset("Balanced Grid"), 24, 24, 1, 1, 1.2, 1.2},
    {-1920, -1080, Preset("Balanced Grid"), 24, 24, 1, 1, 1.2, 1.2},
    {0.5, 0.25, Preset("Balanced Grid"), 24, 24, 1, 1, 1.2, 1.2},
    {kNaN, kNaN, Preset("Balanced Grid"), 24, 24, 1, 1, 1.2, 1.2},
    {1, 1, Preset("Coarse Grid"), 48, 48, 1, 1, 1.8, 2.4},
    {0, 0, Preset("Margin Frame"), 0.05, 0.05, 9, 9, 1.8, 2.4},
    {-5, 0.5, Preset("Thirds"), 1.0 / 6, 1.0 / 6, 1, 1, 1.8, 1.8},
    {0, 1080, Preset("Center Cross"), 1.0 / 9, 1.0 / 9, 0, 0, 1.2, 1.8},
    // Proportional presets at 1920 x 1080: widths equal the factors.
    {1920, 1080, Preset("Golden Guide"), 1920 * 0.11803398875, 1080 * 0.11803398875, 1, 1, 3.0,
     3.0},
    {1920, 1080, Preset("Center Cross"), 120, 120, 0, 0, 2.0, 3.0},
    {1920, 1080, Preset("Modular Grid"), 1920 * 0.125, 1080 * 0.125, 3, 3, 2.5, 3.5},
    {1920, 1080, Preset("Fifths"), 1920.0 / 10, 1080.0 / 10, 2, 2, 2.5, 3.0},
    {1920, 1080, Preset("Quadrants"), 1920 * 0.25, 1080 * 0.25, 1, 1, 3.0, 4.0},
    {1920, 1080, Preset("Safe Area 90"), 1920 * 0.45, 1080 * 0.45, 1, 1, 3.0, 4.0},
    {1920, 1080, Preset("Safe Area 80"), 1920 * 0.4, 1080 * 0.4, 1, 1, 3.5, 4.5},
    {1920, 1080, Preset("Margin Frame"), 1920 * 0.05, 1080 * 0.05, 9, 9, 3.0, 4.0},
    {1920, 1080, Preset("Cinematic"), 1920.0 / 6, 1080 * 0.4, 1, 1, 3.5, 5.0},
    {1080, 1920, Preset("Social Layout"), 1080.0 / 6, 1920 * 0.125, 2, 3, 3.0, 4.0},
    {1080, 1920, Preset("Center Cross"), 120, 120, 0, 0, 2.0, 3.0},
    {2560, 1440, Preset("Presentation"), 2560 * 0.125, 1440 * 0.125, 3, 3, 5.3, 6.7},
};

TEST(GridPreset, ComputesSpacingCountsAndWidths) {
  for (const PresetCase& c : kCases) {
    SCOPED_TRACE(::testing::Message()
                 << "preset " << c.preset << " at " << c.width << " x " << c.height);
    const GridPreset p = ComputeGridPreset(c.preset, c.width, c.height);
    EXPECT_EQ(p.xSpacing, c.xSpacing);
    EXPECT_EQ(p.ySpacing, c.ySpacing);
    EXPECT_EQ(p.xCount, c.xCount);
    EXPECT_EQ(p.yCount, c.yCount);
    EXPECT_EQ(p.lineWidth, c.lineWidth);
    EXPECT_EQ(p.centerLineWidth, c.centerLineWidth);
  }
}

TEST(GridPreset, BalancedGridRecordIsComplete) {
  const GridPreset p = ComputeGridPreset(Preset("Balanced Grid"), 1920, 1080);
  EXPECT_EQ(p.outerColorCount, 4);
  const PackedColor colors[] = {0x4040FFFF, 0xFF8040FF, 0x78DC40FF, 0x40DCFFFF};
  for (int slot = 0; slot < kColorSlotCount; ++slot) {
    EXPECT_EQ(p.colors[slot], colors[slot]) << "slot " << slot;
    EXPECT_EQ(p.useColor[slot], 1) << "slot " << slot;
  }
  EXPECT_EQ(p.centerColor, 0xFFFFFFFFu);
  EXPECT_EQ(p.opacity, 100.0);
}

void ExpectSameRecord(const GridPreset& a, const GridPreset& b) {
  EXPECT_EQ(a.xSpacing, b.xSpacing);
  EXPECT_EQ(a.ySpacing, b.ySpacing);
  EXPECT_EQ(a.xCount, b.xCount);
  EXPECT_EQ(a.yCount, b.yCount);
  EXPECT_EQ(a.outerColorCount, b.outerColorCount);
  for (int slot = 0; slot < kColorSlotCount; ++slot) {
    EXPECT_EQ(a.colors[slot], b.colors[slot]);
    EXPECT_EQ(a.useColor[slot], b.useColor[slot]);
  }
  EXPECT_EQ(a.centerColor, b.centerColor);
  EXPECT_EQ(a.lineWidth, b.lineWidth);
  EXPECT_EQ(a.centerLineWidth, b.centerLineWidth);
  EXPECT_EQ(a.opacity, b.opacity);
}

TEST(GridPreset, NumbersOutsideTheLayoutsGiveBalancedGrid) {
  const double sizes[][2] = {{1920, 1080}, {640, 480}, {1080, 1920}, {0, 0}, {100000, 100}};
  for (const auto& size : sizes) {
    const GridPreset balanced = ComputeGridPreset(Preset("Balanced Grid"), size[0], size[1]);
    for (std::int32_t preset :
         {Preset("Custom"), 0, -1, Preset("Presentation") + 1, 99, kIntMin, kIntMax}) {
      SCOPED_TRACE(::testing::Message()
                   << "preset " << preset << " at " << size[0] << " x " << size[1]);
      ExpectSameRecord(ComputeGridPreset(preset, size[0], size[1]), balanced);
    }
  }
}

// Reference sizes for the sweeps: the popup's sizes, edge sizes and random
// whole and fractional sizes (the generator's output is the same everywhere).
std::vector<std::pair<double, double>> SweepSizes() {
  std::vector<std::pair<double, double>> sizes = {
      {1280, 720},  {1920, 1080},   {2560, 1440}, {3840, 2160}, {4096, 2160}, {7680, 4320},
      {1080, 1080}, {2048, 2048},   {4096, 4096}, {720, 1280},  {1080, 1920}, {2160, 3840},
      {640, 480},   {1440, 1080},   {2048, 1536}, {2160, 1440}, {2560, 1080}, {3440, 1440},
      {3840, 1600}, {0, 0},         {-1, 7},      {1, 1},       {2, 30000},   {1e12, 1},
      {1, 1e12},    {1e300, 1e300}, {kInf, 1080}, {kInf, kInf}, {kNaN, 500},  {0.999, 1.001}};
  std::mt19937 random(20260101u);
  for (int i = 0; i < 2000; ++i) {
    const double w = 1 + random() % 9000;
    const double h = 1 + random() % 9000;
    if (i % 2 == 0) {
      sizes.emplace_back(w, h);
    } else {
      sizes.emplace_back(w + (random() % 1000) / 1000.0, h + (random() % 1000) / 1000.0);
    }
  }
  return sizes;
}

bool HasOneDecimal(double width) {
  return std::round(width * 10.0) / 10.0 == width;
}

TEST(GridPreset, InvariantsHoldForEveryPresetAndSize) {
  for (const auto& [w, h] : SweepSizes()) {
    for (std::int32_t preset = Preset("Custom"); preset <= Preset("Presentation"); ++preset) {
      SCOPED_TRACE(::testing::Message() << "preset " << preset << " at " << w << " x " << h);
      const GridPreset p = ComputeGridPreset(preset, w, h);
      for (int slot = 0; slot < kColorSlotCount; ++slot) {
        ASSERT_EQ(p.useColor[slot], 1);
        ASSERT_EQ(p.colors[slot] & 0xFFu, 0xFFu);
      }
      ASSERT_EQ(p.centerColor, 0xFFFFFFFFu);
      ASSERT_EQ(p.opacity, 100.0);
      ASSERT_GE(p.outerColorCount, 1);
      ASSERT_LE(p.outerColorCount, 4);
      for (double width : {p.lineWidth, p.centerLineWidth}) {
        ASSERT_GE(width, 0.6);
        ASSERT_LE(width, 15.0);
        ASSERT_TRUE(HasOneDecimal(width)) << width;
      }
      for (std::int32_t count : {p.xCount, p.yCount}) {
        ASSERT_GE(count, 0);
        ASSERT_LE(count, 200);
      }
      ASSERT_TRUE(p.xSpacing > 0.0 && p.ySpacing > 0.0);
    }
  }
}

// Square grids: an integer spacing at least the floor, equal on both axes, and
// the fewest lines that reach the frame edge from the center (capped at 200).
TEST(GridPreset, SquareGridsReachTheEdges) {
  const std::pair<std::int32_t, double> floors[] = {{Preset("Fine Draft"), 8},
                                                    {Preset("Balanced Grid"), 24},
                                                    {Preset("Coarse Grid"), 48},
                                                    {Preset("Blueprint"), 12}};
  for (const auto& [w, h] : SweepSizes()) {
    if (!std::isfinite(w) || !std::isfinite(h) || w < 1 || h < 1) continue;
    for (const auto& [preset, floor] : floors) {
      SCOPED_TRACE(::testing::Message() << "preset " << preset << " at " << w << " x " << h);
      const GridPreset p = ComputeGridPreset(preset, w, h);
      ASSERT_EQ(p.xSpacing, p.ySpacing);
      ASSERT_EQ(p.xSpacing, std::floor(p.xSpacing));
      ASSERT_GE(p.xSpacing, floor);
      const double spacing = p.xSpacing;
      for (const auto& [count, side] : {std::pair{p.xCount, w}, std::pair{p.yCount, h}}) {
        // Below the cap the last line lies on the edge or beyond it, and one
        // line fewer would fall short; at the cap the edge is out of reach.
        if (count < 200) {
          ASSERT_GE(count * spacing, side * 0.5);
        }
        ASSERT_LT((count - 1) * spacing, side * 0.5);
      }
    }
  }
}

// Each spacing keeps the form that defines it. The sweep must include sizes
// where the other form differs, or the comparison would prove nothing.
TEST(GridPreset, SpacingsKeepTheirDivisionOrMultiplicationForm) {
  struct Form {
    std::int32_t preset;
    double (*x)(double w, double h);
    double (*y)(double w, double h);
    double (*otherX)(double w, double h);
  };
  const Form forms[] = {
      {Preset("Thirds"), [](double w, double) { return w / 6; },
       [](double, double h) { return h / 6; }, [](double w, double) { return w * (1.0 / 6); }},
      {Preset("Fifths"), [](double w, double) { return w / 10; },
       [](double, double h) { return h / 10; }, [](double w, double) { return w * 0.1; }},
      {Preset("Center Cross"), [](double w, double h) { return (w < h ? w : h) / 9; },
       [](double w, double h) { return (w < h ? w : h) / 9; },
       [](double w, double h) { return (w < h ? w : h) * (1.0 / 9); }},
      {Preset("Cinematic"), [](double w, double) { return w / 6; },
       [](double, double h) { return h * 0.4; }, [](double w, double) { return w * (1.0 / 6); }},
      {Preset("Social Layout"), [](double w, double) { return w / 6; },
       [](double, double h) { return h * 0.125; }, [](double w, double) { return w * (1.0 / 6); }},
      {Preset("Safe Area 80"), [](double w, double) { return w * 0.4; },
       [](double, double h) { return h * 0.4; }, [](double w, double) { return w / 2.5; }},
      {Preset("Golden Guide"), [](double w, double) { return w * 0.11803398875; },
       [](double, double h) { return h * 0.11803398875; },
       [](double w, double) { return w / (1 / 0.11803398875); }},
      {Preset("Safe Area 90"), [](double w, double) { return w * 0.45; },
       [](double, double h) { return h * 0.45; }, [](double w, double) { return w / (1 / 0.45); }},
  };
  for (const Form& form : forms) {
    int formsDiffer = 0;
    for (const auto& [rawW, rawH] : SweepSizes()) {
      if (!std::isfinite(rawW) || !std::isfinite(rawH) || rawW < 1 || rawH < 1) continue;
      SCOPED_TRACE(::testing::Message()
                   << "preset " << form.preset << " at " << rawW << " x " << rawH);
      const GridPreset p = ComputeGridPreset(form.preset, rawW, rawH);
      ASSERT_EQ(p.xSpacing, form.x(rawW, rawH));
      ASSERT_EQ(p.ySpacing, form.y(rawW, rawH));
      if (form.x(rawW, rawH) != form.otherX(rawW, rawH)) ++formsDiffer;
    }
    EXPECT_GT(formsDiffer, 0) << "preset " << form.preset;
  }
}

}  // namespace
}  // namespace tessaline
