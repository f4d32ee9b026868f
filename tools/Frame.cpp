#include "tools/Frame.h"

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

void CopyInto(const FrameView& frame, World& world) {
  const std::size_t rowBytes = std::size_t(frame.width) * std::size_t(PixelSize(frame.depth));
  for (std::int32_t r = 0; r < frame.height; ++r) {
    std::memcpy(world.RowAddress(r), frame.data + r * frame.rowbytes, rowBytes);
  }
}

std::int64_t FrameBytes(PixelDepth depth, std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return -1;
  return std::int64_t{width} * height * PixelSize(depth);
}

}  // namespace tessaline
