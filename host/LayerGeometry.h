#pragma once
// Where the layer is, as the host's rectangles and worlds say it.
//
// Rectangles and world origins are in layer coordinates at the render's
// resolution: (0, 0) is the top-left pixel of the layer before any effect.
// in_data's width and height are the layer's size at full resolution; the
// downsample factors (num / den, 1 when not a valid fraction) scale it to the
// render's resolution. Some hosts leave width or height 0: along such an axis
// the layer's size comes from what the command itself holds (SizeAround).
#include <cstdint>

#include "host/HostSdk.h"

namespace tessaline {

double DownsampleFactor(const PF_RationalScale& scale);

// The layer's size in render pixels, for the axes along which in_data gives none.
struct RenderSize {
  std::int64_t width, height;
};

// The layer's size when all that is known is the extent of what lies around
// it (left, top, right, bottom in layer coordinates): whatever an earlier
// effect added on the near side is taken to lie on the far side too.
RenderSize SizeAround(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom);

// (0, 0, ceil(width * x), ceil(height * y)), worked out in integers; along an
// axis whose in_data size is not above 0, the size from `sparse` (an empty
// side when that is not above 0 either).
PF_LRect LayerRect(const PF_InData& in_data, const RenderSize& sparse);

// The layer's center at the render's resolution, in layer coordinates; along
// an axis whose in_data size is not above 0, half the size from `sparse`.
struct LayerCenter {
  double x, y;
};
LayerCenter CenterOf(const PF_InData& in_data, const RenderSize& sparse);

bool IsEmpty(const PF_LRect& r);
// The smallest rectangle holding both; an empty one counts as nothing, and
// two give the empty rectangle (0, 0, 0, 0).
PF_LRect Union(const PF_LRect& a, const PF_LRect& b);
// The pixels both hold; (0, 0, 0, 0) when they do not meet.
PF_LRect Intersection(const PF_LRect& a, const PF_LRect& b);

}  // namespace tessaline
