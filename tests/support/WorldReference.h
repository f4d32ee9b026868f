#pragma once
// Expected frames for tests that render through the in-process host: a copy of
// a world's rows in the same layout (pixels and padding), on which the literal
// reference draws what the plug-in should have drawn into the world.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/GridSettings.h"
#include "host/HostSdk.h"
#include "minihost/World.h"
#include "tests/support/ReferenceGrid.h"

namespace tessaline::test {

// Every byte of a world's rows, whole strides, row 0 first.
inline std::vector<std::uint8_t> WholeRows(const World& w) {
  const std::size_t stride = std::size_t(std::llabs(w.rowbytes()));
  std::vector<std::uint8_t> out(stride * std::size_t(w.height()));
  if (out.empty()) return out;
  for (std::int32_t r = 0; r < w.height(); ++r) {
    std::memcpy(out.data() + stride * std::size_t(r), w.RowAddress(r), stride);
  }
  return out;
}

inline PixelBuffer BufferOf(const PF_EffectWorld& w) {
  return PixelBuffer{w.data, w.rowbytes, w.width, w.height};
}

// A copy of a world's rows laid out as the world lays them out, so that one
// rowbytes (negative ones too) serves both.
class WorldCopy {
 public:
  WorldCopy() = default;
  explicit WorldCopy(const World& w) { Take(w); }
  // Copies w's rows, reusing the memory of the last copy.
  void Take(const World& w) {
    stride_ = std::llabs(w.rowbytes());
    const std::int32_t h = w.height();
    // Never empty: an empty world has pixel memory too.
    bytes_.resize(std::size_t(stride_) * std::size_t(h > 0 ? h : 0) + 1);
    const bool flipped = w.rowbytes() < 0 && h > 0;
    for (std::int32_t r = 0; r < h && stride_ > 0; ++r) {
      const std::size_t at = std::size_t(stride_) * std::size_t(flipped ? h - 1 - r : r);
      std::memcpy(bytes_.data() + at, w.RowAddress(r), std::size_t(stride_));
    }
    buffer_ = PixelBuffer{bytes_.data() + (flipped ? std::size_t(stride_) * std::size_t(h - 1) : 0),
                          w.rowbytes(), w.width(), w.height()};
  }
  const PixelBuffer& buffer() const { return buffer_; }

  // Every row of the world equals this copy's row, padding included.
  bool Matches(const World& w) const {
    for (std::int32_t r = 0; r < w.height() && stride_ > 0; ++r) {
      const auto* mine =
          static_cast<const std::byte*>(buffer_.data) + std::int64_t{r} * buffer_.rowbytes;
      if (std::memcmp(mine, w.RowAddress(r), std::size_t(stride_)) != 0) return false;
    }
    return true;
  }

 private:
  std::int64_t stride_ = 0;
  std::vector<std::uint8_t> bytes_;
  PixelBuffer buffer_;
};

// The literal grid at the depth of `format` (anything but float and 16-bit
// draws 8-bit pixels, as the plug-in does); its error code as the pass gives it.
inline int ReferenceRender(PF_PixelFormat format, const PixelBuffer* source, const PixelBuffer& out,
                           const GridSettings& s, const LayerPlacement& placement) {
  switch (format) {
    case PF_PixelFormat_ARGB128:
      return reference::RenderGrid<PixelFloat>(source, out, s, placement);
    case PF_PixelFormat_ARGB64:
      return reference::RenderGrid<Pixel16>(source, out, s, placement);
    default:
      return reference::RenderGrid<Pixel8>(source, out, s, placement);
  }
}

// The output as the whole layer.
inline int ReferenceRender(PF_PixelFormat format, const PixelBuffer* source, const PixelBuffer& out,
                           const GridSettings& s) {
  return ReferenceRender(format, source, out, s,
                         LayerPlacement{out.width * 0.5, out.height * 0.5, 0, 0});
}

}  // namespace tessaline::test
