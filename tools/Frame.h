#pragma once
// Frames of the preview command: pixels of one of the host's three depths in
// the host's channel order (alpha, red, green, blue), rows top to bottom.
//
// Full scale per depth: 255 (8-bit), 32768 (16-bit), 1.0 (float). Color is
// straight (not premultiplied by alpha), as in the host's layers.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "core/PixelBuffer.h"
#include "minihost/World.h"

namespace tessaline {

// A read-only view of any frame's rows: an owned Frame or a host world.
struct FrameView {
  PixelDepth depth = PixelDepth::k8;
  std::int32_t width = 0;
  std::int32_t height = 0;
  const std::byte* data = nullptr;  // first byte of row 0
  std::int64_t rowbytes = 0;

  template <typename Pixel>
  const Pixel* Row(std::int32_t row) const {
    return reinterpret_cast<const Pixel*>(data + row * rowbytes);
  }
};

// An owned frame with packed rows.
class Frame {
 public:
  Frame() = default;
  // Every pixel zero (transparent black).
  Frame(PixelDepth depth, std::int32_t width, std::int32_t height);

  PixelDepth depth() const { return depth_; }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  std::int64_t rowbytes() const { return std::int64_t{width_} * PixelSize(depth_); }

  template <typename Pixel>
  Pixel* Row(std::int32_t row) {
    return reinterpret_cast<Pixel*>(bytes_.data() + row * rowbytes());
  }
  std::byte* data() { return bytes_.data(); }
  FrameView View() const { return FrameView{depth_, width_, height_, bytes_.data(), rowbytes()}; }

 private:
  PixelDepth depth_ = PixelDepth::k8;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::vector<std::byte> bytes_;
};

// The view of a host world's pixels.
FrameView ViewOf(const World& world);

// Copies a frame into another of the same depth, `from`'s pixel (0, 0) landing
// on the target's pixel (x, y); what falls outside the target is left out.
void Paste(const FrameView& from, World& to, std::int32_t x, std::int32_t y);
void Paste(const FrameView& from, Frame& to, std::int32_t x, std::int32_t y);

// The largest width and height the preview accepts, as the host does.
inline constexpr std::int32_t kMaxFrameSide = 30000;

// The largest frame the preview renders, in bytes: the host's layer, its
// output and the file being written each hold one.
inline constexpr std::int64_t kMaxFrameBytes = std::int64_t{2} << 30;

// Bytes of a frame of this size and depth, or -1 when the size is not positive.
std::int64_t FrameBytes(PixelDepth depth, std::int32_t width, std::int32_t height);

// Which limit a frame of this size and depth passes, for an error that says
// it is too large ("31920x1080 has more than the 30000 pixels a side a
// preview frame may have", "20000x20000 at 32 bits needs more than the
// 2 GiB a preview frame may have"); empty when the frame is within both.
std::string BeyondFrameLimits(PixelDepth depth, std::int64_t width, std::int64_t height);

// The depth of each pixel type, and its full scale as a double.
template <typename Pixel>
inline constexpr PixelDepth kDepthOf = PixelDepth::kFloat;
template <>
inline constexpr PixelDepth kDepthOf<Pixel8> = PixelDepth::k8;
template <>
inline constexpr PixelDepth kDepthOf<Pixel16> = PixelDepth::k16;
template <typename Pixel>
inline constexpr double kFullOf = PixelTraits<Pixel>::kFullScale;

// A channel value from v in full-scale units (0 to full scale): integers are
// rounded to the nearest, halves away from zero, and limited to 0 to full scale;
// floats are kept as they are.
template <typename Pixel>
auto ToChannel(double v) {
  using Channel = typename PixelTraits<Pixel>::Channel;
  if constexpr (std::is_floating_point_v<Channel>) {
    return Channel(v);
  } else {
    const double r = std::round(v);
    if (!(r > 0.0)) return Channel(0);
    return r >= kFullOf<Pixel> ? PixelTraits<Pixel>::kFullScale : Channel(r);
  }
}

// Calls f with a value-initialised pixel of the depth's type: the one place a
// depth picks a pixel type in the preview command.
template <typename F>
decltype(auto) WithPixelType(PixelDepth depth, F&& f) {
  switch (depth) {
    case PixelDepth::k16:
      return f(Pixel16{});
    case PixelDepth::kFloat:
      return f(PixelFloat{});
    default:
      return f(Pixel8{});
  }
}

}  // namespace tessaline
