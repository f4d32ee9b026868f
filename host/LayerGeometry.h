#pragma once
// Where the layer is, as the host's rectangles and worlds say it.
//
// Rectangles and world origins are in layer coordinates at the render's
// resolution: (0, 0) is the top-left pixel of the layer before any effect.
// in_data's width and height are the layer's size at full resolution; the
// downsample factors (num / den, 1 when not a valid fraction) scale it to the
// render's resolution.
#include "host/HostSdk.h"

namespace tessaline {

double DownsampleFactor(const PF_RationalScale& scale);

// (0, 0, ceil(width * x), ceil(height * y)), worked out in integers; a size
// not above 0 gives an empty rectangle.
PF_LRect LayerRect(const PF_InData& in_data);

// The layer's center at the render's resolution, in layer coordinates.
struct LayerCenter {
  double x, y;
};
LayerCenter CenterOf(const PF_InData& in_data);

bool IsEmpty(const PF_LRect& r);
// The smallest rectangle holding both; an empty one counts as nothing, and
// two give the empty rectangle (0, 0, 0, 0).
PF_LRect Union(const PF_LRect& a, const PF_LRect& b);
// The pixels both hold; (0, 0, 0, 0) when they do not meet.
PF_LRect Intersection(const PF_LRect& a, const PF_LRect& b);

}  // namespace tessaline
