#pragma once
// One frame of the grid: the base (a copy of the source, or a transparent
// frame), the center cross, then the outer vertical and horizontal lines at
// whole multiples of the spacing on both sides of the center.
//
// The output is a window onto the layer: the grid's center and the source's
// position are given in the output's pixel positions, and may lie anywhere,
// outside the output too. Lines cross the whole output. Output pixel (r, c)
// starts as the source's pixel (r - sourceY, c - sourceX) where the source has
// one, and as transparent zero elsewhere (and everywhere in "Grid Only").
// Only the width x height pixels of each buffer are read or written.
//
// Drawing order, which decides every crossing: base; vertical center line;
// horizontal center line; outer vertical lines by increasing index, left before
// right; outer horizontal lines by increasing index, upper before lower.
// "Margin Frame" draws no center cross and only the two outermost indices.
//
// The passes keep no state, allocate nothing and touch only the output; they
// may run on any number of threads at once for different outputs.
#include <cstdint>

#include "core/ErrorCode.h"
#include "core/GridSettings.h"
#include "core/PixelBuffer.h"

namespace tessaline {

// Where the layer lies in the output.
struct LayerPlacement {
  double centerX = 0.0, centerY = 0.0;    // the grid's center
  std::int64_t sourceX = 0, sourceY = 0;  // where the source's pixel (0, 0) lands
};

// The center of the output, the source at its top-left: the output is the layer.
LayerPlacement CenteredPlacement(const PixelBuffer& output);

// One frame at the depth of Pixel (Pixel8, Pixel16 or PixelFloat, for which
// it is instantiated). A source that is absent, or has no rows, no columns or
// no pixel memory, has no pixels. kErrNone, or kErrBadCallbackParam when the
// output has rows and columns but no pixel memory.
template <typename Pixel>
ErrorCode RenderGrid(const PixelBuffer* source, const PixelBuffer& output,
                     const GridSettings& settings, const LayerPlacement& placement);

// The frame at each depth, by name.
inline constexpr auto& RenderGrid8 = RenderGrid<Pixel8>;
inline constexpr auto& RenderGrid16 = RenderGrid<Pixel16>;
inline constexpr auto& RenderGridFloat = RenderGrid<PixelFloat>;

}  // namespace tessaline
