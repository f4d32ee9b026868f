#pragma once
// The composition pass of a pixel type, for code written once over the three
// depths (typed tests, the benchmark). Without a placement the output is the
// whole layer.
#include "core/GridComposition.h"

namespace tessaline::test {

template <typename Pixel>
ErrorCode RenderPass(const PixelBuffer* source, const PixelBuffer& output, const GridSettings& s,
                     const LayerPlacement& placement) {
  if constexpr (sizeof(Pixel) == sizeof(Pixel8))
    return RenderGrid8(source, output, s, placement);
  else if constexpr (sizeof(Pixel) == sizeof(Pixel16))
    return RenderGrid16(source, output, s, placement);
  else
    return RenderGridFloat(source, output, s, placement);
}

template <typename Pixel>
ErrorCode RenderPass(const PixelBuffer* source, const PixelBuffer& output, const GridSettings& s) {
  return RenderPass<Pixel>(source, output, s, CenteredPlacement(output));
}

}  // namespace tessaline::test
