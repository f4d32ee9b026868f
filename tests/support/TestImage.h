#pragma once
// Owning images for core tests: any size, row padding and stride direction,
// with every byte outside the pixels filled with a pattern that can be checked.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/PixelBuffer.h"

namespace tessaline::test {

inline constexpr std::uint8_t kPadByte = 0xA5;

template <typename Pixel>
class TestImage {
 public:
  // paddingPixels extra pixels at the end of every row; flipped stores row 0
  // last in memory, so rowbytes is negative.
  TestImage(std::int32_t width, std::int32_t height, std::int32_t paddingPixels = 0,
            bool flipped = false)
      : width_(width), height_(height) {
    const std::int32_t w = width > 0 ? width : 0;
    stride_ = std::int32_t((w + paddingPixels) * sizeof(Pixel));
    const std::int32_t rows = height > 0 ? height : 0;
    bytes_.assign(std::size_t(stride_) * rows + 1, kPadByte);
    buffer_.width = width;
    buffer_.height = height;
    buffer_.rowbytes = flipped ? -stride_ : stride_;
    std::byte* base = reinterpret_cast<std::byte*>(bytes_.data());
    buffer_.data = flipped && rows > 0 ? base + std::size_t(stride_) * (rows - 1) : base;
    for (std::int32_t r = 0; r < rows; ++r)
      for (std::int32_t c = 0; c < w; ++c) at(r, c) = Pixel{};
  }

  const PixelBuffer& buffer() const { return buffer_; }
  Pixel& at(std::int32_t r, std::int32_t c) { return PixelRow<Pixel>(buffer_, r)[c]; }
  const Pixel& at(std::int32_t r, std::int32_t c) const { return PixelRow<Pixel>(buffer_, r)[c]; }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }

  void Fill(const Pixel& p) {
    for (std::int32_t r = 0; r < height_; ++r)
      for (std::int32_t c = 0; c < width_; ++c) at(r, c) = p;
  }

  // True when no byte outside the pixels has changed.
  bool PaddingIntact() const {
    const std::size_t rowPixels = std::size_t(width_ > 0 ? width_ : 0) * sizeof(Pixel);
    const std::uint8_t* base = bytes_.data();
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
      const std::size_t inRow = stride_ > 0 ? i % std::size_t(stride_) : 0;
      const bool pixel = i < bytes_.size() - 1 && inRow < rowPixels;
      if (!pixel && base[i] != kPadByte) return false;
    }
    return true;
  }

  // The pixels only, row by row, for comparisons.
  std::vector<std::uint8_t> PackedPixels() const {
    std::vector<std::uint8_t> out;
    for (std::int32_t r = 0; r < height_; ++r) {
      const auto* row = reinterpret_cast<const std::uint8_t*>(PixelRow<Pixel>(buffer_, r));
      out.insert(out.end(), row, row + std::size_t(width_) * sizeof(Pixel));
    }
    return out;
  }

 private:
  std::int32_t width_, height_, stride_ = 0;
  std::vector<std::uint8_t> bytes_;
  PixelBuffer buffer_;
};

}  // namespace tessaline::test
