#pragma once
// Colors as the host stores them and as the renderer uses them.
#include <cstdint>

namespace tessaline {

// An 8-bit color control value: the host's pixel bytes alpha, red, green,
// blue read as one little-endian word (alpha in the low byte).
using PackedColor = std::uint32_t;

// A color in 0 to 1. Its alpha is not written into pixels: it scales the
// strength of the lines drawn in this color.
struct GridColor {
  double red = 0.0;
  double green = 0.0;
  double blue = 0.0;
  double alpha = 1.0;
};

constexpr GridColor UnpackColor(PackedColor word) {
  return GridColor{((word >> 8) & 0xFFu) / 255.0, ((word >> 16) & 0xFFu) / 255.0,
                   (word >> 24) / 255.0, (word & 0xFFu) / 255.0};
}

}  // namespace tessaline
