#pragma once
// The grid drawn by the plain, literal algorithm: every line stamped on its
// own, every pixel of a line's window blended one after the other, in the
// drawing order of the composition. Optimised passes are checked against it
// to the bit.
#include <cmath>
#include <cstdint>
#include <cstring>

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

template <typename Channel>
Channel BlendChannel(Channel old, double v, double x, double fullScale) {
  const double keep = 1.0 - x;
  const double t = (old / fullScale) * keep + x * v;
  const double n = std::round(t * fullScale);
  if (n > fullScale) return static_cast<Channel>(fullScale);
  if (!(n > 0.0)) return 0;
  return static_cast<Channel>(n);
}

inline float BlendChannel(float old, double v, double x, double) {
  const double keep = 1.0 - x;
  return static_cast<float>(static_cast<double>(old) * keep + x * v);
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

template <typename Pixel>
void Blend(Pixel& p, const GridColor& color, double x) {
  constexpr double full = FullScale<Pixel>();
  p.red = BlendChannel(p.red, color.red, x, full);
  p.green = BlendChannel(p.green, color.green, x, full);
  p.blue = BlendChannel(p.blue, color.blue, x, full);
  p.alpha = BlendChannel(p.alpha, 1.0, x, full);
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

inline int CopyRows(const PixelBuffer* src, const PixelBuffer* out) {
  if (!src || !out || !src->data || !out->data) return 516;
  const std::int32_t rows = src->height < out->height ? src->height : out->height;
  const std::int64_t a = std::llabs(src->rowbytes), b = std::llabs(out->rowbytes);
  const std::int64_t length = a < b ? a : b;
  for (std::int32_t r = 0; r < rows; ++r)
    std::memmove(static_cast<std::byte*>(out->data) + std::int64_t{r} * out->rowbytes,
                 static_cast<std::byte*>(src->data) + std::int64_t{r} * src->rowbytes,
                 std::size_t(length));
  return 0;
}

template <typename Pixel>
int RenderGrid(const PixelBuffer* source, const PixelBuffer& out, const GridSettings& s) {
  if (s.blendMode == 2) {
    if (!out.data) return 516;
    for (std::int32_t r = 0; r < out.height; ++r)
      for (std::int32_t c = 0; c < out.width; ++c) At<Pixel>(out, r, c) = Pixel{};
  } else if (int err = CopyRows(source, &out); err != 0) {
    return err;
  }
  if (!(s.opacity > 0.0)) return 0;
  if (out.width <= 0 || out.height <= 0) return 0;
  const double cx = out.width * 0.5, cy = out.height * 0.5;
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

}  // namespace tessaline::reference
