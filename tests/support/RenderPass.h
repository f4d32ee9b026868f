#pragma once
// The composition pass of a pixel type, for code written once over the three
// depths (typed tests, the benchmark).
#include "core/GridComposition.h"

namespace tessaline::testing {

template <typename Pixel>
ErrorCode RenderPass(const PixelBuffer* source, const PixelBuffer& output, const GridSettings& s) {
  if constexpr (sizeof(Pixel) == sizeof(Pixel8))
    return RenderGrid8(source, output, s);
  else if constexpr (sizeof(Pixel) == sizeof(Pixel16))
    return RenderGrid16(source, output, s);
  else
    return RenderGridFloat(source, output, s);
}

}  // namespace tessaline::testing
