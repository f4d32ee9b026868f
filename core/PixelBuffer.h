#pragma once
// The core's view of one host image and the three pixel layouts.
//
// Rules shared by everything that draws:
// - The pixel in row r, column c starts at data + r * rowbytes + c * pixel size,
//   computed in 64-bit arithmetic; rowbytes may be negative or exceed the
//   pixels of a row. Only pixels with 0 <= r < height, 0 <= c < width are
//   read or written by the blends and stamps.
// - Channels are stored alpha, red, green, blue at every depth.
// - Full scale: 255 (8-bit), 32768 (16-bit), 1.0 (float, values outside 0 to 1
//   are allowed and kept); PixelTraits names it once for each depth.
// - Pixel index k spans positions k to k + 1; its center lies at k + 0.5.
#include <cstddef>
#include <cstdint>

namespace tessaline {

struct PixelBuffer {
  void* data = nullptr;
  std::int32_t rowbytes = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

struct Pixel8 {
  std::uint8_t alpha, red, green, blue;
};
struct Pixel16 {
  std::uint16_t alpha, red, green, blue;
};
struct PixelFloat {
  float alpha, red, green, blue;
};

static_assert(sizeof(Pixel8) == 4 && sizeof(Pixel16) == 8 && sizeof(PixelFloat) == 16);

// What each depth's channels are: their type and the value of full scale.
template <typename Pixel>
struct PixelTraits;
template <>
struct PixelTraits<Pixel8> {
  using Channel = std::uint8_t;
  static constexpr Channel kFullScale = 255;
};
template <>
struct PixelTraits<Pixel16> {
  using Channel = std::uint16_t;
  static constexpr Channel kFullScale = 32768;
};
template <>
struct PixelTraits<PixelFloat> {
  using Channel = float;
  static constexpr Channel kFullScale = 1.0f;
};

// A pixel whose alpha is at full scale or above (16-bit and float alphas can
// lie above it): its color takes the plain mix of the blends.
template <typename Pixel>
bool IsOpaque(const Pixel& p) {
  return p.alpha >= PixelTraits<Pixel>::kFullScale;
}

inline std::byte* RowAddress(const PixelBuffer& buffer, std::int32_t row) {
  return static_cast<std::byte*>(buffer.data) + std::int64_t{row} * buffer.rowbytes;
}

template <typename Pixel>
Pixel* PixelRow(const PixelBuffer& buffer, std::int32_t row) {
  return reinterpret_cast<Pixel*>(RowAddress(buffer, row));
}

}  // namespace tessaline
