#pragma once
// Rectangles as the host exchanges them: left and top inside, right and
// bottom just outside; one with no pixels is empty.
#include <algorithm>

#include "host/HostSdk.h"

namespace tessaline {

inline bool IsEmptyRect(const PF_LRect& r) {
  return !(r.left < r.right && r.top < r.bottom);
}

// The pixels both hold; all zero when they do not meet.
inline PF_LRect IntersectRects(const PF_LRect& a, const PF_LRect& b) {
  const PF_LRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
  return IsEmptyRect(r) ? PF_LRect{} : r;
}

}  // namespace tessaline
