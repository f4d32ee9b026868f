#pragma once
// The golden scenarios: a handful of sessions, each rendered at every depth
// through both render paths, whose frames must match tests/support/
// GoldenFrames.h whichever compiler built the entry point.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "minihost/MiniHost.h"
#include "tests/support/GoldenFrames.h"

namespace tessaline::test {

enum class Stride : std::int32_t {
  kPacked,    // rows back to back
  kPadded,    // extra bytes after every row
  kNegative,  // row 0 last in memory, rows padded too
};

// The source's alpha: at or above full scale everywhere (16-bit and float
// worlds hold values above it too), or any value.
enum class Source : std::int32_t { kOpaque, kTranslucent };

// A control the user sets after parameter setup, and its value.
struct ControlChange {
  PF_ParamIndex index;
  double value;
};

struct GoldenScenario {
  std::string_view name;
  std::int32_t width;
  std::int32_t height;
  Stride stride;
  Source source;
  bool halfResolution;  // host downsample 1/2 in x and y
  std::vector<ControlChange> changes;  // in order, after parameter setup
};

std::span<const GoldenScenario> GoldenScenarios();

inline constexpr std::array<PixelDepth, 3> kGoldenDepths = {PixelDepth::k8, PixelDepth::k16,
                                                            PixelDepth::kFloat};
inline constexpr std::array<RenderPath, 2> kGoldenPaths = {RenderPath::kSmart, RenderPath::kLegacy};

struct RenderedFrame {
  PixelDepth depth;
  RenderPath path;
  std::uint64_t digest;
};

// One session on a fresh host driving `entry`: global setup, parameter setup,
// the scenario's changes, a UI update, then one frame per depth and path over
// the procedural source. A half-resolution scenario's worlds are half the
// layer's size. Host-side faults (guards, unbalanced check-outs or
// suites, unreleased pre-render data) are reported as test failures.
std::vector<RenderedFrame> RenderGoldenScenario(EffectEntry entry, const GoldenScenario& scenario);

// Renders every scenario and compares every frame with kGoldenFrames. With
// TESSALINE_PRINT_GOLDEN_FRAMES set in the environment it prints the table
// rows for GoldenFrames.h as well.
void CheckGoldenFrames(EffectEntry entry);

}  // namespace tessaline::test
