#pragma once
// The grid drawn by the plain, literal algorithm: every line stamped on its
// own, every pixel of a line's window blended one after the other, in the
// drawing order of the composition. Optimised passes are checked against it
// to the bit.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/GridComposition.h"
#include "core/GridSettings.h"
#include "core/PixelBuffer.h"

namespace tessaline::reference {

inline double Coverage(std::int32_t k, double p, double w) {
  const double half = w * 0.5;
  const double reach = half + 0.5;
  const double distance = std::fabs((k + 0.5) - p);
  double c = reach - distance;
  if (c > 1.0) c = 1.0;
  if (!(c > 0.0)) c = 0.0;
  return c;
}

template <typename Pixel>
constexpr double FullScale() {
  if constexpr (sizeof(Pixel) == 4)
    return 255.0;
  else if constexpr (sizeof(Pixel) == 8)
    return 32768.0;
  else
    return 1.0;
}

// A channel in 0-to-1 units, and back: rounded half away from zero and
// limited to the depth's range; floats are only stored in single precision.
template <typename Channel>
double Unit(Channel v, double full) {
  return sizeof(Channel) == 4 ? double(v) : v / full;
}
template <typename Channel>
Channel Store(double t, double full) {
  if constexpr (sizeof(Channel) == 4) {
    return static_cast<float>(t);
  } else {
    const double n = std::round(t * full);
    if (n > full) return static_cast<Channel>(full);
    if (!(n > 0.0)) return 0;
    return static_cast<Channel>(n);
  }
}

// Straight color: over an opaque pixel the plain mix c * keep + x * v; over
// any other the color weighted by the alphas, ((c * A) * keep + x * v) / na
// with na = A * keep + x, and no change when na is not above 0.
template <typename Pixel>
void Blend(Pixel& p, const GridColor& color, double x) {
  constexpr double full = FullScale<Pixel>();
  using Channel = decltype(p.red);
  const double keep = 1.0 - x;
  const bool opaque = p.alpha >= full;
  double a = Unit(p.alpha, full);
  if (!(a > 0.0)) a = 0.0;
  const double na = a * keep + x;
  Channel* channels[3] = {&p.red, &p.green, &p.blue};
  const double values[3] = {color.red, color.green, color.blue};
  for (int k = 0; k < 3; ++k) {
    const double c = Unit(*channels[k], full);
    if (opaque)
      *channels[k] = Store<Channel>(c * keep + x * values[k], full);
    else if (na > 0.0)
      *channels[k] = Store<Channel>(((c * a) * keep + x * values[k]) / na, full);
  }
  p.alpha = Store<Channel>(Unit(p.alpha, full) * keep + x * 1.0, full);
}

// first/last of the window, limited to 0 .. size - 1; false when nothing to do.
inline bool Window(double p, double w, std::int32_t size, std::int32_t& first, std::int32_t& last) {
  if (size <= 0) return false;
  const double half = w * 0.5;
  double lo = std::floor((p - half) - 1.0);
  double hi = std::ceil((half + p) + 1.0);
  if (std::isnan(lo) || std::isnan(hi)) return false;
  const double top = size - 1.0;
  lo = lo > top ? top : lo;
  lo = lo < 0.0 ? 0.0 : lo;
  hi = hi > top ? top : hi;
  hi = hi < 0.0 ? 0.0 : hi;
  first = static_cast<std::int32_t>(lo);
  last = static_cast<std::int32_t>(hi);
  return first <= last;
}

template <typename Pixel>
Pixel& At(const PixelBuffer& b, std::int32_t r, std::int32_t c) {
  return reinterpret_cast<Pixel*>(static_cast<std::byte*>(b.data) +
                                  std::int64_t{r} * b.rowbytes)[c];
}

template <typename Pixel>
void Vertical(const PixelBuffer& b, double x, double w, const GridColor& color, double opacity) {
  std::int32_t first, last;
  if (b.height <= 0 || !Window(x, w, b.width, first, last)) return;
  for (std::int32_t r = 0; r < b.height; ++r)
    for (std::int32_t c = first; c <= last; ++c) {
      const double cov = Coverage(c, x, w);
      if (cov > 0.0) Blend(At<Pixel>(b, r, c), color, (cov * opacity) * color.alpha);
    }
}

template <typename Pixel>
void Horizontal(const PixelBuffer& b, double y, double w, const GridColor& color, double opacity) {
  std::int32_t first, last;
  if (b.width <= 0 || !Window(y, w, b.height, first, last)) return;
  for (std::int32_t r = first; r <= last; ++r) {
    const double cov = Coverage(r, y, w);
    if (!(cov > 0.0)) continue;
    const double a = cov * opacity;
    for (std::int32_t c = 0; c < b.width; ++c) Blend(At<Pixel>(b, r, c), color, a * color.alpha);
  }
}

// Each output row, top to bottom: the source pixels that land in it moved as
// one block (as a row moves between buffers that may share bytes), then every
// other pixel cleared.
template <typename Pixel>
void LayBase(const PixelBuffer* source, const PixelBuffer& out, const LayerPlacement& p) {
  const bool hasPixels =
      source != nullptr && source->data != nullptr && source->width > 0 && source->height > 0;
  for (std::int32_t r = 0; r < out.height; ++r) {
    const std::int64_t sr = r - p.sourceY;
    std::int64_t first = 0, last = 0;  // output columns the source covers
    if (hasPixels && sr >= 0 && sr < source->height) {
      first = std::max<std::int64_t>(p.sourceX, 0);
      last = std::min<std::int64_t>(p.sourceX + source->width, out.width);
    }
    if (first < last)
      std::memmove(&At<Pixel>(out, r, std::int32_t(first)),
                   &At<Pixel>(*source, std::int32_t(sr), std::int32_t(first - p.sourceX)),
                   std::size_t(last - first) * sizeof(Pixel));
    for (std::int32_t c = 0; c < out.width; ++c)
      if (!(c >= first && c < last)) At<Pixel>(out, r, c) = Pixel{};
  }
}

template <typename Pixel>
int RenderGrid(const PixelBuffer* source, const PixelBuffer& out, const GridSettings& s,
               const LayerPlacement& place) {
  if (out.width <= 0 || out.height <= 0) return 0;
  if (!out.data) return 516;
  LayBase<Pixel>(s.blendMode == 2 ? nullptr : source, out, place);
  if (!(s.opacity > 0.0)) return 0;
  const double cx = place.centerX, cy = place.centerY;
  if (s.preset != 12) {
    Vertical<Pixel>(out, cx, s.centerLineWidth, s.centerColor, s.opacity);
    Horizontal<Pixel>(out, cy, s.centerLineWidth, s.centerColor, s.opacity);
  }
  std::int32_t slots = s.outerColorCount;
  if (slots > 4) slots = 4;
  if (slots < 1) slots = 1;
  const double margin = s.lineWidth * 0.5 + 1.0;
  for (int axis = 0; axis < 2; ++axis) {
    const std::int32_t count = axis == 0 ? s.xCount : s.yCount;
    const double spacing = axis == 0 ? s.xSpacing : s.ySpacing;
    const double center = axis == 0 ? cx : cy;
    const std::int32_t size = axis == 0 ? out.width : out.height;
    for (std::int32_t i = 1; i <= count; ++i) {
      if (s.preset == 12 && !(count >= 2 && i >= count - 1)) continue;
      const std::int32_t slot = (i - 1) % slots;
      if (!s.useColor[slot]) continue;
      const double offset = i * spacing;
      const double lines[2] = {center - offset, offset + center};
      for (double p : lines) {
        if (!(p >= -margin && p <= size + margin)) continue;
        if (axis == 0)
          Vertical<Pixel>(out, p, s.lineWidth, s.colors[slot], s.opacity);
        else
          Horizontal<Pixel>(out, p, s.lineWidth, s.colors[slot], s.opacity);
      }
    }
  }
  return 0;
}

// The output as the whole layer.
template <typename Pixel>
int RenderGrid(const PixelBuffer* source, const PixelBuffer& out, const GridSettings& s) {
  return reference::RenderGrid<Pixel>(source, out, s,
                                      LayerPlacement{out.width * 0.5, out.height * 0.5, 0, 0});
}

}  // namespace tessaline::reference
