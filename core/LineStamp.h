#pragma once
// Anti-aliased, axis-aligned line bands and the per-pixel blends.
//
// A line at position p (a column position for a vertical line, a row position
// for a horizontal one) with width w covers index k by
//   clamp((w / 2 + 0.5) - |(k + 0.5) - p|, 0, 1),
// and a pixel with coverage c > 0 is blended toward the line's color with
// weight (c * opacity) * color alpha. Pixels with coverage 0 are not touched.
// Every operation is done in double precision in the order given, so results
// are the same to the bit on every compiler.
//
// Pixels hold straight (unpremultiplied) color. Blending toward a color v with
// weight x and keep = 1 - x, each channel works in 0-to-1 units (old / 255,
// old / 32768, or the float itself) and goes back to the depth's scale,
// rounded half away from zero and limited to 0 to full scale (float: stored
// as single precision, not limited):
// - alpha, always: a * keep + x;
// - color of an opaque pixel (alpha at or above full scale): c * keep + x * v;
// - color of any other pixel, with A its alpha in 0 to 1 (a float alpha not
//   above 0 counts as 0) and na = A * keep + x: ((c * A) * keep + x * v) / na
//   when na > 0, else the color stays as it is.
#include <cstdint>

#include "core/GridColor.h"
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

// What one blend toward a color with weight x needs of them: keep = 1 - x and
// x * v for each channel (v = 1 for alpha). Nothing in it depends on the pixel.
struct BlendTerms {
  double keep;
  double alpha, red, green, blue;
};
BlendTerms TermsOf(const GridColor& color, double weight);

// Pixels whose color takes the plain mix.
inline bool IsOpaque(const Pixel8& p) {
  return p.alpha == 255;
}
inline bool IsOpaque(const Pixel16& p) {
  return p.alpha >= 32768;
}
inline bool IsOpaque(const PixelFloat& p) {
  return p.alpha >= 1.0f;
}

// One pixel blended with the terms, by the rules above.
Pixel8 BlendedPixel(Pixel8 pixel, BlendTerms terms);
Pixel16 BlendedPixel(Pixel16 pixel, BlendTerms terms);
PixelFloat BlendedPixel(PixelFloat pixel, BlendTerms terms);

// Move one pixel toward the color's red, green and blue (and alpha toward full)
// by `weight`. The color's own alpha is not read here.
void BlendPixel8(Pixel8& pixel, const GridColor& color, double weight);
void BlendPixel16(Pixel16& pixel, const GridColor& color, double weight);
void BlendPixelFloat(PixelFloat& pixel, const GridColor& color, double weight);

inline void BlendPixel(Pixel8& p, const GridColor& c, double w) {
  BlendPixel8(p, c, w);
}
inline void BlendPixel(Pixel16& p, const GridColor& c, double w) {
  BlendPixel16(p, c, w);
}
inline void BlendPixel(PixelFloat& p, const GridColor& c, double w) {
  BlendPixelFloat(p, c, w);
}

// A vertical band centered on column position x through every row, and a
// horizontal band centered on row position y through every column. A buffer
// with no rows or no columns gets nothing. Instantiated for Pixel8, Pixel16
// and PixelFloat.
template <typename Pixel>
void StampVerticalLine(const PixelBuffer& buffer, double x, double width, const GridColor& color,
                       double opacity);
template <typename Pixel>
void StampHorizontalLine(const PixelBuffer& buffer, double y, double width, const GridColor& color,
                         double opacity);

}  // namespace tessaline
