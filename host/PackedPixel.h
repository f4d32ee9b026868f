#pragma once
// A color control value as one word and as the host's pixel: the bytes alpha,
// red, green, blue read little-endian, alpha in the low byte.
#include "core/GridColor.h"
#include "host/HostSdk.h"

namespace tessaline {

constexpr PackedColor PackPixel(const PF_Pixel& pixel) {
  return PackedColor{pixel.alpha} | PackedColor{pixel.red} << 8 | PackedColor{pixel.green} << 16 |
         PackedColor{pixel.blue} << 24;
}

constexpr PF_Pixel UnpackPixel(PackedColor word) {
  return PF_Pixel{A_u_char(word & 0xFFu), A_u_char((word >> 8) & 0xFFu),
                  A_u_char((word >> 16) & 0xFFu), A_u_char(word >> 24)};
}

}  // namespace tessaline
