#include "core/LineStamp.h"
#include "core/PixelBlend.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <map>

#include "tests/support/PixelTypes.h"
#include "tests/support/TestImage.h"

namespace tessaline {
namespace {

using test::TestImage;

struct CoverageCase {
  double width, position;
  std::map<std::int32_t, double> covered;  // every other index gets 0
};

TEST(LineCoverage, MatchesTheTable) {
  const CoverageCase cases[] = {
      {1.0, 10.0, {{9, 0.5}, {10, 0.5}}},
      {1.0, 10.5, {{10, 1.0}}},
      {2.0, 10.0, {{9, 1.0}, {10, 1.0}}},
      {2.0, 10.5, {{9, 0.5}, {10, 1.0}, {11, 0.5}}},
      {3.0, 10.0, {{8, 0.5}, {9, 1.0}, {10, 1.0}, {11, 0.5}}},
      {0.1, 10.5, {{10, 0.55}}},
      {3.0, 0.0, {{-2, 0.5}, {-1, 1.0}, {0, 1.0}, {1, 0.5}}},
  };
  for (const CoverageCase& c : cases) {
    for (std::int32_t k = -5; k <= 25; ++k) {
      const auto found = c.covered.find(k);
      const double expected = found == c.covered.end() ? 0.0 : found->second;
      EXPECT_DOUBLE_EQ(LineCoverage(k, c.position, c.width), expected)
          << "w " << c.width << " p " << c.position << " k " << k;
    }
  }
}

TEST(LineCoverage, NotANumberCoversNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(LineCoverage(3, nan, 2.0), 0.0);
  EXPECT_EQ(LineCoverage(3, 3.5, nan), 0.0);
}

struct WindowCase {
  double position, width;
  std::int32_t size, first, last;
};

TEST(LineWindow, IsClippedToTheAxisAndSafeForAnyPosition) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const WindowCase cases[] = {
      {10.0, 1.0, 100, 8, 12},   {0.0, 3.0, 100, 0, 3},    {99.5, 2.0, 100, 97, 99},
      {1e300, 1.0, 100, 99, 99}, {-1e300, 1.0, 100, 0, 0}, {inf, 1.0, 100, 99, 99},
      {-inf, 1.0, 100, 0, 0},    {nan, 1.0, 100, 0, -1},   {10.0, nan, 100, 0, -1},
      {10.0, 1.0, 0, 0, -1},     {10.0, 1.0, -4, 0, -1},   {0.5, 1.0, 1, 0, 0},
  };
  for (const WindowCase& c : cases) {
    const IndexWindow w = LineWindow(c.position, c.width, c.size);
    EXPECT_EQ(w.first, c.first) << "p " << c.position << " size " << c.size;
    EXPECT_EQ(w.last, c.last) << "p " << c.position << " size " << c.size;
  }
}

template <typename Pixel>
struct BlendCase {
  Pixel before;
  GridColor color;
  double weight;
  Pixel after;
};

template <typename Pixel, std::size_t kCount>
void ExpectBlends(const BlendCase<Pixel> (&cases)[kCount],
                  void (*blend)(Pixel&, const GridColor&, double)) {
  for (const BlendCase<Pixel>& c : cases) {
    Pixel p = c.before;
    blend(p, c.color, c.weight);
    EXPECT_EQ(std::memcmp(&p, &c.after, sizeof p), 0)
        << "weight " << c.weight << " gives " << +p.alpha << " " << +p.red << " " << +p.green << " "
        << +p.blue;
  }
}

TEST(BlendPixel, MatchesTheTable) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const BlendCase<Pixel8> eight[] = {
      // Straight color over transparency: the line's own; alpha 127.5 rounds up.
      {{0, 0, 0, 0}, {1, 1, 1, 1}, 0.5, {128, 255, 255, 255}},
      {{255, 100, 0, 0}, {1, 0, 0, 1}, 0.2, {255, 131, 0, 0}},
      {{7, 200, 0, 0}, {0, 0, 0, 1}, 1.0, {255, 0, 0, 0}},
      // Weights outside 0 to 1 stay in range.
      {{255, 255, 0, 0}, {0, 1, 0, 1}, 1e300, {0, 0, 255, 0}},
      {{255, 255, 0, 0}, {0, 1, 0, 1}, nan, {0, 0, 0, 0}},
  };
  ExpectBlends(eight, BlendPixel8);
  // Full scale is 32768; values above it come back to it, never past it.
  const BlendCase<Pixel16> sixteen[] = {
      {{32768, 32768, 0, 0}, {0, 0, 0, 1}, 0.25, {32768, 24576, 0, 0}},
      {{65535, 65535, 40000, 0}, {1, 0, 0, 1}, 0.5, {32768, 32768, 20000, 0}},
  };
  ExpectBlends(sixteen, BlendPixel16);
  // Floats are not limited.
  const BlendCase<PixelFloat> floats[] = {
      {{2.0f, 2.0f, 0.25f, 0.0f}, {1, 0, 0, 1}, 0.5, {1.5f, 1.5f, 0.125f, 0.0f}},
  };
  ExpectBlends(floats, BlendPixelFloat);
}

