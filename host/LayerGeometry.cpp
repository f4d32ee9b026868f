#include "host/LayerGeometry.h"

#include <algorithm>
#include <cstdint>

namespace tessaline {
namespace {

bool IsValid(const PF_RationalScale& scale) {
  return scale.num > 0 && scale.den > 0;
}

// ceil(size * num / den), the size itself without a valid factor, or the
// sparse size when size is not above 0; limited to what a rectangle can hold.
A_long ScaledSize(A_long size, const PF_RationalScale& scale, std::int64_t sparse) {
  std::int64_t scaled = sparse;
  if (size > 0 && IsValid(scale)) {
    const std::int64_t den = scale.den;
    scaled = (std::int64_t{size} * scale.num + den - 1) / den;
  } else if (size > 0) {
    scaled = size;
  }
  return A_long(std::clamp<std::int64_t>(scaled, 0, INT32_MAX));
}

double Half(A_long size, const PF_RationalScale& scale, std::int64_t sparse) {
  return size > 0 ? size * DownsampleFactor(scale) * 0.5 : double(sparse) * 0.5;
}

}  // namespace

double DownsampleFactor(const PF_RationalScale& scale) {
  return IsValid(scale) ? double(scale.num) / double(scale.den) : 1.0;
}

RenderSize SizeAround(std::int64_t left, std::int64_t top, std::int64_t right,
                      std::int64_t bottom) {
  return RenderSize{left + right, top + bottom};
}

PF_LRect LayerRect(const PF_InData& in_data, const RenderSize& sparse) {
  return PF_LRect{0, 0, ScaledSize(in_data.width, in_data.downsample_x, sparse.width),
                  ScaledSize(in_data.height, in_data.downsample_y, sparse.height)};
}

LayerCenter CenterOf(const PF_InData& in_data, const RenderSize& sparse) {
  return LayerCenter{Half(in_data.width, in_data.downsample_x, sparse.width),
                     Half(in_data.height, in_data.downsample_y, sparse.height)};
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
