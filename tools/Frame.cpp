#include "tools/Frame.h"

#include <algorithm>
#include <cstring>

namespace tessaline {

Frame::Frame(PixelDepth depth, std::int32_t width, std::int32_t height)
    : depth_(depth), width_(width > 0 ? width : 0), height_(height > 0 ? height : 0) {
  bytes_.resize(std::size_t(rowbytes() * height_));
}

FrameView ViewOf(const World& world) {
  return FrameView{world.depth(), world.width(), world.height(), world.RowAddress(0),
                   world.rowbytes()};
}

namespace {

void PasteRows(const FrameView& from, std::byte* to, std::int64_t toRowbytes, std::int32_t toWidth,
               std::int32_t toHeight, std::int32_t x, std::int32_t y) {
  const std::int32_t left = std::max(x, 0);
  const std::int32_t right =
      std::int32_t(std::min<std::int64_t>(toWidth, std::int64_t{x} + from.width));
  const std::int32_t top = std::max(y, 0);
  const std::int32_t bottom =
      std::int32_t(std::min<std::int64_t>(toHeight, std::int64_t{y} + from.height));
  if (left >= right || top >= bottom) return;
  const std::int64_t pixel = PixelSize(from.depth);
  for (std::int32_t r = top; r < bottom; ++r) {
    std::memcpy(to + r * toRowbytes + left * pixel,
                from.data + std::int64_t{r - y} * from.rowbytes + std::int64_t{left - x} * pixel,
                std::size_t((right - left) * pixel));
  }
}

}  // namespace

void Paste(const FrameView& from, World& to, std::int32_t x, std::int32_t y) {
  PasteRows(from, to.RowAddress(0), to.rowbytes(), to.width(), to.height(), x, y);
}

void Paste(const FrameView& from, Frame& to, std::int32_t x, std::int32_t y) {
  PasteRows(from, to.data(), to.rowbytes(), to.width(), to.height(), x, y);
}

std::int64_t FrameBytes(PixelDepth depth, std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return -1;
  return std::int64_t{width} * height * PixelSize(depth);
}

std::string BeyondFrameLimits(PixelDepth depth, std::int64_t width, std::int64_t height) {
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  if (width > kMaxFrameSide || height > kMaxFrameSide) {
    return size + " has more than the " + std::to_string(kMaxFrameSide) +
           " pixels a side a preview frame may have";
  }
  static_assert(kMaxFrameBytes == std::int64_t{2} << 30);
  if (width > 0 && height > 0 && width * height * PixelSize(depth) > kMaxFrameBytes) {
    return size + " at " + std::to_string(int(depth)) +
           " bits needs more than the 2 GiB a preview frame may have";
  }
  return {};
}

}  // namespace tessaline
