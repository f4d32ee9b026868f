// Renders write frame data with the core's own kernels, never through the C
// runtime's memcpy, memmove or memset, whose speed on frames depends on the
// runtime and the processor: the program is linked with those three wrapped
// (-Wl,--wrap), and every call of 1 KB or more made during a render is
// counted. A source that shares bytes with the output is the one exception.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "core/GridComposition.h"
#include "core/Kernels.h"
#include "tests/support/PixelTypes.h"

extern "C" {
void* __real_memcpy(void*, const void*, std::size_t);
void* __real_memmove(void*, const void*, std::size_t);
void* __real_memset(void*, int, std::size_t);
}

namespace {
std::atomic<bool> counting{false};
std::atomic<int> largeCalls{0};
void Count(std::size_t bytes) {
  if (counting && bytes >= 1024) ++largeCalls;
}
}  // namespace

extern "C" {
void* __wrap_memcpy(void* to, const void* from, std::size_t n) {
  Count(n);
  return __real_memcpy(to, from, n);
}
void* __wrap_memmove(void* to, const void* from, std::size_t n) {
  Count(n);
  return __real_memmove(to, from, n);
}
void* __wrap_memset(void* to, int value, std::size_t n) {
  Count(n);
  return __real_memset(to, value, n);
}
}

namespace tessaline {
namespace {

template <typename Pixel>
int LargeCallsDuringRender(const PixelBuffer* source, const PixelBuffer& output,
                           const GridSettings& s) {
  largeCalls = 0;
  counting = true;
  EXPECT_EQ(RenderGrid<Pixel>(source, output, s, CenteredPlacement(output)), kErrNone);
  counting = false;
  return largeCalls;
}

template <typename Pixel>
class FrameCopies : public ::testing::Test {};
TYPED_TEST_SUITE(FrameCopies, test::PixelTypes);

TYPED_TEST(FrameCopies, NoneThroughTheCRuntime) {
  using Pixel = TypeParam;
  constexpr std::int32_t kWidth = 1000, kHeight = 300;
  const auto rowbytes = std::int32_t(kWidth * sizeof(Pixel));
  std::vector<std::uint8_t> in(std::size_t(rowbytes) * kHeight, 0x40), out(in.size());
  const PixelBuffer source{in.data(), rowbytes, kWidth, kHeight};
  const PixelBuffer output{out.data(), rowbytes, kWidth, kHeight};
  GridSettings s;
  s.xSpacing = s.ySpacing = 100.0;
  s.xCount = s.yCount = 3;
  for (bool& use : s.useColor) use = true;
  for (const IsaLevel level : AvailableIsas()) {
    ForceIsa(level);
    // Below and above the streaming threshold, composited and alone.
    for (const std::size_t threshold : {in.size() + 1, in.size()}) {
      SetStreamingThreshold(threshold);
      for (const std::int32_t mode : {kBlendCompositeOverSource, kBlendGridOnly}) {
        s.blendMode = mode;
        EXPECT_EQ(LargeCallsDuringRender<Pixel>(&source, output, s), 0)
            << IsaName(level) << ", threshold " << threshold << ", mode " << mode;
      }
    }
  }
  SetStreamingThreshold(0);
  ForceIsa(AvailableIsas().back());
  // The one exception, which shows that the calls are counted: rows moved
  // within one buffer.
  s.blendMode = kBlendCompositeOverSource;
  const PixelBuffer later{out.data() + rowbytes, rowbytes, kWidth, kHeight - 1};
  const PixelBuffer earlier{out.data(), rowbytes, kWidth, kHeight - 1};
  EXPECT_GT(LargeCallsDuringRender<Pixel>(&later, earlier, s), 0);
}

}  // namespace
}  // namespace tessaline
