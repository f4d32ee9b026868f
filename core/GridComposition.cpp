#include "core/GridComposition.h"

#include <cstdlib>
#include <cstring>

#include "core/LineStamp.h"

namespace tessaline {
namespace {

template <typename Pixel>
void ClearPixels(const PixelBuffer& output) {
  if (output.width <= 0) return;
  const std::size_t length = std::size_t(output.width) * sizeof(Pixel);
  for (std::int32_t r = 0; r < output.height; ++r) std::memset(RowAddress(output, r), 0, length);
}

// Stamps the outer lines of one axis: for i = 1 to count, the line at
// center - i * spacing, then the one at center + i * spacing.
template <typename Stamp>
void DrawOuterLines(const GridSettings& s, std::int32_t count, double spacing, double center,
                    std::int32_t size, Stamp stamp) {
  const std::int32_t slots = s.outerColorCount > kColorSlotCount ? kColorSlotCount
                             : s.outerColorCount < 1             ? 1
                                                                 : s.outerColorCount;
  const bool marginFrame = s.preset == kPresetMarginFrame;
  const double margin = s.lineWidth * 0.5 + 1.0;
  const double extent = size + margin;
  for (std::int32_t i = 1; i <= count; ++i) {
    const double offset = i * spacing;
    const double low = center - offset;
    const double high = offset + center;
    // Offsets only grow with i: once both lines are past the margin, so are all later ones.
    if (spacing > 0.0 && low < -margin && high > extent) break;
    if (marginFrame && !(count >= 2 && i >= count - 1)) continue;
    const std::int32_t slot = (i - 1) % slots;
    if (!s.useColor[slot]) continue;
    const GridColor& color = s.colors[slot];
    if (low >= -margin && low <= extent) stamp(low, color);
    if (high >= -margin && high <= extent) stamp(high, color);
  }
}

template <typename Pixel>
ErrorCode RenderGrid(const PixelBuffer* source, const PixelBuffer& output, const GridSettings& s) {
  if (s.blendMode == kBlendGridOnly) {
    if (output.data == nullptr) return kErrBadCallbackParam;
    ClearPixels<Pixel>(output);
  } else if (const ErrorCode err = CopySourceRows(source, &output); err != kErrNone) {
    return err;
  }
  if (!(s.opacity > 0.0)) return kErrNone;
  if (output.width <= 0 || output.height <= 0) return kErrNone;

  const double cx = output.width * 0.5;
  const double cy = output.height * 0.5;
  if (s.preset != kPresetMarginFrame) {
    StampVerticalLine<Pixel>(output, cx, s.centerLineWidth, s.centerColor, s.opacity);
    StampHorizontalLine<Pixel>(output, cy, s.centerLineWidth, s.centerColor, s.opacity);
  }
  DrawOuterLines(s, s.xCount, s.xSpacing, cx, output.width, [&](double x, const GridColor& color) {
    StampVerticalLine<Pixel>(output, x, s.lineWidth, color, s.opacity);
  });
  DrawOuterLines(s, s.yCount, s.ySpacing, cy, output.height, [&](double y, const GridColor& color) {
    StampHorizontalLine<Pixel>(output, y, s.lineWidth, color, s.opacity);
  });
  return kErrNone;
}

}  // namespace

ErrorCode CopySourceRows(const PixelBuffer* source, const PixelBuffer* output) {
  if (source == nullptr || output == nullptr || source->data == nullptr ||
      output->data == nullptr) {
    return kErrBadCallbackParam;
  }
  const std::int32_t rows = source->height < output->height ? source->height : output->height;
  const std::int64_t sourceLength = std::llabs(source->rowbytes);
  const std::int64_t outputLength = std::llabs(output->rowbytes);
  const std::size_t length = std::size_t(sourceLength < outputLength ? sourceLength : outputLength);
  for (std::int32_t r = 0; r < rows; ++r) {
    std::memmove(RowAddress(*output, r), RowAddress(*source, r), length);
  }
  return kErrNone;
}

ErrorCode RenderGrid8(const PixelBuffer* source, const PixelBuffer& output,
                      const GridSettings& settings) {
  return RenderGrid<Pixel8>(source, output, settings);
}

ErrorCode RenderGrid16(const PixelBuffer* source, const PixelBuffer& output,
                       const GridSettings& settings) {
  return RenderGrid<Pixel16>(source, output, settings);
}

ErrorCode RenderGridFloat(const PixelBuffer* source, const PixelBuffer& output,
                          const GridSettings& settings) {
  return RenderGrid<PixelFloat>(source, output, settings);
}

}  // namespace tessaline
