// Every blend kernel, at every level this machine has, against the literal
// per-pixel blend of tests/support/ReferenceGrid.h, to the bit: 8-bit pixels
// with every channel value under every alpha, 16-bit and float pixels with
// the edge values of their range, each in runs of every length the kernels
// split differently.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/Kernels.h"
#include "core/SpanBlend.h"
#include "core/TableBlend8.h"
#include "tests/support/PixelTypes.h"
#include "tests/support/ReferenceGrid.h"

namespace tessaline {
namespace {

// Line strengths as the plan makes them (coverage x opacity x color alpha):
// the extremes, which 8-bit blends fill or leave, and values between, where
// 8-bit blends are fixed-point lines or tables.
constexpr double kStrengths[] = {1.0, 1e-9, 1.0 / 255.0, 0.25, 1.0 / 3.0, 0.5, 0.7071, 0.999};
const GridColor kColors[] = {{1.0, 1.0, 1.0, 1.0},
                             {0.0, 0.0, 0.0, 1.0},
                             {0.2, 0.6, 0.9, 0.5},
                             {1.0 / 255.0, 254.0 / 255.0, 0.5, 1.0}};

// Each pixel twice: among pixels of the same alpha (long opaque runs), and
// among pixels of every other alpha, each after 0 to 4 opaque ones, so that
// groups of pixels blended together mix opaque and other pixels every way.
template <typename Pixel, typename Channel, typename Colors>
std::vector<Pixel> EveryAlphaOver(const std::vector<Channel>& alphas, const Colors& colors) {
  std::vector<Pixel> pixels;
  for (Channel a : alphas)
    for (const auto& c : colors) pixels.push_back(Pixel{a, c[0], c[1], c[2]});
  for (const auto& c : colors)
    for (std::size_t i = 0; i < alphas.size(); ++i) {
      pixels.insert(pixels.end(), i % 5, Pixel{PixelTraits<Pixel>::kFullScale, c[0], c[1], c[2]});
      pixels.push_back(Pixel{alphas[i], c[0], c[1], c[2]});
    }
  return pixels;
}

std::vector<Pixel8> AllPixels8() {
  std::vector<std::uint8_t> alphas;
  std::vector<std::array<std::uint8_t, 3>> colors;
  for (int v = 0; v < 256; ++v) {
    alphas.push_back(std::uint8_t(v));
    colors.push_back({std::uint8_t(v), std::uint8_t(255 - v), std::uint8_t(v ^ 0x5A)});
  }
  return EveryAlphaOver<Pixel8>(alphas, colors);
}

template <typename Pixel, typename Channel>
std::vector<Pixel> EdgePixels(const std::vector<Channel>& values) {
  std::vector<std::array<Channel, 3>> colors;
  for (Channel r : values)
    for (Channel g : values)
      for (Channel b : values) colors.push_back({r, g, b});
  return EveryAlphaOver<Pixel>(values, colors);
}

template <typename Pixel>
std::vector<Pixel> TestPixels() {
  if constexpr (sizeof(Pixel) == 4) {
    return AllPixels8();
  } else if constexpr (sizeof(Pixel) == 8) {
    return EdgePixels<Pixel16, std::uint16_t>({0, 1, 16384, 32767, 32768, 32769, 65535});
  } else {
    constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
    return EdgePixels<PixelFloat, float>({0.0f, -0.0f, 1.0f, 0.5f, 1.5f, -0.25f, 1e30f,
                                          std::numeric_limits<float>::infinity(), kNan,
                                          std::numeric_limits<float>::denorm_min()});
  }
}

// The blends that the drawer may make for a depth: the span blend at every
// level available, and at 8 bits the table blend.
template <typename Pixel, typename Check>
void ForEachKernel(const BlendTerms& terms, Check&& check) {
  if constexpr (std::is_same_v<Pixel, Pixel8>) {
    ChannelTables8 tables;
    const TableBlend8 table = TableBlend8::Fill(terms, tables);
    check("table", [&](Pixel8* p, std::int32_t n) { table.Apply(p, n); });
  }
  for (const IsaLevel level : AvailableIsas()) {
    const SpanBlend<Pixel> blend(terms, KernelsFor(level));
    check(IsaName(level), [&](Pixel* p, std::int32_t n) { blend.Apply(p, n); });
  }
}

template <typename Pixel>
class BlendKernels : public ::testing::Test {};
TYPED_TEST_SUITE(BlendKernels, test::PixelTypes);

TYPED_TEST(BlendKernels, MatchTheLiteralBlendToTheBit) {
  using Pixel = TypeParam;
  const std::vector<Pixel> start = TestPixels<Pixel>();
  for (const GridColor& color : kColors) {
    for (const double strength : kStrengths) {
      const double x = strength * color.alpha;
      std::vector<Pixel> expected = start;
      for (Pixel& p : expected) reference::Blend(p, color, x);
      ForEachKernel<Pixel>(TermsOf(color, x), [&](const char* kernel, auto apply) {
        // Runs of 1 to 19 pixels in turn, then the whole set as one run.
        std::vector<Pixel> runs = start, whole = start;
        for (std::size_t i = 0, n = 1; i < runs.size(); i += n, n = n % 19 + 1)
          apply(runs.data() + i, std::int32_t(std::min(n, runs.size() - i)));
        apply(whole.data(), std::int32_t(whole.size()));
        for (const std::vector<Pixel>* got : {&runs, &whole})
          for (std::size_t i = 0; i < start.size(); ++i)
            ASSERT_EQ(std::memcmp(&(*got)[i], &expected[i], sizeof(Pixel)), 0)
                << kernel << ", strength " << strength << ", pixel " << i
                << (got == &runs ? " in short runs" : " in one run");
      });
    }
  }
}

}  // namespace
}  // namespace tessaline

namespace tessaline {
namespace {

// Run on its own with TESSALINE_MAX_ISA set (tests/core/CMakeLists.txt):
// the level first put in force is the machine's widest, capped by it.
TEST(KernelLevel, FirstInForceIsTheWidestUnderTheCap) {
  const char* cap = std::getenv("TESSALINE_MAX_ISA");
  IsaLevel expected = AvailableIsas().back();  // no cap, a cap above it, or not a level's name
  for (const IsaLevel level : AvailableIsas())
    if (cap != nullptr && std::string_view(cap) == IsaName(level)) expected = level;
  EXPECT_EQ(ActiveIsa(), expected) << (cap != nullptr ? cap : "no cap");
}

}  // namespace
}  // namespace tessaline
