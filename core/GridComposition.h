#pragma once
// One frame of the grid: the base (a copy of the source, or a transparent
// frame), the center cross, then the outer vertical and horizontal lines at
// whole multiples of the spacing on both sides of the center.
//
// Drawing order, which decides every crossing: base; vertical center line;
// horizontal center line; outer vertical lines by increasing index, left before
// right; outer horizontal lines by increasing index, upper before lower.
// "Margin Frame" draws no center cross and only the two outermost indices.
//
// The passes keep no state, allocate nothing and touch only the output; they
// may run on any number of threads at once for different outputs.
#include "core/ErrorCode.h"
#include "core/GridSettings.h"
#include "core/PixelBuffer.h"

namespace tessaline {

// Copies the rows both buffers have, each up to the shorter row length in
// bytes, aligned at the first byte of row 0. kErrBadCallbackParam when either
// buffer or its pixel memory is absent.
ErrorCode CopySourceRows(const PixelBuffer* source, const PixelBuffer* output);

// source may be null in "Grid Only" mode. kErrNone, or kErrBadCallbackParam
// when compositing without source pixels or when the output has no pixels.
ErrorCode RenderGrid8(const PixelBuffer* source, const PixelBuffer& output,
                      const GridSettings& settings);
ErrorCode RenderGrid16(const PixelBuffer* source, const PixelBuffer& output,
                       const GridSettings& settings);
ErrorCode RenderGridFloat(const PixelBuffer* source, const PixelBuffer& output,
                          const GridSettings& settings);

// The vector instructions of the float pass, which gives the same bits with
// each. RenderGridFloat above uses the widest the processor has; a set the
// processor lacks falls back to SSE2.
enum class FloatVectors { kSse2, kAvx512 };
FloatVectors WidestFloatVectors();
ErrorCode RenderGridFloat(const PixelBuffer* source, const PixelBuffer& output,
                          const GridSettings& settings, FloatVectors vectors);

}  // namespace tessaline
