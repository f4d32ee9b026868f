#include "tests/plugin/GoldenScenarios.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/ParamIndex.h"
#include "presets/PopupLabels.h"
#include "tests/support/PopupValues.h"

namespace tessaline::test {
namespace {

constexpr std::int32_t kThirds = Preset("Thirds");
constexpr std::int32_t kMarginFrame = Preset("Margin Frame");
constexpr std::int32_t kFineDraft = Preset("Fine Draft");
constexpr std::int32_t kFullHd = Resolution("1920x1080 Full HD");
constexpr std::int32_t kTwoColors = PopupValue(kOuterColorCountLabels, "2 Colors");
constexpr std::int32_t kThreeColors = PopupValue(kOuterColorCountLabels, "3 Colors");
constexpr std::int32_t kGridOnly = PopupValue(kBlendModeLabels, "Grid Only");
static_assert(kMarginFrame == kPresetMarginFrame && kGridOnly == kBlendGridOnly);

constexpr std::uint32_t Color(A_u_char alpha, A_u_char red, A_u_char green, A_u_char blue) {
  return PackPixel(PF_Pixel{alpha, red, green, blue});
}

// clang-format off
const std::array<GoldenScenario, 9> kScenarios = {{
    {"Custom Composite", 96, 64, Stride::kPacked, Source::kOpaque, false,
     {{kXSpacing, 11.25}, {kYSpacing, 9.5}, {kXCount, 4}, {kYCount, 3}, {kLineWidth, 1.5},
      {kCenterLineWidth, 3.25}}},
    {"Grid Only Odd Size", 101, 67, Stride::kPacked, Source::kOpaque, false,
     {{kBlendMode, kGridOnly}, {kXSpacing, 17.3}, {kYSpacing, 13.7}, {kXCount, 3}, {kYCount, 2},
      {kLineWidth, 0.7}, {kCenterLineWidth, 2.6}}},
    {"Thirds", 120, 68, Stride::kPacked, Source::kOpaque, false, {{kPreset, kThirds}}},
    {"Margin Frame Grid Only", 99, 75, Stride::kPacked, Source::kOpaque, false,
     {{kPreset, kMarginFrame}, {kBlendMode, kGridOnly}}},
    {"Fine Draft Full HD", 192, 108, Stride::kPacked, Source::kOpaque, false,
     {{kPreset, kFineDraft}, {kResolution, kFullHd}, {kOuterColorCount, kThreeColors},
      {kUseColor2, 0}}},
    {"Translucent", 80, 80, Stride::kPacked, Source::kTranslucent, false,
     {{kOpacity, 37.5}, {kCenterLineColor, Color(128, 255, 200, 0)},
      {kColor1, Color(64, 0, 128, 255)}, {kXSpacing, 7}, {kYSpacing, 7}, {kXCount, 6},
      {kYCount, 6}, {kLineWidth, 2.5}}},
    {"Padded Stride", 75, 41, Stride::kPadded, Source::kOpaque, false,
     {{kXSpacing, 9.75}, {kYSpacing, 6.5}, {kXCount, 5}, {kYCount, 4},
      {kOuterColorCount, kTwoColors}}},
    {"Negative Stride", 63, 47, Stride::kNegative, Source::kOpaque, false,
     {{kXSpacing, 8}, {kYSpacing, 8.5}, {kXCount, 4}, {kYCount, 3}, {kLineWidth, 1.25},
      {kCenterLineWidth, 1.75}, {kOpacity, 80}}},
    {"Half Resolution", 120, 68, Stride::kPacked, Source::kOpaque, true,
     {{kXSpacing, 20}, {kYSpacing, 15}, {kXCount, 4}, {kYCount, 3}, {kLineWidth, 3},
      {kCenterLineWidth, 4.5}}},
}};
// clang-format on

std::int32_t RowbytesFor(Stride stride, PixelDepth depth, std::int32_t width) {
  const std::int32_t rowBytes = width * PixelSize(depth);
  switch (stride) {
    case Stride::kPadded:
      return rowBytes + 40;
    case Stride::kNegative:
      return -(rowBytes + 16);
    case Stride::kPacked:
      break;
  }
  return 0;
}

// A well-mixed word per position and channel, the same on every compiler.
std::uint32_t Noise(std::int32_t row, std::int32_t col, std::uint32_t channel) {
  std::uint32_t h =
      std::uint32_t(row) * 73856093u ^ std::uint32_t(col) * 19349663u ^ (channel + 1u) * 83492791u;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return h;
}

A_u_char Channel8(std::uint32_t n) {
  return A_u_char(n & 0xFFu);
}
A_u_short Channel16(std::uint32_t n) {
  return A_u_short(n % (PF_MAX_CHAN16 + 1u));
}
// Mostly 0 to 1, with some values beyond both ends, which float worlds keep.
PF_FpShort ChannelFloat(std::uint32_t n) {
  return PF_FpShort(std::int32_t(n % 2401u) - 200) / 2000.0f;
}

template <typename Pixel, typename Make>
void FillPattern(World& world, std::uint32_t seed, Make make) {
  for (std::int32_t r = 0; r < world.height(); ++r) {
    for (std::int32_t c = 0; c < world.width(); ++c) {
      Pixel& p = world.At<Pixel>(r, c);
      p.alpha = make(Noise(r, c, seed));
      p.red = make(Noise(r, c, seed + 1));
      p.green = make(Noise(r, c, seed + 2));
      p.blue = make(Noise(r, c, seed + 3));
    }
  }
}

// Alpha at or above full scale, for opaque sources: above it in some pixels
// of the deeper worlds.
void MakeOpaque(World& w) {
  for (std::int32_t r = 0; r < w.height(); ++r)
    for (std::int32_t c = 0; c < w.width(); ++c) {
      if (w.depth() == PixelDepth::k8) w.At<PF_Pixel>(r, c).alpha = 255;
      if (w.depth() == PixelDepth::k16)
        w.At<PF_Pixel16>(r, c).alpha = A_u_short(32768 + (r * 7 + c) % 3);
      if (w.depth() == PixelDepth::kFloat)
        w.At<PF_PixelFloat>(r, c).alpha = 1.0f + float((r + c) % 2);
    }
}

// Seed 0 for the source, another for the output's stale contents.
void FillPattern(World& world, std::uint32_t seed) {
  switch (world.depth()) {
    case PixelDepth::k8:
      return FillPattern<PF_Pixel>(world, seed, Channel8);
    case PixelDepth::k16:
      return FillPattern<PF_Pixel16>(world, seed, Channel16);
    case PixelDepth::kFloat:
      return FillPattern<PF_PixelFloat>(world, seed, ChannelFloat);
  }
}

// As GoldenFrames.h spells it.
const char* DepthName(PixelDepth depth) {
  return depth == PixelDepth::k8 ? "k8" : depth == PixelDepth::k16 ? "k16" : "kFloat";
}

void ExpectHostBalanced(const MiniHost& host) {
  for (const GuardFailure& failure : host.Log().guardFailures) {
    ADD_FAILURE() << "command " << failure.cmd << " wrote outside the "
                  << (failure.output ? "output" : "input") << ": " << failure.report.Describe();
  }
  EXPECT_EQ(host.Log().CheckoutBalance(), 0);
  EXPECT_EQ(host.Log().SuiteImbalance(), 0);
  EXPECT_EQ(host.Log().badEffectRefs, 0);
  EXPECT_EQ(host.Log().preRenderKept, host.Log().preRenderDeleted);
}

}  // namespace

std::span<const GoldenScenario> GoldenScenarios() {
  return kScenarios;
}

std::vector<RenderedFrame> RenderGoldenScenario(EffectEntry entry, const GoldenScenario& scenario) {
  SCOPED_TRACE(std::string(scenario.name));
  // The layer's size is the "Current Size" reference of the presets.
  HostConfig config{.input = {PixelDepth::k8, scenario.width, scenario.height}};
  if (scenario.halfResolution) {
    config.downsample = {{1, 2}, {1, 2}};
    config.layerSize = {{2 * scenario.width, 2 * scenario.height}};
  }
  MiniHost host(entry, config);
  EXPECT_EQ(host.GlobalSetup(), PF_Err_NONE);
  EXPECT_EQ(host.ParamsSetup(), PF_Err_NONE);
  EXPECT_EQ(host.ParamCount(), kParamCount);
  for (const ControlChange& change : scenario.changes)
    EXPECT_EQ(host.SetValue(change.index, change.value), PF_Err_NONE) << change.index;
  EXPECT_EQ(host.UpdateParamsUI(), PF_Err_NONE);

  std::vector<RenderedFrame> frames;
  for (PixelDepth depth : kGoldenDepths) {
    for (RenderPath path : kGoldenPaths) {
      SCOPED_TRACE(std::string(DepthName(depth)) + " " + std::string(RenderPathName(path)));
      const std::int32_t rowbytes = RowbytesFor(scenario.stride, depth, scenario.width);
      config.input = {depth, scenario.width, scenario.height, rowbytes};
      config.output = config.input;
      host.Configure(config);
      FillPattern(host.Layer(), 0);
      if (scenario.source == Source::kOpaque) MakeOpaque(host.Layer());
      FillPattern(host.Output(), 4);
      const PF_Err err = host.Render(path);
      EXPECT_EQ(err, PF_Err_NONE);
      EXPECT_NE(host.Output().PackedPixels(), host.Layer().PackedPixels()) << "no grid drawn";
      frames.push_back({depth, path, Fnv1a(host.Output().PackedPixels())});
    }
  }
  ExpectHostBalanced(host);
  return frames;
}

void CheckGoldenFrames(EffectEntry entry) {
  const bool print = std::getenv("TESSALINE_PRINT_GOLDEN_FRAMES") != nullptr;
  std::size_t rendered = 0;
  for (const GoldenScenario& scenario : GoldenScenarios()) {
    const std::vector<RenderedFrame> frames = RenderGoldenScenario(entry, scenario);
    for (const RenderedFrame& frame : frames) {
      ++rendered;
      if (print) {
        std::printf("    {\"%.*s\", PixelDepth::%s, RenderPath::%s, 0x%016" PRIX64 "ull},\n",
                    int(scenario.name.size()), scenario.name.data(), DepthName(frame.depth),
                    RenderPathName(frame.path).data(), frame.digest);
      }
      const GoldenFrame* golden = FindGoldenFrame(scenario.name, frame.depth, frame.path);
      if (golden == nullptr) {
        ADD_FAILURE() << "no golden digest for " << scenario.name << " " << DepthName(frame.depth)
                      << " " << RenderPathName(frame.path);
        continue;
      }
      EXPECT_EQ(frame.digest, golden->digest)
          << scenario.name << " " << DepthName(frame.depth) << " " << RenderPathName(frame.path)
          << ": the pixels differ from the recorded frame";
    }
    // Both paths resolve the same settings, so they draw the same pixels.
    for (std::size_t i = 0; i + 1 < frames.size(); i += 2) {
      EXPECT_EQ(frames[i].digest, frames[i + 1].digest)
          << scenario.name << " " << DepthName(frames[i].depth) << ": smart and legacy differ";
    }
  }
  EXPECT_EQ(rendered, kGoldenFrames.size()) << "the table holds frames no scenario renders";
}

}  // namespace tessaline::test
