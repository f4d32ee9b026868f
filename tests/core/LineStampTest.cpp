#include "core/LineStamp.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>

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

TEST(BlendPixel, EightBitRoundsHalfAwayFromZero) {
  Pixel8 p{0, 0, 0, 0};
  BlendPixel8(p, GridColor{1, 1, 1, 1}, 0.5);
  EXPECT_EQ(p.alpha, 128);
  EXPECT_EQ(p.red, 255);  // straight color over transparency: the line's own
  EXPECT_EQ(p.green, 255);

  Pixel8 q{255, 100, 0, 0};
  BlendPixel8(q, GridColor{1, 0, 0, 1}, 0.2);
  EXPECT_EQ(q.red, 131);

  Pixel8 r{7, 200, 0, 0};
  BlendPixel8(r, GridColor{0, 0, 0, 1}, 1.0);
  EXPECT_EQ(r.red, 0);
  EXPECT_EQ(r.alpha, 255);
}

TEST(BlendPixel, SixteenBitFullScaleIs32768) {
  Pixel16 p{32768, 32768, 0, 0};
  BlendPixel16(p, GridColor{0, 0, 0, 1}, 0.25);
  EXPECT_EQ(p.red, 24576);
  EXPECT_EQ(p.alpha, 32768);

  // Values above full scale are brought back to 32768, never past it.
  Pixel16 q{65535, 65535, 40000, 0};
  BlendPixel16(q, GridColor{1, 0, 0, 1}, 0.5);
  EXPECT_EQ(q.alpha, 32768);
  EXPECT_EQ(q.red, 32768);
  EXPECT_EQ(q.green, 20000);
}

TEST(BlendPixel, FloatIsNotClamped) {
  PixelFloat p{2.0f, 2.0f, 0.25f, 0.0f};
  BlendPixelFloat(p, GridColor{1, 0, 0, 1}, 0.5);
  EXPECT_EQ(p.red, 1.5f);
  EXPECT_EQ(p.green, 0.125f);
  EXPECT_EQ(p.alpha, 1.5f);
}

TEST(BlendPixel, WeightsOutsideZeroToOneStayInRange) {
  Pixel8 p{255, 255, 0, 0};
  BlendPixel8(p, GridColor{0, 1, 0, 1}, 1e300);
  EXPECT_EQ(p.red, 0);
  EXPECT_EQ(p.green, 255);
  Pixel8 q{255, 255, 0, 0};
  BlendPixel8(q, GridColor{0, 1, 0, 1}, std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(q.red, 0);
  EXPECT_EQ(q.green, 0);
}

template <typename Pixel>
class Stamp : public ::testing::Test {};
using PixelTypes = ::testing::Types<Pixel8, Pixel16, PixelFloat>;
TYPED_TEST_SUITE(Stamp, PixelTypes);

TYPED_TEST(Stamp, VerticalLineCoversTwoColumnsAtHalfStrength) {
  TestImage<TypeParam> image(20, 3, 2);
  StampVerticalLine<TypeParam>(image.buffer(), 10.0, 1.0, GridColor{1, 1, 1, 1}, 1.0);
  for (std::int32_t r = 0; r < 3; ++r)
    for (std::int32_t c = 0; c < 20; ++c) {
      TypeParam expected{};
      if (c == 9 || c == 10) BlendPixel(expected, GridColor{1, 1, 1, 1}, 0.5);
      EXPECT_EQ(image.at(r, c).alpha, expected.alpha) << r << "," << c;
      EXPECT_EQ(image.at(r, c).red, expected.red) << r << "," << c;
    }
  EXPECT_TRUE(image.PaddingIntact());
}

TYPED_TEST(Stamp, WeightIsCoverageTimesOpacityTimesAlpha) {
  TestImage<TypeParam> image(4, 4);
  StampHorizontalLine<TypeParam>(image.buffer(), 1.5, 1.0, GridColor{1, 0, 0, 0.5}, 0.5);
  TypeParam expected{};
  BlendPixel(expected, GridColor{1, 0, 0, 1}, 0.25);
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
  StampVerticalLine<TypeParam>(image.buffer(), 3.0, 4.0, GridColor{0, 1, 0, 0}, 1.0);
  StampHorizontalLine<TypeParam>(image.buffer(), 3.0, 4.0, GridColor{0, 1, 0, 0}, 1.0);
  for (std::int32_t r = 0; r < 6; ++r)
    for (std::int32_t c = 0; c < 6; ++c) {
      EXPECT_EQ(image.at(r, c).red, 3);
      EXPECT_EQ(image.at(r, c).alpha, 0);
    }
}

TYPED_TEST(Stamp, LeftEdgeLineWritesNothingOutsideTheRows) {
  TestImage<TypeParam> image(5, 2, 3, true);
  StampVerticalLine<TypeParam>(image.buffer(), 0.0, 3.0, GridColor{1, 1, 1, 1}, 1.0);
  TypeParam full{}, half{};
  BlendPixel(full, GridColor{1, 1, 1, 1}, 1.0);
  BlendPixel(half, GridColor{1, 1, 1, 1}, 0.5);
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
    StampVerticalLine<TypeParam>(image.buffer(), p, 20.0, GridColor{1, 1, 1, 1}, 1.0);
    StampHorizontalLine<TypeParam>(image.buffer(), p, 20.0, GridColor{1, 1, 1, 1}, 1.0);
    for (std::int32_t r = 0; r < 8; ++r)
      for (std::int32_t c = 0; c < 8; ++c) EXPECT_EQ(image.at(r, c).alpha, 0) << p;
    EXPECT_TRUE(image.PaddingIntact()) << p;
  }
}

TYPED_TEST(Stamp, EmptyBuffersGetNothing) {
  const std::int32_t sizes[][2] = {{0, 5}, {5, 0}, {-3, 4}, {4, -3}};
  for (const auto& size : sizes) {
    TestImage<TypeParam> image(size[0], size[1]);
    StampVerticalLine<TypeParam>(image.buffer(), 0.5, 3.0, GridColor{1, 1, 1, 1}, 1.0);
    StampHorizontalLine<TypeParam>(image.buffer(), 0.5, 3.0, GridColor{1, 1, 1, 1}, 1.0);
    EXPECT_TRUE(image.PaddingIntact());
  }
}

}  // namespace
}  // namespace tessaline
