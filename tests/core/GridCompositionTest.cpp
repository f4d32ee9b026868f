#include "core/GridComposition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <vector>

#include "tests/support/TestImage.h"

namespace tessaline {
namespace {

using test::TestImage;

constexpr GridColor kRed{1, 0, 0, 1}, kGreen{0, 1, 0, 1}, kBlue{0, 0, 1, 1}, kYellow{1, 1, 0, 1},
    kWhite{1, 1, 1, 1};

// Opaque, full-strength settings with no lines; each test adds what it needs.
GridSettings Bare(std::int32_t blendMode = kBlendGridOnly) {
  GridSettings s;
  s.blendMode = blendMode;
  s.xCount = s.yCount = 0;
  s.lineWidth = 1.0;
  s.centerLineWidth = 1.0;
  s.centerColor = kWhite;
  s.colors[0] = kRed;
  s.colors[1] = kGreen;
  s.colors[2] = kBlue;
  s.colors[3] = kYellow;
  for (bool& use : s.useColor) use = true;
  return s;
}

// The frame with the layer as the whole output.
template <typename Pixel>
ErrorCode Render(const PixelBuffer* source, const PixelBuffer& output, const GridSettings& s) {
  return RenderGrid<Pixel>(source, output, s, CenteredPlacement(output));
}

// Columns of row `row` whose alpha is not zero.
std::vector<std::int32_t> DrawnColumns(const TestImage<Pixel8>& image, std::int32_t row) {
  std::vector<std::int32_t> columns;
  for (std::int32_t c = 0; c < image.width(); ++c)
    if (image.at(row, c).alpha != 0) columns.push_back(c);
  return columns;
}

TEST(GridComposition, OuterVerticalLinesSitAtMultiplesOfTheSpacing) {
  TestImage<Pixel8> image(1920, 4);
  GridSettings s = Bare();
  s.centerLineWidth = 0.1;
  s.centerColor.alpha = 0.0;  // center drawn invisibly
  s.xCount = 5;
  s.xSpacing = 100;
  ASSERT_EQ(Render<Pixel8>(nullptr, image.buffer(), s), kErrNone);
  const std::vector<std::int32_t> expected = {459,  460,  559,  560,  659,  660,  759,
                                              760,  859,  860,  1059, 1060, 1159, 1160,
                                              1259, 1260, 1359, 1360, 1459, 1460};
  EXPECT_EQ(DrawnColumns(image, 2), expected);
  EXPECT_EQ(image.at(2, 859).alpha, 128);
  EXPECT_EQ(image.at(2, 860).red, 255);  // straight color: the line's own
}

TEST(GridComposition, ColorsCycleAndSwitchedOffSlotsKeepTheirIndex) {
  struct Case {
    std::int32_t slots;
    bool use[4];
    std::vector<int> expectedSlot;  // per index 1..9; -1 = nothing drawn
  };
  const Case cases[] = {
      {3, {true, true, true, true}, {0, 1, 2, 0, 1, 2, 0, 1, 2}},
      {2, {true, false, true, true}, {0, -1, 0, -1, 0, -1, 0, -1, 0}},
      {4, {true, true, true, false}, {0, 1, 2, -1, 0, 1, 2, -1, 0}},
  };
  for (const Case& c : cases) {
    TestImage<Pixel8> image(200, 3);
    GridSettings s = Bare();
    s.centerColor.alpha = 0.0;
    s.outerColorCount = c.slots;
    for (int k = 0; k < 4; ++k) s.useColor[k] = c.use[k];
    s.xCount = 9;
    s.xSpacing = 10;
    s.lineWidth = 2.0;
    ASSERT_EQ(Render<Pixel8>(nullptr, image.buffer(), s), kErrNone);
    for (int i = 1; i <= 9; ++i) {
      const Pixel8& right = image.at(1, 100 + 10 * i);
      const Pixel8& left = image.at(1, 100 - 10 * i);
      if (c.expectedSlot[i - 1] < 0) {
        EXPECT_EQ(right.alpha, 0) << "index " << i;
        EXPECT_EQ(left.alpha, 0) << "index " << i;
        continue;
      }
      const GridColor& color = s.colors[c.expectedSlot[i - 1]];
      EXPECT_EQ(right.red, color.red * 255) << "index " << i;
      EXPECT_EQ(right.green, color.green * 255) << "index " << i;
      EXPECT_EQ(right.blue, color.blue * 255) << "index " << i;
      EXPECT_EQ(left.green, right.green) << "index " << i;
    }
  }
}

TEST(GridComposition, MarginFrameDrawsOnlyTheTwoOutermostIndices) {
  struct Case {
    std::int32_t count, slots;
    std::vector<std::pair<int, int>> indexAndSlot;
  };
  const Case cases[] = {
      {9, 4, {{8, 3}, {9, 0}}},
      {10, 2, {{9, 0}, {10, 1}}},
      {1, 4, {}},
  };
  const double spacing = 18;
  for (const Case& c : cases) {
    TestImage<Pixel8> image(400, 400);
    GridSettings s = Bare();
    s.preset = kPresetMarginFrame;
    s.outerColorCount = c.slots;
    s.xCount = s.yCount = c.count;
    s.xSpacing = s.ySpacing = spacing;
    s.lineWidth = 2.0;
    ASSERT_EQ(Render<Pixel8>(nullptr, image.buffer(), s), kErrNone);
    std::vector<std::int32_t> expected;
    for (const auto& [index, slot] : c.indexAndSlot) {
      for (int side : {-1, 1}) {
        const std::int32_t x = 200 + side * std::int32_t(spacing) * index;
        expected.push_back(x - 1);
        expected.push_back(x);
        EXPECT_EQ(image.at(5, x).red, s.colors[slot].red * 255) << index;
        EXPECT_EQ(image.at(5, x).green, s.colors[slot].green * 255) << index;
      }
    }
    std::sort(expected.begin(), expected.end());
    // Row 5 lies away from every horizontal line: no center cross, two frames.
    EXPECT_EQ(DrawnColumns(image, 5), expected) << "count " << c.count;
  }
}

// Each crossing is checked where the two lines have different colors: index 1
// draws slot 0 (red), index 2 slot 1 (green), the center lines blue. (The two
// center lines share one color, so their order cannot be seen.)
TEST(GridComposition, LaterLinesLieOverEarlierOnesAtCrossings) {
  TestImage<Pixel8> image(60, 60);
  GridSettings s = Bare();
  s.centerColor = kBlue;
  s.outerColorCount = 2;
  s.xCount = s.yCount = 2;
  s.xSpacing = s.ySpacing = 10;
  s.lineWidth = s.centerLineWidth = 2.0;
  ASSERT_EQ(Render<Pixel8>(nullptr, image.buffer(), s), kErrNone);
  struct Crossing {
    std::int32_t row, column;
    std::uint8_t red, green, blue;  // of the line on top
    const char* what;
  };
  const Crossing crossings[] = {
      {30, 40, 255, 0, 0, "outer vertical over the horizontal center line"},
      {40, 30, 255, 0, 0, "outer horizontal over the vertical center line"},
      {50, 40, 0, 255, 0, "horizontal index 2 over vertical index 1"},
      {40, 50, 255, 0, 0, "horizontal index 1 over vertical index 2"},
      {10, 20, 0, 255, 0, "upper horizontal index 2 over left vertical index 1"},
  };
  for (const Crossing& c : crossings) {
    const Pixel8& p = image.at(c.row, c.column);
    EXPECT_EQ(p.alpha, 255) << c.what;
    EXPECT_EQ(p.red, c.red) << c.what;
    EXPECT_EQ(p.green, c.green) << c.what;
    EXPECT_EQ(p.blue, c.blue) << c.what;
  }
}

// At half opacity a pixel that one center line covers whole gets alpha 128,
// one that both cover 192: on an even frame, and on a frame of one pixel.
TEST(GridComposition, HalfOpacityCenterCross) {
  struct Case {
    std::int32_t width, height, firstColumn, firstRow, covered;  // columns and rows per line
  };
  for (const Case& c : {Case{10, 8, 4, 3, 2}, Case{1, 1, 0, 0, 1}}) {
    TestImage<Pixel8> image(c.width, c.height);
    GridSettings s = Bare();
    s.opacity = 0.5;
    s.centerLineWidth = c.covered;
    ASSERT_EQ(Render<Pixel8>(nullptr, image.buffer(), s), kErrNone);
    for (std::int32_t r = 0; r < c.height; ++r)
      for (std::int32_t col = 0; col < c.width; ++col) {
        const bool onVertical = col >= c.firstColumn && col < c.firstColumn + c.covered;
        const bool onHorizontal = r >= c.firstRow && r < c.firstRow + c.covered;
        const std::uint8_t expected = onVertical && onHorizontal   ? 192
                                      : onVertical || onHorizontal ? 128
                                                                   : 0;
        EXPECT_EQ(image.at(r, col).alpha, expected) << r << "," << col;
        EXPECT_EQ(image.at(r, col).green, expected > 0 ? 255 : 0) << r << "," << col;
      }
  }
}

TEST(GridComposition, OpacityZeroLeavesTheBase) {
  TestImage<Pixel16> source(7, 5), out(7, 5);
  for (std::int32_t r = 0; r < 5; ++r)
    for (std::int32_t c = 0; c < 7; ++c) source.at(r, c) = Pixel16{1, std::uint16_t(r), 3, 4};
  GridSettings s = Bare(kBlendCompositeOverSource);
  s.opacity = 0.0;
  s.xCount = 3;
  ASSERT_EQ(Render<Pixel16>(&source.buffer(), out.buffer(), s), kErrNone);
  EXPECT_EQ(out.PackedPixels(), source.PackedPixels());

  s.blendMode = kBlendGridOnly;
  out.Fill(Pixel16{9, 9, 9, 9});
  ASSERT_EQ(Render<Pixel16>(nullptr, out.buffer(), s), kErrNone);
  for (std::uint8_t byte : out.PackedPixels()) ASSERT_EQ(byte, 0);
  EXPECT_TRUE(out.PaddingIntact());
}

// Output pixel (r, c) is the source's (r - sourceY, c - sourceX) where the
// source has it, transparent elsewhere; nothing outside either buffer's pixels
// is touched, whatever the strides.
TEST(GridComposition, TheBaseTakesTheSourceAtTheLayerPosition) {
  struct Case {
    std::int32_t sourceWidth, sourceHeight, sourceX, sourceY;
    bool flipped;
  };
  const Case cases[] = {{6, 4, 0, 0, false}, {3, 2, 0, 0, true},   {9, 7, -2, -1, false},
                        {4, 4, 3, 1, true},  {6, 4, 6, 0, false},  {6, 4, -6, 0, false},
                        {6, 4, 0, -4, true}, {6, 4, 40, 40, false}};
  for (const Case& c : cases) {
    TestImage<Pixel8> source(c.sourceWidth, c.sourceHeight, 2, c.flipped), out(6, 4, 3);
    for (std::int32_t r = 0; r < c.sourceHeight; ++r)
      for (std::int32_t col = 0; col < c.sourceWidth; ++col)
        source.at(r, col) = Pixel8{255, std::uint8_t(r), std::uint8_t(col), 7};
    out.Fill(Pixel8{9, 9, 9, 9});
    GridSettings s = Bare(kBlendCompositeOverSource);
    s.opacity = 0.0;
    const LayerPlacement placement{3.0, 2.0, c.sourceX, c.sourceY};
    ASSERT_EQ(RenderGrid<Pixel8>(&source.buffer(), out.buffer(), s, placement), kErrNone);
    for (std::int32_t r = 0; r < 4; ++r)
      for (std::int32_t col = 0; col < 6; ++col) {
        const std::int32_t sr = r - c.sourceY, sc = col - c.sourceX;
        const bool inside = sr >= 0 && sr < c.sourceHeight && sc >= 0 && sc < c.sourceWidth;
        const Pixel8 expected = inside ? source.at(sr, sc) : Pixel8{};
        EXPECT_EQ(std::bit_cast<std::uint32_t>(out.at(r, col)),
                  std::bit_cast<std::uint32_t>(expected))
            << c.sourceX << "," << c.sourceY << " at " << r << "," << col;
      }
    EXPECT_TRUE(out.PaddingIntact());
    EXPECT_TRUE(source.PaddingIntact());
  }
}

// A layer without pixels is an ordinary, transparent frame; only an output
// with pixels to draw and no memory for them is an error.
TEST(GridComposition, MissingPixels) {
  TestImage<Pixel8> out(4, 4), empty(4, 0);
  PixelBuffer noData = out.buffer();
  noData.data = nullptr;
  for (std::int32_t mode : {kBlendCompositeOverSource, 3, -1}) {
    const GridSettings s = Bare(mode);
    for (const PixelBuffer* source : {static_cast<const PixelBuffer*>(nullptr),
                                      static_cast<const PixelBuffer*>(&noData), &empty.buffer()}) {
      out.Fill(Pixel8{1, 2, 3, 4});
      EXPECT_EQ(Render<Pixel8>(source, out.buffer(), s), kErrNone);
      EXPECT_EQ(out.at(0, 0).alpha, 0);
      EXPECT_EQ(out.at(0, 0).green, 0);
    }
    EXPECT_EQ(Render<Pixel8>(&out.buffer(), noData, s), kErrBadCallbackParam);
  }
  EXPECT_EQ(Render<Pixel8>(nullptr, noData, Bare(kBlendGridOnly)), kErrBadCallbackParam);
  PixelBuffer noRows = noData;
  noRows.height = 0;
  EXPECT_EQ(Render<Pixel8>(nullptr, noRows, Bare(kBlendCompositeOverSource)), kErrNone);
}

// Pixels hold straight color: a line drawn over transparency keeps its color
// and only its alpha shows the coverage and opacity.
TEST(GridComposition, LinesOverTransparencyKeepTheirColor) {
  struct Case {
    std::int32_t mode;
    double opacity;
    Pixel8 base, expected;
  };
  const Case cases[] = {
      {kBlendGridOnly, 0.5, Pixel8{}, Pixel8{128, 255, 255, 255}},
      {kBlendCompositeOverSource, 1.0, Pixel8{0, 10, 200, 30}, Pixel8{255, 255, 255, 255}},
      // alpha 0.2 * 0.6 + 0.4 = 0.52; color (0.2 * 0.6 * 0 + 0.4) / 0.52
      {kBlendCompositeOverSource, 0.4, Pixel8{51, 0, 0, 0}, Pixel8{133, 196, 196, 196}},
      {kBlendCompositeOverSource, 0.4, Pixel8{255, 0, 0, 0}, Pixel8{255, 102, 102, 102}},
  };
  for (const Case& c : cases) {
    // One white line fully over column 0 (an outer line at 0.5), the center
    // cross invisible.
    TestImage<Pixel8> source(5, 3), out(5, 3);
    source.Fill(c.base);
    GridSettings s = Bare(c.mode);
    s.opacity = c.opacity;
    s.centerColor.alpha = 0.0;
    s.xCount = 1;
    s.xSpacing = 2.0;
    s.colors[0] = kWhite;
    ASSERT_EQ(Render<Pixel8>(&source.buffer(), out.buffer(), s), kErrNone);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(out.at(1, 0)), std::bit_cast<std::uint32_t>(c.expected))
        << int(out.at(1, 0).alpha) << " " << int(out.at(1, 0).red);
  }
}

}  // namespace
}  // namespace tessaline
