#pragma once
// PNG files in memory, through libpng.
#include <cstdint>
#include <span>
#include <vector>

#include "tools/ImageCodecs.h"

namespace tessaline {

// An RGBA PNG of 8 or 16 bits a sample.
std::vector<std::uint8_t> EncodePng(const RgbaImage& image);

// Any PNG (gray, palette, with or without alpha, interlaced, 1 to 16 bits)
// as RGBA: 16-bit files keep 16 bits a sample, all others become 8 bits;
// images without alpha are opaque. Throws PreviewError naming the fault
// when the bytes are no PNG, are damaged or declare a size too large for a
// preview frame even at 8 bits (BeyondFrameLimits).
RgbaImage DecodePng(std::span<const std::uint8_t> bytes);

}  // namespace tessaline
