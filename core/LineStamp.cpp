#include "core/LineStamp.h"

#include <cmath>

#include "core/PixelBlend.h"

namespace tessaline {
namespace {

// floor / ceil of a window bound, limited to 0 to size - 1 before the
// conversion to 32 bits.
std::int32_t WindowBound(double bound, std::int32_t size) {
  const double top = static_cast<double>(size) - 1.0;
  if (bound > top) bound = top;
  if (bound < 0.0) bound = 0.0;
  return static_cast<std::int32_t>(bound);
}

}  // namespace

double LineCoverage(std::int32_t k, double p, double w) {
  const double half = w * 0.5;
  const double reach = half + 0.5;
  const double distance = std::fabs((k + 0.5) - p);
  double c = reach - distance;
  if (c > 1.0) c = 1.0;
  if (!(c > 0.0)) c = 0.0;
  return c;
}

IndexWindow LineWindow(double p, double w, std::int32_t size) {
  const double half = w * 0.5;
  const double lo = std::floor((p - half) - 1.0);
  const double hi = std::ceil((half + p) + 1.0);
  // A position or width that is not a number has no pixel with coverage.
  if (size <= 0 || std::isnan(lo) || std::isnan(hi)) return IndexWindow{0, -1};
  return IndexWindow{WindowBound(lo, size), WindowBound(hi, size)};
}

template <typename Pixel>
void StampLine(const PixelBuffer& buffer, Axis axis, double position, double width,
               const GridColor& color, double opacity) {
  if (buffer.width <= 0 || buffer.height <= 0) return;
  const bool vertical = axis == Axis::kVertical;
  const IndexWindow window = LineWindow(position, width, vertical ? buffer.width : buffer.height);
  if (window.empty()) return;
  const IndexWindow rows = vertical ? IndexWindow{0, buffer.height - 1} : window;
  const IndexWindow columns = vertical ? window : IndexWindow{0, buffer.width - 1};
  for (std::int32_t r = rows.first; r <= rows.last; ++r) {
    Pixel* row = PixelRow<Pixel>(buffer, r);
    for (std::int32_t c = columns.first; c <= columns.last; ++c) {
      const double coverage = LineCoverage(vertical ? c : r, position, width);
      if (coverage > 0.0)
        row[c] = BlendPixel(row[c], TermsOf(color, (coverage * opacity) * color.alpha));
    }
  }
}

template void StampLine<Pixel8>(const PixelBuffer&, Axis, double, double, const GridColor&, double);
template void StampLine<Pixel16>(const PixelBuffer&, Axis, double, double, const GridColor&,
                                 double);
template void StampLine<PixelFloat>(const PixelBuffer&, Axis, double, double, const GridColor&,
                                    double);

}  // namespace tessaline
