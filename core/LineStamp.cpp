#include "core/LineStamp.h"

#include <cmath>
#include <type_traits>

namespace tessaline {
namespace {

// Rounds half away from zero and limits to 0 to full scale. The limits are
// applied in double precision, so no value (not a number included) reaches
// the integer conversion out of range; a value not above 0 becomes 0.
template <typename Channel>
Channel QuantizeChannel(double scaled, double fullScale) {
  const double rounded = std::round(scaled);
  if (rounded > fullScale) return static_cast<Channel>(fullScale);
  if (!(rounded > 0.0)) return 0;
  return static_cast<Channel>(rounded);
}

template <typename Pixel>
constexpr double kFullScale = sizeof(Pixel) == 4   ? 255.0
                              : sizeof(Pixel) == 8 ? 32768.0
                                                   : 1.0;

// A channel's value in 0-to-1 units, and the value of such a unit back in the
// channel.
template <typename Channel>
double Unit(Channel v, double fullScale) {
  if constexpr (std::is_same_v<Channel, float>)
    return static_cast<double>(v);
  else
    return v / fullScale;
}
template <typename Channel>
Channel FromUnit(double t, double fullScale) {
  if constexpr (std::is_same_v<Channel, float>)
    return static_cast<float>(t);
  else
    return QuantizeChannel<Channel>(t * fullScale, fullScale);
}

template <typename Pixel>
Pixel Blended(Pixel p, const BlendTerms& t) {
  using Channel = decltype(p.red);
  constexpr double full = kFullScale<Pixel>;
  const auto plain = [&](Channel old, double term) {
    return FromUnit<Channel>(Unit(old, full) * t.keep + term, full);
  };
  Pixel out = p;
  out.alpha = plain(p.alpha, t.alpha);
  if (IsOpaque(p)) {
    out.red = plain(p.red, t.red);
    out.green = plain(p.green, t.green);
    out.blue = plain(p.blue, t.blue);
    return out;
  }
  double a = Unit(p.alpha, full);
  if (!(a > 0.0)) a = 0.0;  // only a float alpha can be below 0 or not a number
  const double na = a * t.keep + t.alpha;
  if (!(na > 0.0)) return out;
  const auto straight = [&](Channel old, double term) {
    return FromUnit<Channel>(((Unit(old, full) * a) * t.keep + term) / na, full);
  };
  out.red = straight(p.red, t.red);
  out.green = straight(p.green, t.green);
  out.blue = straight(p.blue, t.blue);
  return out;
}

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

BlendTerms TermsOf(const GridColor& color, double weight) {
  return BlendTerms{1.0 - weight, weight * 1.0, weight * color.red, weight * color.green,
                    weight * color.blue};
}

Pixel8 BlendedPixel(Pixel8 pixel, BlendTerms terms) {
  return Blended(pixel, terms);
}
Pixel16 BlendedPixel(Pixel16 pixel, BlendTerms terms) {
  return Blended(pixel, terms);
}
PixelFloat BlendedPixel(PixelFloat pixel, BlendTerms terms) {
  return Blended(pixel, terms);
}

void BlendPixel8(Pixel8& pixel, const GridColor& color, double weight) {
  pixel = Blended(pixel, TermsOf(color, weight));
}

void BlendPixel16(Pixel16& pixel, const GridColor& color, double weight) {
  pixel = Blended(pixel, TermsOf(color, weight));
}

void BlendPixelFloat(PixelFloat& pixel, const GridColor& color, double weight) {
  pixel = Blended(pixel, TermsOf(color, weight));
}

template <typename Pixel>
void StampVerticalLine(const PixelBuffer& buffer, double x, double width, const GridColor& color,
                       double opacity) {
  if (buffer.width <= 0 || buffer.height <= 0) return;
  const IndexWindow window = LineWindow(x, width, buffer.width);
  if (window.empty()) return;
  for (std::int32_t r = 0; r < buffer.height; ++r) {
    Pixel* row = PixelRow<Pixel>(buffer, r);
    for (std::int32_t c = window.first; c <= window.last; ++c) {
      const double coverage = LineCoverage(c, x, width);
      if (coverage > 0.0) BlendPixel(row[c], color, (coverage * opacity) * color.alpha);
    }
  }
}

template <typename Pixel>
void StampHorizontalLine(const PixelBuffer& buffer, double y, double width, const GridColor& color,
                         double opacity) {
  if (buffer.width <= 0 || buffer.height <= 0) return;
  const IndexWindow window = LineWindow(y, width, buffer.height);
  if (window.empty()) return;
  for (std::int32_t r = window.first; r <= window.last; ++r) {
    const double coverage = LineCoverage(r, y, width);
    if (!(coverage > 0.0)) continue;
    const double strength = coverage * opacity;
    Pixel* row = PixelRow<Pixel>(buffer, r);
    for (std::int32_t c = 0; c < buffer.width; ++c) {
      BlendPixel(row[c], color, strength * color.alpha);
    }
  }
}

#define TESSALINE_INSTANTIATE_STAMPS(Pixel)                                                      \
  template void StampVerticalLine<Pixel>(const PixelBuffer&, double, double, const GridColor&,   \
                                         double);                                                \
  template void StampHorizontalLine<Pixel>(const PixelBuffer&, double, double, const GridColor&, \
                                           double);
TESSALINE_INSTANTIATE_STAMPS(Pixel8)
TESSALINE_INSTANTIATE_STAMPS(Pixel16)
TESSALINE_INSTANTIATE_STAMPS(PixelFloat)
#undef TESSALINE_INSTANTIATE_STAMPS

}  // namespace tessaline
