#pragma once
// The straight-alpha blend: BlendPixel for pixels that are not opaque, whose
// color divides by the new alpha. Runs of equal pixels are the rule where it
// is needed (a transparent frame, a line drawn down a column over it), so
// the last pixel blended and its result are kept: one comparison in place
// of the arithmetic.
#include <cstring>

#include "core/PixelBlend.h"

namespace tessaline {

// Kept for one run of one blend, and made for every run: it refers to the
// blend's terms and copies nothing until a pixel needs it.
template <typename Pixel>
class StraightBlend {
 public:
  explicit StraightBlend(const BlendTerms& terms) : terms_(terms) {}
  void operator()(Pixel& p) {
    if (!known_ || std::memcmp(&p, &old_, sizeof(Pixel)) != 0) {
      old_ = p;
      new_ = BlendPixel(p, terms_);
      known_ = true;
    }
    p = new_;
  }

 private:
  const BlendTerms& terms_;
  Pixel old_{}, new_{};
  bool known_ = false;
};

}  // namespace tessaline
