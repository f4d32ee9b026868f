// The optimised passes against the literal algorithm of tests/support/ReferenceGrid.h,
// to the bit, on random frames, placements and settings, over opaque and
// translucent sources: every byte of every row (pixels and padding) and the
// result code must agree.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "core/GridComposition.h"
#include "core/Kernels.h"
#include "tests/support/PixelTypes.h"
#include "tests/support/ReferenceGrid.h"
#include "tests/support/TestImage.h"

namespace tessaline {
namespace {

using test::TestImage;

template <typename Pixel>
class GridCompositionDifferential : public ::testing::Test {};
TYPED_TEST_SUITE(GridCompositionDifferential, test::PixelTypes);

using Rng = std::mt19937;

double Uniform(Rng& rng, double lo, double hi) {
  return std::uniform_real_distribution<double>(lo, hi)(rng);
}
int Between(Rng& rng, int lo, int hi) {
  return std::uniform_int_distribution<int>(lo, hi)(rng);
}
bool Chance(Rng& rng, double p) {
  return Uniform(rng, 0.0, 1.0) < p;
}

GridColor RandomColor(Rng& rng) {
  GridColor c = UnpackColor(PackedColor(rng()));
  if (Chance(rng, 0.3)) c.alpha = 1.0;
  return c;
}

// A width or spacing that is sometimes whole or half, to hit exact coverage
// boundaries, and otherwise any value in the range.
double RandomLength(Rng& rng, double lo, double hi) {
  const int kind = Between(rng, 0, 3);
  if (kind == 0) return std::round(Uniform(rng, lo, hi));
  if (kind == 1) return std::round(Uniform(rng, lo, hi) * 2.0) * 0.5;
  return Uniform(rng, lo, hi);
}

enum class Profile { kTypical, kDense, kMarginFrame, kUnresolved, kSparse };

// Settings as ResolveGridSettings gives them, except kUnresolved: values past
// every clamp (more lines than the counts allow, opacity above 1, colors
// outside 0 to 1), which the passes must draw exactly as the literal
// algorithm does all the same.
GridSettings RandomSettings(Rng& rng, Profile profile) {
  GridSettings s;
  s.preset = profile == Profile::kMarginFrame ? kPresetMarginFrame : Between(rng, 1, 17);
  if (s.preset == kPresetMarginFrame && profile != Profile::kMarginFrame) s.preset = 1;
  s.blendMode = Chance(rng, 0.45)  ? kBlendGridOnly
                : Chance(rng, 0.8) ? kBlendCompositeOverSource
                                   : 3;
  const double maxSpacing = profile == Profile::kDense    ? 6.0
                            : profile == Profile::kSparse ? 900.0
                                                          : 40.0;
  s.xSpacing = Chance(rng, 0.15) ? 1.0 : RandomLength(rng, 1.0, maxSpacing);
  s.ySpacing = Chance(rng, 0.15) ? 1.0 : RandomLength(rng, 1.0, maxSpacing);
  const int maxCount = profile == Profile::kTypical  ? 30
                       : profile == Profile::kSparse ? 3
                                                     : kMaxLineCount;
  s.xCount = Chance(rng, 0.2) ? maxCount : Between(rng, 0, maxCount);
  s.yCount = Chance(rng, 0.2) ? maxCount : Between(rng, 0, maxCount);
  if (s.preset == kPresetMarginFrame) {
    s.xCount = std::max(s.xCount, kMarginFrameMinCount);
    s.yCount = std::max(s.yCount, kMarginFrameMinCount);
  }
  s.lineWidth = Chance(rng, 0.1) ? kMinLineWidth : RandomLength(rng, kMinLineWidth, kMaxLineWidth);
  s.centerLineWidth =
      Chance(rng, 0.1) ? kMaxLineWidth : RandomLength(rng, kMinLineWidth, kMaxLineWidth);
  s.opacity = Chance(rng, 0.25) ? 1.0 : Chance(rng, 0.1) ? 0.0 : Uniform(rng, 0.0, 1.0);
  s.outerColorCount = Between(rng, 1, 4);
  s.centerColor = RandomColor(rng);
  for (int k = 0; k < kColorSlotCount; ++k) {
    s.colors[k] = RandomColor(rng);
    s.useColor[k] = k < s.outerColorCount && Chance(rng, 0.85);
  }
  if (profile == Profile::kUnresolved) {
    s.xCount = Between(rng, 150, 400);
    s.yCount = Between(rng, 0, 400);
    s.xSpacing = Uniform(rng, 0.3, 3.0);
    s.lineWidth = Uniform(rng, 0.01, 40.0);
    s.opacity = Uniform(rng, 0.5, 1.5);
    s.outerColorCount = Between(rng, -1, 6);
    s.centerColor.red = Uniform(rng, -0.5, 1.5);
    s.colors[0].green = Uniform(rng, -0.5, 1.5);
    s.colors[1].alpha = Uniform(rng, 0.5, 1.5);
  }
  return s;
}

// Channel values across the whole range the host can hand over: 16-bit
// words above 32768 up to 65535, float values outside 0 to 1 and a few
// special floats.
template <typename Pixel>
auto RandomChannel(Rng& rng) {
  if constexpr (sizeof(Pixel) == 4) {
    return std::uint8_t(Between(rng, 0, 255));
  } else if constexpr (sizeof(Pixel) == 8) {
    return std::uint16_t(Chance(rng, 0.2) ? Between(rng, 32769, 65535) : Between(rng, 0, 32768));
  } else {
    constexpr float kSpecial[] = {0.0f,
                                  -0.0f,
                                  1.0f,
                                  1e30f,
                                  -3e5f,
                                  std::numeric_limits<float>::denorm_min(),
                                  std::numeric_limits<float>::infinity(),
                                  std::numeric_limits<float>::quiet_NaN()};
    if (Chance(rng, 0.02)) return kSpecial[Between(rng, 0, 7)];
    return float(Uniform(rng, -0.5, 1.5));
  }
}

// An alpha at or above full scale: the opaque blends.
template <typename Pixel>
auto OpaqueAlpha(Rng& rng) {
  if constexpr (sizeof(Pixel) == 4)
    return std::uint8_t(255);
  else if constexpr (sizeof(Pixel) == 8)
    return std::uint16_t(Chance(rng, 0.7) ? 32768 : Between(rng, 32769, 65535));
  else
    return Chance(rng, 0.8) ? 1.0f : float(Uniform(rng, 1.0, 3.0));
}

// Sources as layers hold them: opaque, with translucent and transparent
// pixels among opaque ones, transparent (color kept under alpha 0), or any.
enum class Alphas { kOpaque, kMostlyOpaque, kTransparent, kAny };

template <typename Pixel>
void FillRandom(TestImage<Pixel>& image, Rng& rng, Alphas alphas = Alphas::kAny) {
  for (std::int32_t r = 0; r < image.height(); ++r)
    for (std::int32_t c = 0; c < image.width(); ++c) {
      Pixel& p = image.at(r, c);
      p = Pixel{RandomChannel<Pixel>(rng), RandomChannel<Pixel>(rng), RandomChannel<Pixel>(rng),
                RandomChannel<Pixel>(rng)};
      if (alphas == Alphas::kOpaque || (alphas == Alphas::kMostlyOpaque && Chance(rng, 0.8)))
        p.alpha = OpaqueAlpha<Pixel>(rng);
      else if (alphas == Alphas::kTransparent)
        p.alpha = 0;
    }
}

// Where the layer lies in the output: mostly the output is the layer; else a
// window onto it (the center anywhere near or outside, whole and half
// positions included) with the source offset either way, often only
// vertically, so that whole rows of source follow rows of none.
LayerPlacement RandomPlacement(Rng& rng, const PixelBuffer& out) {
  if (Chance(rng, 0.4)) return CenteredPlacement(out);
  const auto position = [&](std::int32_t size) {
    const double p = Uniform(rng, -0.5 * size - 3, 1.5 * size + 3);
    return Chance(rng, 0.5) ? std::round(p * 2.0) * 0.5 : p;
  };
  const std::int32_t sourceX = Chance(rng, 0.3) ? 0 : Between(rng, -6, 6);
  return LayerPlacement{position(out.width), position(out.height), sourceX, Between(rng, -6, 6)};
}

// Every byte of every row's stride: the pixels, and the padding that a copy
// may reach and a clear must not.
template <typename Pixel>
std::vector<std::uint8_t> StrideBytes(const TestImage<Pixel>& image) {
  const PixelBuffer& b = image.buffer();
  const std::size_t stride = std::size_t(b.rowbytes < 0 ? -b.rowbytes : b.rowbytes);
  std::vector<std::uint8_t> bytes;
  for (std::int32_t r = 0; r < b.height; ++r) {
    const auto* row = reinterpret_cast<const std::uint8_t*>(RowAddress(b, r));
    bytes.insert(bytes.end(), row, row + stride);
  }
  return bytes;
}

struct Shape {
  std::int32_t width, height, padding;
  bool flipped;
};

// Tiny frames (1 x 1 included), odd and even ones, and wide short ones whose
// rows are long enough for the 8-bit pass to blend them through tables.
Shape RandomShape(Rng& rng, int trial) {
  Shape shape{};
  switch (trial % 4) {
    case 0:
      shape.width = Between(rng, 1, 4);
      shape.height = Between(rng, 1, 4);
      break;
    case 1:
    case 2:
      shape.width = Between(rng, 5, 70);
      shape.height = Between(rng, 5, 70);
      break;
    default:
      shape.width = Between(rng, 250, 600);
      shape.height = Between(rng, 1, 8);
      break;
  }
  shape.padding = Between(rng, 0, 3);
  shape.flipped = Chance(rng, 0.4);
  return shape;
}

constexpr Profile kProfiles[] = {Profile::kTypical,     Profile::kTypical,    Profile::kDense,
                                 Profile::kMarginFrame, Profile::kUnresolved, Profile::kSparse};
constexpr int kTrialsPerDepth = 1500;

// One random frame of `shape`, rendered by the pass at every level, and by
// the literal algorithm. Half the frames are written as frames above the
// streaming threshold are, unless `threshold` says where it lies.
template <typename Pixel>
void ExpectLiteralFrame(Rng& rng, int trial, const Shape& shape, Profile profile,
                        std::int32_t blendMode = 0, std::size_t threshold = 0) {
  // Mostly a source of the output's shape; sometimes shorter, taller,
  // narrower or wider, so that it covers only part of the output.
  Shape sourceShape = shape;
  if (Chance(rng, 0.25)) {
    sourceShape.width = std::max(1, shape.width + Between(rng, -3, 3));
    sourceShape.height = std::max(0, shape.height + Between(rng, -3, 3));
    sourceShape.padding = Between(rng, 0, 3);
  }
  sourceShape.flipped = Chance(rng, 0.5);
  GridSettings s = RandomSettings(rng, profile);
  if (blendMode != 0) {
    // Large frames: their lines, centered, choose how the frame is drawn.
    s.blendMode = blendMode;
    s.opacity = std::max(s.opacity, 0.25);
    s.outerColorCount = std::max(s.outerColorCount, 1);
    s.useColor[0] = true;
    if (profile == Profile::kDense) s.xCount = kMaxLineCount;
  }
  const auto alphas = Alphas(Between(rng, 0, 3));

  TestImage<Pixel> source(sourceShape.width, sourceShape.height, sourceShape.padding,
                          sourceShape.flipped);
  FillRandom(source, rng, alphas);
  const PixelBuffer* sourceBuffer = Chance(rng, 0.05) ? nullptr : &source.buffer();
  TestImage<Pixel> slow(shape.width, shape.height, shape.padding, shape.flipped);
  FillRandom(slow, rng);

  const LayerPlacement place =
      blendMode != 0 ? CenteredPlacement(slow.buffer()) : RandomPlacement(rng, slow.buffer());
  // Each level renders over the same first pixels.
  std::vector<TestImage<Pixel>> fast;
  for (std::size_t k = 0; k < AvailableIsas().size(); ++k) {
    fast.emplace_back(shape.width, shape.height, shape.padding, shape.flipped);
    for (std::int32_t r = 0; r < shape.height; ++r)
      for (std::int32_t c = 0; c < shape.width; ++c) fast.back().at(r, c) = slow.at(r, c);
  }
  const int expected = reference::RenderGrid<Pixel>(sourceBuffer, slow.buffer(), s, place);
  SetStreamingThreshold(threshold != 0 ? threshold : Chance(rng, 0.5) ? 1 : 0);
  for (std::size_t k = 0; k < fast.size(); ++k) {
    const IsaLevel level = ForceIsa(AvailableIsas()[k]);
    ASSERT_EQ(RenderGrid<Pixel>(sourceBuffer, fast[k].buffer(), s, place), expected)
        << "trial " << trial << " at " << IsaName(level);
    ASSERT_EQ(StrideBytes(fast[k]), StrideBytes(slow))
        << "trial " << trial << " at " << IsaName(level);
  }
  SetStreamingThreshold(0);
}

TYPED_TEST(GridCompositionDifferential, MatchesTheLiteralAlgorithmToTheBit) {
  using Pixel = TypeParam;
  Rng rng(20261208u + sizeof(Pixel));
  for (int trial = 0; trial < kTrialsPerDepth; ++trial) {
    ExpectLiteralFrame<Pixel>(rng, trial, RandomShape(rng, trial),
                              kProfiles[trial % std::size(kProfiles)]);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// Frames at the streaming threshold and just below it: with few lines
// (rows written from the source and stretches; in "Grid Only", from one
// plain row) and with many (bands in place).
TYPED_TEST(GridCompositionDifferential, FramesAcrossTheStreamingThreshold) {
  using Pixel = TypeParam;
  Rng rng(4242u + sizeof(Pixel));
  for (int trial = 0; trial < 6; ++trial) {
    const Shape shape{Between(rng, 600, 700), Between(rng, 100, 140), trial % 3, trial == 1};
    const std::size_t frameBytes = std::size_t(shape.width) * sizeof(Pixel) * shape.height;
    ExpectLiteralFrame<Pixel>(rng, trial, shape, trial < 4 ? Profile::kSparse : Profile::kDense,
                              trial % 2 ? kBlendGridOnly : kBlendCompositeOverSource,
                              frameBytes + std::size_t(trial % 2));
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// Lines at full strength over whole pixels, streamed: the stretches they
// touch are made once and merged with each row, which for floats holds only
// where the source is finite; here infinities and not-a-numbers lie under
// them.
TYPED_TEST(GridCompositionDifferential, FullStrengthLinesOverAnySource) {
  using Pixel = TypeParam;
  Rng rng(515u + sizeof(Pixel));
  for (int trial = 0; trial < 8; ++trial) {
    GridSettings s;
    s.blendMode = trial % 4 == 3 ? kBlendGridOnly : kBlendCompositeOverSource;
    s.xSpacing = s.ySpacing = Between(rng, 12, 40);
    s.xCount = s.yCount = 6;
    s.lineWidth = Between(rng, 1, 3);
    s.centerLineWidth = 2.0;
    s.outerColorCount = kColorSlotCount;
    for (int k = 0; k < kColorSlotCount; ++k) s.useColor[k] = true;
    const Shape shape{Between(rng, 300, 400), 24, trial % 3, trial % 2 == 1};
    TestImage<Pixel> source(shape.width, shape.height, 0, false);
    FillRandom(source, rng);
    if constexpr (sizeof(Pixel) == 16) {
      constexpr float kSpecial[] = {std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity(),
                                    std::numeric_limits<float>::quiet_NaN()};
      for (std::int32_t r = 0; r < shape.height; ++r)
        for (std::int32_t c = 0; c < shape.width; ++c)
          if (Chance(rng, 0.05))
            (&source.at(r, c).alpha)[Between(rng, 0, 3)] = kSpecial[Between(rng, 0, 2)];
    }
    TestImage<Pixel> slow(shape.width, shape.height, shape.padding, shape.flipped);
    const LayerPlacement place = CenteredPlacement(slow.buffer());
    const int expected = reference::RenderGrid<Pixel>(&source.buffer(), slow.buffer(), s, place);
    SetStreamingThreshold(1);
    for (const IsaLevel level : AvailableIsas()) {
      ForceIsa(level);
      TestImage<Pixel> fast(shape.width, shape.height, shape.padding, shape.flipped);
      ASSERT_EQ(RenderGrid<Pixel>(&source.buffer(), fast.buffer(), s, place), expected);
      ASSERT_EQ(StrideBytes(fast), StrideBytes(slow))
          << "trial " << trial << " at " << IsaName(level);
    }
    SetStreamingThreshold(0);
  }
}

// A block of memory and two views into it: the source and the output may
// overlap, and the output's rows may overlap each other. The pass must give
// the literal algorithm's bytes, which copies every row before drawing.
template <typename Pixel>
struct SharedMemory {
  std::vector<std::uint8_t> bytes;
  std::ptrdiff_t sourceOffset, outputOffset;
  std::int32_t sourceRowbytes, outputRowbytes, width, height;

  PixelBuffer View(std::vector<std::uint8_t>& memory, std::ptrdiff_t offset,
                   std::int32_t rowbytes) const {
    return PixelBuffer{memory.data() + offset, rowbytes, width, height};
  }
};

// `trials` frames of `least` to `most` pixels a side, each laid out in its
// block of memory, with its settings, by lay(rng, trial, memory, settings).
template <typename Pixel, typename Lay>
void ExpectLiteralResults(std::uint32_t seed, int trials, std::int32_t least, std::int32_t most,
                          Lay&& lay) {
  Rng rng(seed + sizeof(Pixel));
  for (int trial = 0; trial < trials; ++trial) {
    SharedMemory<Pixel> m{};
    m.width = Between(rng, least, most);
    m.height = Between(rng, least, most);
    GridSettings s;
    lay(rng, trial, m, s);
    std::vector<std::uint8_t> fast = m.bytes, slow = m.bytes;
    const PixelBuffer fastSource = m.View(fast, m.sourceOffset, m.sourceRowbytes);
    const PixelBuffer fastOutput = m.View(fast, m.outputOffset, m.outputRowbytes);
    const PixelBuffer slowSource = m.View(slow, m.sourceOffset, m.sourceRowbytes);
    const PixelBuffer slowOutput = m.View(slow, m.outputOffset, m.outputRowbytes);
    const int expected = reference::RenderGrid<Pixel>(&slowSource, slowOutput, s);
    ASSERT_EQ(RenderGrid<Pixel>(&fastSource, fastOutput, s, CenteredPlacement(fastOutput)),
              expected)
        << "trial " << trial;
    ASSERT_EQ(fast, slow) << "trial " << trial;
  }
}

TYPED_TEST(GridCompositionDifferential, SourceSharingBytesWithTheOutput) {
  using Pixel = TypeParam;
  ExpectLiteralResults<Pixel>(
      77u, 120, 1, 40, [](Rng& rng, int trial, SharedMemory<Pixel>& m, GridSettings& s) {
        const auto rowbytes = std::int32_t(m.width * sizeof(Pixel));
        m.sourceRowbytes = m.outputRowbytes = rowbytes;
        m.bytes.resize(std::size_t(rowbytes) * (m.height + 4));
        for (auto& byte : m.bytes) byte = std::uint8_t(rng());
        if constexpr (sizeof(Pixel) == 16) {  // keep the floats ordinary numbers
          for (std::size_t i = 0; i + 4 <= m.bytes.size(); i += 4) {
            const float v = float(Uniform(rng, -0.5, 1.5));
            std::memcpy(&m.bytes[i], &v, 4);
          }
        }
        // In place, or the source a few rows or bytes before or after the output.
        const int kind = trial % 3;
        if (kind == 1) m.sourceOffset = rowbytes * Between(rng, 1, 3);
        if (kind == 2)
          m.outputOffset = std::ptrdiff_t(sizeof(Pixel)) * Between(rng, 1, 2 * m.width);
        s = RandomSettings(rng, kProfiles[trial % 4]);
        s.blendMode = kBlendCompositeOverSource;
      });
}

TYPED_TEST(GridCompositionDifferential, OutputRowsSharingBytes) {
  using Pixel = TypeParam;
  ExpectLiteralResults<Pixel>(
      91u, 60, 2, 30, [](Rng& rng, int trial, SharedMemory<Pixel>& m, GridSettings& s) {
        const auto full = std::int32_t(m.width * sizeof(Pixel));
        // Rows that start inside the previous row, or all on the same bytes.
        const std::int32_t rowbytes =
            trial % 3 == 0 ? 0 : std::int32_t(sizeof(Pixel)) * Between(rng, 1, m.width - 1);
        m.sourceOffset = std::ptrdiff_t(full) * (m.height + 1);
        m.sourceRowbytes = full;
        m.outputRowbytes = trial % 2 ? rowbytes : -rowbytes;
        m.bytes.resize(std::size_t(full) * (2 * m.height + 2));
        if (m.outputRowbytes < 0)
          m.outputOffset = std::ptrdiff_t(-m.outputRowbytes) * (m.height - 1);
        for (std::size_t i = 0; i < m.bytes.size(); i += sizeof(Pixel)) {
          using Channel = decltype(Pixel{}.red);
          for (std::size_t k = 0; k < 4; ++k) {
            const auto v =
                Channel(sizeof(Pixel) == 16 ? Uniform(rng, 0.0, 1.0) : Between(rng, 0, 255));
            std::memcpy(&m.bytes[i + k * sizeof(Channel)], &v, sizeof(Channel));
          }
        }
        s = RandomSettings(rng, kProfiles[trial % 4]);
        if (trial % 2) s.blendMode = kBlendGridOnly;
      });
}

}  // namespace
}  // namespace tessaline
