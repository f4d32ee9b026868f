#include "core/PixelBlend.h"

#include <cmath>
#include <type_traits>

namespace tessaline {
namespace {

// A channel's value in 0-to-1 units.
template <typename Pixel, typename Channel>
double Unit(Channel v) {
  if constexpr (std::is_same_v<Channel, float>)
    return static_cast<double>(v);
  else
    return v / double{PixelTraits<Pixel>::kFullScale};
}

// A value in 0-to-1 units back in the channel: rounded half away from zero
// and limited to 0 to full scale. The limits are applied in double
// precision, so no value (not a number included) reaches the integer
// conversion out of range; a value not above 0 becomes 0.
template <typename Pixel, typename Channel>
Channel FromUnit(double t) {
  if constexpr (std::is_same_v<Channel, float>) {
    return static_cast<float>(t);
  } else {
    constexpr double full = PixelTraits<Pixel>::kFullScale;
    const double rounded = std::round(t * full);
    if (rounded > full) return static_cast<Channel>(full);
    if (!(rounded > 0.0)) return 0;
    return static_cast<Channel>(rounded);
  }
}

}  // namespace

BlendTerms TermsOf(const GridColor& color, double weight) {
  return BlendTerms{1.0 - weight, weight * 1.0, weight * color.red, weight * color.green,
                    weight * color.blue};
}

template <typename Pixel>
Pixel BlendPixel(Pixel p, const BlendTerms& t) {
  using Channel = typename PixelTraits<Pixel>::Channel;
  const auto plain = [&](Channel old, double term) {
    return FromUnit<Pixel, Channel>(Unit<Pixel>(old) * t.keep + term);
  };
  Pixel out = p;
  out.alpha = plain(p.alpha, t.alpha);
  if (IsOpaque(p)) {
    out.red = plain(p.red, t.red);
    out.green = plain(p.green, t.green);
    out.blue = plain(p.blue, t.blue);
    return out;
  }
  double a = Unit<Pixel>(p.alpha);
  if (!(a > 0.0)) a = 0.0;  // only a float alpha can be below 0 or not a number
  const double na = a * t.keep + t.alpha;
  if (!(na > 0.0)) return out;
  const auto straight = [&](Channel old, double term) {
    return FromUnit<Pixel, Channel>(((Unit<Pixel>(old) * a) * t.keep + term) / na);
  };
  out.red = straight(p.red, t.red);
  out.green = straight(p.green, t.green);
  out.blue = straight(p.blue, t.blue);
  return out;
}

template Pixel8 BlendPixel(Pixel8, const BlendTerms&);
template Pixel16 BlendPixel(Pixel16, const BlendTerms&);
template PixelFloat BlendPixel(PixelFloat, const BlendTerms&);

}  // namespace tessaline
