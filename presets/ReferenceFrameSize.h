#pragma once
// The frame size for which a preset is computed, chosen with the "Resolution"
// popup: the layer's own size for "Current Size", a fixed size otherwise.
#include <cstdint>

namespace tessaline {

// A width and a height in pixels, width first.
struct FrameSize {
  double width = 0.0;
  double height = 0.0;
};

// The size that a "Resolution" popup value (1-based) stands for. "Current
// Size" gives the layer size when both sides are above 0; an unusable layer
// size and every value outside 1 to 20 give the default 1920 x 1080.
FrameSize ReferenceFrameSize(std::int32_t resolution, std::int32_t layerWidth,
                             std::int32_t layerHeight);

}  // namespace tessaline
