#pragma once
// Anti-aliased, axis-aligned line bands stamped over a whole buffer.
//
// A line at position p (a column position for a vertical line, a row position
// for a horizontal one) with width w covers index k by
//   clamp((w / 2 + 0.5) - |(k + 0.5) - p|, 0, 1),
// and a pixel with coverage c > 0 is blended toward the line's color
// (BlendPixel) with weight (c * opacity) * color alpha. Pixels with coverage
// 0 are not touched. Every operation is done in double precision in the
// order given, so results are the same to the bit on every compiler.
#include <cstdint>

#include "core/GridColor.h"
#include "core/GridLines.h"
#include "core/PixelBuffer.h"

namespace tessaline {

// Coverage of index k by a line at position p with width w, in 0 to 1.
double LineCoverage(std::int32_t k, double p, double w);

// The inclusive range of indices that a line can touch on an axis of `size`
// indices. Empty when first > last; always inside 0 to size - 1 otherwise.
struct IndexWindow {
  std::int32_t first;
  std::int32_t last;
  bool empty() const { return first > last; }
};
IndexWindow LineWindow(double p, double w, std::int32_t size);

// A band centered on `position`: for a vertical line a column position, the
// band through every row; for a horizontal one a row position, the band
// through every column. A buffer with no rows or no columns gets nothing.
// Instantiated for Pixel8, Pixel16 and PixelFloat.
template <typename Pixel>
void StampLine(const PixelBuffer& buffer, Axis axis, double position, double width,
               const GridColor& color, double opacity);

}  // namespace tessaline
