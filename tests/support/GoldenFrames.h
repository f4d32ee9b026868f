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

#include "minihost/MiniHost.h"
#include "minihost/World.h"

namespace tessaline::test {

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
    {"Custom Composite", PixelDepth::k8, RenderPath::kSmart, 0x73D1830C545B4EADull},
    {"Custom Composite", PixelDepth::k8, RenderPath::kLegacy, 0x73D1830C545B4EADull},
    {"Custom Composite", PixelDepth::k16, RenderPath::kSmart, 0xA739177ECB1BF9F0ull},
    {"Custom Composite", PixelDepth::k16, RenderPath::kLegacy, 0xA739177ECB1BF9F0ull},
    {"Custom Composite", PixelDepth::kFloat, RenderPath::kSmart, 0x6018F5CC8808421Eull},
    {"Custom Composite", PixelDepth::kFloat, RenderPath::kLegacy, 0x6018F5CC8808421Eull},
    {"Grid Only Odd Size", PixelDepth::k8, RenderPath::kSmart, 0x369A67902DEAD991ull},
    {"Grid Only Odd Size", PixelDepth::k8, RenderPath::kLegacy, 0x369A67902DEAD991ull},
    {"Grid Only Odd Size", PixelDepth::k16, RenderPath::kSmart, 0xC8B827DEB821FF3Dull},
    {"Grid Only Odd Size", PixelDepth::k16, RenderPath::kLegacy, 0xC8B827DEB821FF3Dull},
    {"Grid Only Odd Size", PixelDepth::kFloat, RenderPath::kSmart, 0xEFC40A891E1B8BF5ull},
    {"Grid Only Odd Size", PixelDepth::kFloat, RenderPath::kLegacy, 0xEFC40A891E1B8BF5ull},
    {"Thirds", PixelDepth::k8, RenderPath::kSmart, 0xE07FE8BBBB311579ull},
    {"Thirds", PixelDepth::k8, RenderPath::kLegacy, 0xE07FE8BBBB311579ull},
    {"Thirds", PixelDepth::k16, RenderPath::kSmart, 0x37924F90EB829568ull},
    {"Thirds", PixelDepth::k16, RenderPath::kLegacy, 0x37924F90EB829568ull},
    {"Thirds", PixelDepth::kFloat, RenderPath::kSmart, 0x5806A8527A16C68Full},
    {"Thirds", PixelDepth::kFloat, RenderPath::kLegacy, 0x5806A8527A16C68Full},
    {"Margin Frame Grid Only", PixelDepth::k8, RenderPath::kSmart, 0xC659F3B4BBC8BEF4ull},
    {"Margin Frame Grid Only", PixelDepth::k8, RenderPath::kLegacy, 0xC659F3B4BBC8BEF4ull},
    {"Margin Frame Grid Only", PixelDepth::k16, RenderPath::kSmart, 0xBA74304AA00C2661ull},
    {"Margin Frame Grid Only", PixelDepth::k16, RenderPath::kLegacy, 0xBA74304AA00C2661ull},
    {"Margin Frame Grid Only", PixelDepth::kFloat, RenderPath::kSmart, 0x03267F651C107CF5ull},
    {"Margin Frame Grid Only", PixelDepth::kFloat, RenderPath::kLegacy, 0x03267F651C107CF5ull},
    {"Fine Draft Full HD", PixelDepth::k8, RenderPath::kSmart, 0x269B9419BA41B9B2ull},
    {"Fine Draft Full HD", PixelDepth::k8, RenderPath::kLegacy, 0x269B9419BA41B9B2ull},
    {"Fine Draft Full HD", PixelDepth::k16, RenderPath::kSmart, 0x5E5889E998D4B8D6ull},
    {"Fine Draft Full HD", PixelDepth::k16, RenderPath::kLegacy, 0x5E5889E998D4B8D6ull},
    {"Fine Draft Full HD", PixelDepth::kFloat, RenderPath::kSmart, 0xA8E098DBB1616DE2ull},
    {"Fine Draft Full HD", PixelDepth::kFloat, RenderPath::kLegacy, 0xA8E098DBB1616DE2ull},
    {"Translucent", PixelDepth::k8, RenderPath::kSmart, 0x7D15D641993A191Bull},
    {"Translucent", PixelDepth::k8, RenderPath::kLegacy, 0x7D15D641993A191Bull},
    {"Translucent", PixelDepth::k16, RenderPath::kSmart, 0x49A8852489DAA5A0ull},
    {"Translucent", PixelDepth::k16, RenderPath::kLegacy, 0x49A8852489DAA5A0ull},
    {"Translucent", PixelDepth::kFloat, RenderPath::kSmart, 0xE9D7C961B1862CA8ull},
    {"Translucent", PixelDepth::kFloat, RenderPath::kLegacy, 0xE9D7C961B1862CA8ull},
    {"Padded Stride", PixelDepth::k8, RenderPath::kSmart, 0xA41A2A3237785EC0ull},
    {"Padded Stride", PixelDepth::k8, RenderPath::kLegacy, 0xA41A2A3237785EC0ull},
    {"Padded Stride", PixelDepth::k16, RenderPath::kSmart, 0xE77BD27E605D294Dull},
    {"Padded Stride", PixelDepth::k16, RenderPath::kLegacy, 0xE77BD27E605D294Dull},
    {"Padded Stride", PixelDepth::kFloat, RenderPath::kSmart, 0x6DDEA24856CD27C5ull},
    {"Padded Stride", PixelDepth::kFloat, RenderPath::kLegacy, 0x6DDEA24856CD27C5ull},
    {"Negative Stride", PixelDepth::k8, RenderPath::kSmart, 0xDF3A35C9BB006B6Cull},
    {"Negative Stride", PixelDepth::k8, RenderPath::kLegacy, 0xDF3A35C9BB006B6Cull},
    {"Negative Stride", PixelDepth::k16, RenderPath::kSmart, 0xD094982CB4E2E953ull},
    {"Negative Stride", PixelDepth::k16, RenderPath::kLegacy, 0xD094982CB4E2E953ull},
    {"Negative Stride", PixelDepth::kFloat, RenderPath::kSmart, 0x964F0133A83512F6ull},
    {"Negative Stride", PixelDepth::kFloat, RenderPath::kLegacy, 0x964F0133A83512F6ull},
    {"Half Resolution", PixelDepth::k8, RenderPath::kSmart, 0xD3A4B58513228681ull},
    {"Half Resolution", PixelDepth::k8, RenderPath::kLegacy, 0xD3A4B58513228681ull},
    {"Half Resolution", PixelDepth::k16, RenderPath::kSmart, 0x5D1A28A81B86E5C5ull},
    {"Half Resolution", PixelDepth::k16, RenderPath::kLegacy, 0x5D1A28A81B86E5C5ull},
    {"Half Resolution", PixelDepth::kFloat, RenderPath::kSmart, 0x60C38D12DD50AC88ull},
    {"Half Resolution", PixelDepth::kFloat, RenderPath::kLegacy, 0x60C38D12DD50AC88ull},
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

}  // namespace tessaline::test
