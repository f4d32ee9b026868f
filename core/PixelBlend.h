#pragma once
// The blend of one pixel toward a line's color, with a weight: the
// definition that every faster blend (SpanBlend, TableBlend8) gives the same
// bits as.
//
// Pixels hold straight (unpremultiplied) color. Blending toward a color v with
// weight x and keep = 1 - x, each channel works in 0-to-1 units (old / full
// scale, or the float itself) and goes back to the depth's scale, rounded
// half away from zero and limited to 0 to full scale (float: stored as single
// precision, not limited):
// - alpha, always: a * keep + x;
// - color of an opaque pixel (IsOpaque): c * keep + x * v;
// - color of any other pixel, with A its alpha in 0 to 1 (a float alpha not
//   above 0 counts as 0) and na = A * keep + x: ((c * A) * keep + x * v) / na
//   when na > 0, else the color stays as it is.
// Every operation is done in double precision in the order given, so results
// are the same to the bit on every compiler.
#include "core/GridColor.h"
#include "core/PixelBuffer.h"

namespace tessaline {

// What one blend toward a color with weight x needs of them: keep = 1 - x and
// x * v for each channel (v = 1 for alpha). Nothing in it depends on the pixel.
struct BlendTerms {
  double keep;
  double alpha, red, green, blue;
};
BlendTerms TermsOf(const GridColor& color, double weight);

// One pixel blended with the terms, by the rules above. Instantiated for
// Pixel8, Pixel16 and PixelFloat.
template <typename Pixel>
Pixel BlendPixel(Pixel pixel, const BlendTerms& terms);

// One pixel moved toward the color's red, green and blue (and alpha toward
// full) by `weight`, at each depth. The color's own alpha is not read here.
inline void BlendPixel8(Pixel8& pixel, const GridColor& color, double weight) {
  pixel = BlendPixel(pixel, TermsOf(color, weight));
}
inline void BlendPixel16(Pixel16& pixel, const GridColor& color, double weight) {
  pixel = BlendPixel(pixel, TermsOf(color, weight));
}
inline void BlendPixelFloat(PixelFloat& pixel, const GridColor& color, double weight) {
  pixel = BlendPixel(pixel, TermsOf(color, weight));
}

}  // namespace tessaline
