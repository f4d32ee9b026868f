#pragma once
// The backdrop of an output frame, which the lines are drawn over: the
// source's pixels where the source lies in the output, transparent zero
// elsewhere.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/ByteOverlap.h"
#include "core/GridComposition.h"
#include "core/Kernels.h"
#include "core/PixelBuffer.h"

namespace tessaline {

inline bool HasPixels(const PixelBuffer* buffer) {
  return buffer != nullptr && buffer->data != nullptr && buffer->width > 0 && buffer->height > 0;
}

// The backdrop of the output's pixels: the source's pixels that land in the
// output (columns [first, last) of rows that the source holds), transparent
// zero elsewhere. With no source, or in "Grid Only", all of it is zero.
template <typename Pixel>
class Backdrop {
 public:
  Backdrop(const PixelBuffer* source, const PixelBuffer& output, const LayerPlacement& p,
           const Kernels& kernels)
      : kernels_(kernels),
        source_(HasPixels(source) ? source : nullptr),
        sourceX_(p.sourceX),
        sourceY_(p.sourceY) {
    if (source_ == nullptr) return;
    width_ = output.width;
    first_ = std::max<std::int64_t>(p.sourceX, 0);
    last_ = std::min<std::int64_t>(p.sourceX + source_->width, output.width);
    if (first_ >= last_) source_ = nullptr;
    shared_ = source_ != nullptr && SharesBytes<Pixel>(*source_, output);
  }

  // True when the source shares bytes with the output: then rows are laid
  // as moving them does, and only the literal order of the stamps is right.
  bool SharesBytesWithOutput() const { return shared_; }

  // The source's pixel for output column 0 of row `row`, where the source
  // holds every column of that row; else null.
  const Pixel* WholeRow(std::int32_t row) const {
    if (HoldsNone(row) || first_ != 0 || last_ != width_) return nullptr;
    return PixelRow<Pixel>(*source_, std::int32_t(row - sourceY_)) - sourceX_;
  }

  // True when the source holds no pixel of output row `row`.
  bool HoldsNone(std::int32_t row) const {
    const std::int64_t sourceRow = row - sourceY_;
    return source_ == nullptr || sourceRow < 0 || sourceRow >= source_->height;
  }

  // Asks the cache for the source's pixels of columns [first, end) of
  // output row `row`, which are laid soon.
  void Fetch(std::int32_t row, std::int32_t first, std::int32_t end) const {
    const SourceColumns held = Held(row, first, end);
    const auto* in = reinterpret_cast<const char*>(held.pixels);
    for (std::int64_t b = 0; b < (held.until - held.from) * std::int64_t{sizeof(Pixel)}; b += 64)
      __builtin_prefetch(in + b);
  }

  // Columns [first, end) of output row `row`, written to `to` (their first
  // pixel), in place: the source's pixels first, as one block (as moving
  // rows does, where source and output share bytes), then the zeros beside
  // them.
  void Lay(Pixel* to, std::int32_t row, std::int32_t first, std::int32_t end) const {
    auto* out = reinterpret_cast<std::byte*>(to);
    const SourceColumns held = Held(row, first, end);
    if (held.from < held.until) {
      std::byte* at = out + (held.from - first) * sizeof(Pixel);
      const auto* from = reinterpret_cast<const std::byte*>(held.pixels);
      const auto bytes = std::size_t(held.until - held.from) * sizeof(Pixel);
      if (shared_)
        std::memmove(at, from, bytes);
      else
        kernels_.copyBytes(at, from, bytes);
    }
    kernels_.copyBytes(out, nullptr, std::size_t(held.from - first) * sizeof(Pixel));
    kernels_.copyBytes(out + (held.until - first) * sizeof(Pixel), nullptr,
                       std::size_t(end - held.until) * sizeof(Pixel));
  }

  // Whole rows [first, end) of the output, where they lie.
  void LayRows(const PixelBuffer& output, std::int32_t first, std::int32_t end) const {
    for (std::int32_t r = first; r < end; ++r) Lay(PixelRow<Pixel>(output, r), r, 0, output.width);
  }

 private:
  // The columns [from, until) of a row that the source holds, and its pixel
  // for column `from`; none (from == until == first) where it holds none.
  struct SourceColumns {
    const Pixel* pixels;
    std::int64_t from, until;
  };
  SourceColumns Held(std::int32_t row, std::int32_t first, std::int32_t end) const {
    const std::int64_t sourceRow = row - sourceY_;
    if (source_ == nullptr || sourceRow < 0 || sourceRow >= source_->height)
      return {nullptr, first, first};
    const std::int64_t from = std::clamp<std::int64_t>(first_, first, end);
    const std::int64_t until = std::clamp<std::int64_t>(last_, from, end);
    return {PixelRow<Pixel>(*source_, std::int32_t(sourceRow)) + (from - sourceX_), from, until};
  }

  const Kernels& kernels_;
  const PixelBuffer* source_;
  std::int64_t sourceX_, sourceY_;
  std::int64_t first_ = 0, last_ = 0, width_ = 0;
  bool shared_ = false;
};

}  // namespace tessaline
