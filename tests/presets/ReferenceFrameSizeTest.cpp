#include "presets/ReferenceFrameSize.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tessaline {
namespace {

struct SizeCase {
  std::int32_t resolution;
  std::int32_t layerWidth;
  std::int32_t layerHeight;
  double width;
  double height;
};

constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

constexpr SizeCase kCases[] = {
    // "Current Size" follows the layer while both sides are usable.
    {1, 1000, 500, 1000, 500},
    {1, 1, 1, 1, 1},
    {1, 30000, 17, 30000, 17},
    {1, 0, 500, 1920, 1080},
    {1, 1000, 0, 1920, 1080},
    {1, -1000, 500, 1920, 1080},
    {1, 1000, -500, 1920, 1080},
    {1, kIntMin, kIntMin, 1920, 1080},
    // Fixed entries ignore the layer size and keep width first.
    {14, 1920, 1080, 640, 480},
    {14, 0, 0, 640, 480},
    {2, 1000, 500, 1280, 720},
    {3, 1000, 500, 1920, 1080},
    {7, 1000, 500, 7680, 4320},
    {10, 1000, 500, 4096, 4096},
    {11, 1000, 500, 720, 1280},
    {12, 1000, 500, 1080, 1920},
    {13, 1000, 500, 2160, 3840},
    {17, 1000, 500, 2160, 1440},
    {20, 1000, 500, 3840, 1600},
    // Values outside the popup give the default, whatever the layer.
    {0, 1000, 500, 1920, 1080},
    {21, 1000, 500, 1920, 1080},
    {-1, 1000, 500, 1920, 1080},
    {kIntMin, 1000, 500, 1920, 1080},
    {kIntMax, 1000, 500, 1920, 1080},
};

TEST(ReferenceFrameSize, MapsPopupValueAndLayerToSize) {
  for (const SizeCase& c : kCases) {
    SCOPED_TRACE(::testing::Message() << "resolution " << c.resolution << ", layer " << c.layerWidth
                                      << " x " << c.layerHeight);
    const FrameSize size = ReferenceFrameSize(c.resolution, c.layerWidth, c.layerHeight);
    EXPECT_EQ(size.width, c.width);
    EXPECT_EQ(size.height, c.height);
  }
}

}  // namespace
}  // namespace tessaline
