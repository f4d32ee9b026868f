#pragma once
// Digests of the frames that the golden scenarios render (tests/plugin/
// GoldenScenarios.cpp), shared by the test that calls the statically linked
// entry point and the test that loads P_Tessaline.aex under Wine: both
// compilers must produce exactly these pixels.
//
// A digest is the 64-bit FNV-1a of the output pixels, rows top to bottom,
// width * pixel size bytes per row (padding excluded). The rows below are
// printed by golden_frames_test with TESSALINE_PRINT_GOLDEN_FRAMES=1; a frame
// that stops matching is a change in the rendered pixels, to be explained
// before the table is touched.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "minihost/World.h"

namespace tessaline::testing {

enum class RenderPath : std::int32_t { kSmart, kLegacy };

constexpr std::string_view RenderPathName(RenderPath path) {
  return path == RenderPath::kSmart ? "kSmart" : "kLegacy";
}

inline constexpr std::uint64_t kFnvOffsetBasis = 0xCBF29CE484222325ull;
inline constexpr std::uint64_t kFnvPrime = 0x00000100000001B3ull;

constexpr std::uint64_t Fnv1a(std::span<const std::uint8_t> bytes,
                              std::uint64_t hash = kFnvOffsetBasis) {
  for (std::uint8_t b : bytes) hash = (hash ^ b) * kFnvPrime;
  return hash;
}

static_assert(Fnv1a({}) == kFnvOffsetBasis);
// Published test vector: FNV-1a 64 of "a".
static_assert(Fnv1a(std::array<std::uint8_t, 1>{'a'}) == 0xAF63DC4C8601EC8Cull);

struct GoldenFrame {
  std::string_view scenario;
  PixelDepth depth;
  RenderPath path;
  std::uint64_t digest;
};

// clang-format off
inline constexpr std::array<GoldenFrame, 54> kGoldenFrames = {{
    {"Custom Composite", PixelDepth::k8, RenderPath::kSmart, 0x04D35F670092BDE6ull},
    {"Custom Composite", PixelDepth::k8, RenderPath::kLegacy, 0x04D35F670092BDE6ull},
    {"Custom Composite", PixelDepth::k16, RenderPath::kSmart, 0x46A0CD08743C5573ull},
    {"Custom Composite", PixelDepth::k16, RenderPath::kLegacy, 0x46A0CD08743C5573ull},
    {"Custom Composite", PixelDepth::kFloat, RenderPath::kSmart, 0x8FF0A650253A7892ull},
    {"Custom Composite", PixelDepth::kFloat, RenderPath::kLegacy, 0x8FF0A650253A7892ull},
    {"Grid Only Odd Size", PixelDepth::k8, RenderPath::kSmart, 0xE6988A9649F04461ull},
    {"Grid Only Odd Size", PixelDepth::k8, RenderPath::kLegacy, 0xE6988A9649F04461ull},
    {"Grid Only Odd Size", PixelDepth::k16, RenderPath::kSmart, 0xC133AA245E61E5C5ull},
    {"Grid Only Odd Size", PixelDepth::k16, RenderPath::kLegacy, 0xC133AA245E61E5C5ull},
    {"Grid Only Odd Size", PixelDepth::kFloat, RenderPath::kSmart, 0x38CB2D9FCD715545ull},
    {"Grid Only Odd Size", PixelDepth::kFloat, RenderPath::kLegacy, 0x38CB2D9FCD715545ull},
    {"Thirds", PixelDepth::k8, RenderPath::kSmart, 0xB5F0325F16B9192Dull},
    {"Thirds", PixelDepth::k8, RenderPath::kLegacy, 0xB5F0325F16B9192Dull},
    {"Thirds", PixelDepth::k16, RenderPath::kSmart, 0xBE474586FF02556Cull},
    {"Thirds", PixelDepth::k16, RenderPath::kLegacy, 0xBE474586FF02556Cull},
    {"Thirds", PixelDepth::kFloat, RenderPath::kSmart, 0x14A0394DA6650B8Bull},
    {"Thirds", PixelDepth::kFloat, RenderPath::kLegacy, 0x14A0394DA6650B8Bull},
    {"Margin Frame Grid Only", PixelDepth::k8, RenderPath::kSmart, 0xF0BDB82ED2F89B49ull},
    {"Margin Frame Grid Only", PixelDepth::k8, RenderPath::kLegacy, 0xF0BDB82ED2F89B49ull},
    {"Margin Frame Grid Only", PixelDepth::k16, RenderPath::kSmart, 0x1B2D9B346D4FCE85ull},
    {"Margin Frame Grid Only", PixelDepth::k16, RenderPath::kLegacy, 0x1B2D9B346D4FCE85ull},
    {"Margin Frame Grid Only", PixelDepth::kFloat, RenderPath::kSmart, 0x888EB41C31404551ull},
    {"Margin Frame Grid Only", PixelDepth::kFloat, RenderPath::kLegacy, 0x888EB41C31404551ull},
    {"Fine Draft Full HD", PixelDepth::k8, RenderPath::kSmart, 0x309FB570489FA1D3ull},
    {"Fine Draft Full HD", PixelDepth::k8, RenderPath::kLegacy, 0x309FB570489FA1D3ull},
    {"Fine Draft Full HD", PixelDepth::k16, RenderPath::kSmart, 0xA8E140B8927F4617ull},
    {"Fine Draft Full HD", PixelDepth::k16, RenderPath::kLegacy, 0xA8E140B8927F4617ull},
    {"Fine Draft Full HD", PixelDepth::kFloat, RenderPath::kSmart, 0xEB817CCFFF07AB87ull},
    {"Fine Draft Full HD", PixelDepth::kFloat, RenderPath::kLegacy, 0xEB817CCFFF07AB87ull},
    {"Translucent", PixelDepth::k8, RenderPath::kSmart, 0x5B7CD2F0AC07D71Dull},
    {"Translucent", PixelDepth::k8, RenderPath::kLegacy, 0x5B7CD2F0AC07D71Dull},
    {"Translucent", PixelDepth::k16, RenderPath::kSmart, 0xD90114F282B44497ull},
    {"Translucent", PixelDepth::k16, RenderPath::kLegacy, 0xD90114F282B44497ull},
    {"Translucent", PixelDepth::kFloat, RenderPath::kSmart, 0xE3D63C212C89BD37ull},
    {"Translucent", PixelDepth::kFloat, RenderPath::kLegacy, 0xE3D63C212C89BD37ull},
    {"Padded Stride", PixelDepth::k8, RenderPath::kSmart, 0xC2C4B30137D9138Cull},
    {"Padded Stride", PixelDepth::k8, RenderPath::kLegacy, 0xC2C4B30137D9138Cull},
    {"Padded Stride", PixelDepth::k16, RenderPath::kSmart, 0x51C50BA15A195A27ull},
    {"Padded Stride", PixelDepth::k16, RenderPath::kLegacy, 0x51C50BA15A195A27ull},
    {"Padded Stride", PixelDepth::kFloat, RenderPath::kSmart, 0xE3E3EF606A757CD0ull},
    {"Padded Stride", PixelDepth::kFloat, RenderPath::kLegacy, 0xE3E3EF606A757CD0ull},
    {"Negative Stride", PixelDepth::k8, RenderPath::kSmart, 0x21935B13D092674Dull},
    {"Negative Stride", PixelDepth::k8, RenderPath::kLegacy, 0x21935B13D092674Dull},
    {"Negative Stride", PixelDepth::k16, RenderPath::kSmart, 0xB13A54CEF25F03BBull},
    {"Negative Stride", PixelDepth::k16, RenderPath::kLegacy, 0xB13A54CEF25F03BBull},
    {"Negative Stride", PixelDepth::kFloat, RenderPath::kSmart, 0xD595851BA987FBC3ull},
    {"Negative Stride", PixelDepth::kFloat, RenderPath::kLegacy, 0xD595851BA987FBC3ull},
    {"Half Resolution", PixelDepth::k8, RenderPath::kSmart, 0x1940787E776E5D66ull},
    {"Half Resolution", PixelDepth::k8, RenderPath::kLegacy, 0x1940787E776E5D66ull},
    {"Half Resolution", PixelDepth::k16, RenderPath::kSmart, 0x37765C3B15E33B3Full},
    {"Half Resolution", PixelDepth::k16, RenderPath::kLegacy, 0x37765C3B15E33B3Full},
    {"Half Resolution", PixelDepth::kFloat, RenderPath::kSmart, 0x558620BD6E1467D7ull},
    {"Half Resolution", PixelDepth::kFloat, RenderPath::kLegacy, 0x558620BD6E1467D7ull},
}};
// clang-format on

// The digest recorded for one frame, or null.
constexpr const GoldenFrame* FindGoldenFrame(std::string_view scenario, PixelDepth depth,
                                             RenderPath path) {
  for (const GoldenFrame& frame : kGoldenFrames) {
    if (frame.scenario == scenario && frame.depth == depth && frame.path == path) return &frame;
  }
  return nullptr;
}

}  // namespace tessaline::testing
