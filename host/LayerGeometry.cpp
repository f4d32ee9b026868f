#include "host/LayerGeometry.h"

#include <algorithm>
#include <cstdint>

namespace tessaline {
namespace {

bool IsValid(const PF_RationalScale& scale) {
  return scale.num > 0 && scale.den > 0;
}

// ceil(size * num / den), limited to what a rectangle can hold.
A_long ScaledSize(A_long size, const PF_RationalScale& scale) {
  if (size <= 0) return 0;
  if (!IsValid(scale)) return size;
  const std::int64_t den = scale.den;
  const std::int64_t scaled = (std::int64_t{size} * scale.num + den - 1) / den;
  return A_long(std::min<std::int64_t>(scaled, INT32_MAX));
}

}  // namespace

double DownsampleFactor(const PF_RationalScale& scale) {
  return IsValid(scale) ? double(scale.num) / double(scale.den) : 1.0;
}

PF_LRect LayerRect(const PF_InData& in_data) {
  return PF_LRect{0, 0, ScaledSize(in_data.width, in_data.downsample_x),
                  ScaledSize(in_data.height, in_data.downsample_y)};
}

LayerCenter CenterOf(const PF_InData& in_data) {
  return LayerCenter{in_data.width * DownsampleFactor(in_data.downsample_x) * 0.5,
                     in_data.height * DownsampleFactor(in_data.downsample_y) * 0.5};
}

bool IsEmpty(const PF_LRect& r) {
  return !(r.left < r.right && r.top < r.bottom);
}

PF_LRect Union(const PF_LRect& a, const PF_LRect& b) {
  if (IsEmpty(a)) return IsEmpty(b) ? PF_LRect{} : b;
  if (IsEmpty(b)) return a;
  return PF_LRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                  std::max(a.bottom, b.bottom)};
}

PF_LRect Intersection(const PF_LRect& a, const PF_LRect& b) {
  const PF_LRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
  return IsEmpty(r) ? PF_LRect{} : r;
}

}  // namespace tessaline
