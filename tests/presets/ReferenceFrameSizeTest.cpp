#include "presets/ReferenceFrameSize.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "tests/support/PopupValues.h"

namespace tessaline {
namespace {

using test::Resolution;

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
    {Resolution("Current Size"), 1000, 500, 1000, 500},
    {Resolution("Current Size"), 1, 1, 1, 1},
    {Resolution("Current Size"), 30000, 17, 30000, 17},
    {Resolution("Current Size"), 0, 500, 1920, 1080},
    {Resolution("Current Size"), 1000, 0, 1920, 1080},
    {Resolution("Current Size"), -1000, 500, 1920, 1080},
    {Resolution("Current Size"), 1000, -500, 1920, 1080},
    {Resolution("Current Size"), kIntMin, kIntMin, 1920, 1080},
    // Fixed entries ignore the layer size and keep width first.
    {Resolution("640x480 4:3 SD"), 1920, 1080, 640, 480},
    {Resolution("640x480 4:3 SD"), 0, 0, 640, 480},
    {Resolution("1280x720 HD"), 1000, 500, 1280, 720},
    {Resolution("1920x1080 Full HD"), 1000, 500, 1920, 1080},
    {Resolution("7680x4320 UHD 8K"), 1000, 500, 7680, 4320},
    {Resolution("4096x4096 Square"), 1000, 500, 4096, 4096},
    {Resolution("720x1280 Vertical HD"), 1000, 500, 720, 1280},
    {Resolution("1080x1920 Vertical Full HD"), 1000, 500, 1080, 1920},
    {Resolution("2160x3840 Vertical UHD 4K"), 1000, 500, 2160, 3840},
    {Resolution("2160x1440 3:2 Photo"), 1000, 500, 2160, 1440},
    {Resolution("3840x1600 Ultrawide"), 1000, 500, 3840, 1600},
    // Values outside the popup give the default, whatever the layer.
    {0, 1000, 500, 1920, 1080},
    {Resolution("3840x1600 Ultrawide") + 1, 1000, 500, 1920, 1080},
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