template <typename Pixel>
class Stamp : public ::testing::Test {};
TYPED_TEST_SUITE(Stamp, test::PixelTypes);

TYPED_TEST(Stamp, VerticalLineCoversTwoColumnsAtHalfStrength) {
  TestImage<TypeParam> image(20, 3, 2);
  StampLine<TypeParam>(image.buffer(), Axis::kVertical, 10.0, 1.0, GridColor{1, 1, 1, 1}, 1.0);
  for (std::int32_t r = 0; r < 3; ++r)
    for (std::int32_t c = 0; c < 20; ++c) {
      TypeParam expected{};
      if (c == 9 || c == 10) expected = BlendPixel(expected, TermsOf(GridColor{1, 1, 1, 1}, 0.5));
      EXPECT_EQ(image.at(r, c).alpha, expected.alpha) << r << "," << c;
      EXPECT_EQ(image.at(r, c).red, expected.red) << r << "," << c;
    }
  EXPECT_TRUE(image.PaddingIntact());
}

TYPED_TEST(Stamp, WeightIsCoverageTimesOpacityTimesAlpha) {
  TestImage<TypeParam> image(4, 4);
  StampLine<TypeParam>(image.buffer(), Axis::kHorizontal, 1.5, 1.0, GridColor{1, 0, 0, 0.5}, 0.5);
  TypeParam expected{};
  expected = BlendPixel(expected, TermsOf(GridColor{1, 0, 0, 1}, 0.25));
  for (std::int32_t c = 0; c < 4; ++c) {
    EXPECT_EQ(image.at(1, c).red, expected.red);
    EXPECT_EQ(image.at(1, c).alpha, expected.alpha);
    EXPECT_EQ(image.at(0, c).alpha, 0);
    EXPECT_EQ(image.at(2, c).alpha, 0);
  }
}

TYPED_TEST(Stamp, ZeroAlphaColorLeavesPixelsAsTheyWere) {
  TestImage<TypeParam> image(6, 6);
  TypeParam fill{};
  fill.red = 3;
  image.Fill(fill);
  StampLine<TypeParam>(image.buffer(), Axis::kVertical, 3.0, 4.0, GridColor{0, 1, 0, 0}, 1.0);
  StampLine<TypeParam>(image.buffer(), Axis::kHorizontal, 3.0, 4.0, GridColor{0, 1, 0, 0}, 1.0);
  for (std::int32_t r = 0; r < 6; ++r)
    for (std::int32_t c = 0; c < 6; ++c) {
      EXPECT_EQ(image.at(r, c).red, 3);
      EXPECT_EQ(image.at(r, c).alpha, 0);
    }
}

TYPED_TEST(Stamp, LeftEdgeLineWritesNothingOutsideTheRows) {
  TestImage<TypeParam> image(5, 2, 3, true);
  StampLine<TypeParam>(image.buffer(), Axis::kVertical, 0.0, 3.0, GridColor{1, 1, 1, 1}, 1.0);
  const TypeParam full = BlendPixel(TypeParam{}, TermsOf(GridColor{1, 1, 1, 1}, 1.0));
  const TypeParam half = BlendPixel(TypeParam{}, TermsOf(GridColor{1, 1, 1, 1}, 0.5));
  for (std::int32_t r = 0; r < 2; ++r) {
    EXPECT_EQ(image.at(r, 0).alpha, full.alpha);
    EXPECT_EQ(image.at(r, 1).alpha, half.alpha);
    EXPECT_EQ(image.at(r, 2).alpha, 0);
  }
  EXPECT_TRUE(image.PaddingIntact());
}

TYPED_TEST(Stamp, LinesFarOutsideOrNotANumberDrawNothing) {
  const double positions[] = {-1e300,
                              -50.0,
                              1e300,
                              std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN(),
                              57.0};
  for (double p : positions) {
    TestImage<TypeParam> image(8, 8, 1);
    StampLine<TypeParam>(image.buffer(), Axis::kVertical, p, 20.0, GridColor{1, 1, 1, 1}, 1.0);
    StampLine<TypeParam>(image.buffer(), Axis::kHorizontal, p, 20.0, GridColor{1, 1, 1, 1}, 1.0);
    for (std::int32_t r = 0; r < 8; ++r)
      for (std::int32_t c = 0; c < 8; ++c) EXPECT_EQ(image.at(r, c).alpha, 0) << p;
    EXPECT_TRUE(image.PaddingIntact()) << p;
  }
}

TYPED_TEST(Stamp, EmptyBuffersGetNothing) {
  const std::int32_t sizes[][2] = {{0, 5}, {5, 0}, {-3, 4}, {4, -3}};
  for (const auto& size : sizes) {
    TestImage<TypeParam> image(size[0], size[1]);
    StampLine<TypeParam>(image.buffer(), Axis::kVertical, 0.5, 3.0, GridColor{1, 1, 1, 1}, 1.0);
    StampLine<TypeParam>(image.buffer(), Axis::kHorizontal, 0.5, 3.0, GridColor{1, 1, 1, 1}, 1.0);
    EXPECT_TRUE(image.PaddingIntact());
  }
}

}  // namespace
}  // namespace tessaline
