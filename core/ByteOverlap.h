#pragma once
// Whether buffers, or the rows of one buffer, share bytes: where they do,
// the order in which rows are read and written decides the result.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/PixelBuffer.h"

namespace tessaline {

// The bytes [first, last) of `rows` rows of `length` bytes each.
struct ByteRange {
  std::uintptr_t first = 0, last = 0;
};

inline ByteRange RowsRange(const PixelBuffer& buffer, std::int32_t rows, std::size_t length) {
  if (rows <= 0 || length == 0) return {};
  const auto row0 = reinterpret_cast<std::uintptr_t>(RowAddress(buffer, 0));
  const auto rowN = reinterpret_cast<std::uintptr_t>(RowAddress(buffer, rows - 1));
  return ByteRange{row0 < rowN ? row0 : rowN, (row0 < rowN ? rowN : row0) + length};
}

inline bool Overlap(const ByteRange& a, const ByteRange& b) {
  return a.first < b.last && b.first < a.last;
}

template <typename Pixel>
bool SharesBytes(const PixelBuffer& a, const PixelBuffer& b) {
  return Overlap(RowsRange(a, a.height, std::size_t(a.width) * sizeof(Pixel)),
                 RowsRange(b, b.height, std::size_t(b.width) * sizeof(Pixel)));
}

// True when one output row reaches into the pixels of another: then the order
// in which rows are written matters and only the literal order is right.
template <typename Pixel>
bool RowsShareBytes(const PixelBuffer& output) {
  return output.height > 1 &&
         std::llabs(output.rowbytes) < std::int64_t{output.width} * std::int64_t{sizeof(Pixel)};
}

}  // namespace tessaline
