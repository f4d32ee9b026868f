#include "core/GridComposition.h"

#include <algorithm>
#include <cstdint>

#include "core/FrameBase.h"
#include "core/LineOrder.h"
#include "core/LinePlan.h"
#include "core/LineStamp.h"
#include "core/RowWrites.h"
#include "core/SpanBlend.h"

// A frame is rendered in one pass, part by part: bands of rows drawn where
// they lie, or pieces of rows drawn in the cache and then written out once.
// Each part gets its base (FrameBase: the source's pixels, or transparent
// zero) and then every line of the grid that touches it, in drawing order
// (LinePlan).
//
// Where bands do not apply, the frame is drawn as the stamps draw it: the
// base of the whole frame first, then each line over the whole frame in turn.
// That is the case for output rows that share bytes, a source that shares
// bytes with the output, and line sets too large for the plan on the stack.

namespace tessaline {
namespace {

// Output frames of at least this many bytes are written with streaming
// stores: they do not read the output's memory first, and do not fill the
// cache with a frame larger than it. Smaller ones, with their source, stay in
// the last-level cache of a large processor (32 MiB here), where writing in
// place is faster.
constexpr std::size_t kStreamingBytes = std::size_t{24} << 20;

// Bands of rows drawn in place: small enough to stay in the cache between
// their base and their lines.
constexpr std::size_t kBandBytes = 256 * 1024;
// The least room per vertical line, in pixels of a row, for rows written
// with streaming stores (see RenderGrid). Measured: drawn a row at a time, a
// vertical line costs about three times what it costs in bands, which closer
// lines than this make more than streaming saves, at every depth.
constexpr std::int32_t kMinLinePixels = 32;
// Pieces of rows drawn apart and then written out: small enough to stay in
// the first-level cache, large enough to be written at memory's speed.
constexpr std::size_t kPieceBytes = 4 * 1024;

// The composition as stamped line by line over the whole frame.
template <typename Pixel>
void StampLineByLine(const PixelBuffer& output, const GridSettings& s, double cx, double cy) {
  const auto styles = LineStyles(s);
  ForEachLine(s, output.width, output.height, cx, cy, [&](const GridLine& line) {
    const LineStyle& style = styles[std::size_t(line.style)];
    if (line.axis == Axis::kVertical)
      StampVerticalLine<Pixel>(output, line.position, style.width, *style.color, s.opacity);
    else
      StampHorizontalLine<Pixel>(output, line.position, style.width, *style.color, s.opacity);
  });
}

// The frame in bands of rows, each laid and drawn where it lies in the output.
template <typename Pixel, typename Plan>
void DrawInPlace(const FrameBase<Pixel>& base, Plan& plan, const PixelBuffer& output) {
  const std::size_t fit = kBandBytes / (std::size_t(output.width) * sizeof(Pixel));
  const auto bandRows = std::int32_t(std::clamp<std::size_t>(fit, 1, Plan::kMaxTileRows));
  for (std::int32_t first = 0; first < output.height; first += bandRows) {
    const std::int32_t end = std::min(first + bandRows, output.height);
    base.LayRows(output, first, end);
    plan.SelectRows(first, end);
    plan.Draw(
        Tile<Pixel>{PixelRow<Pixel>(output, first), output.rowbytes, first, end, 0, output.width});
  }
}

// The frame row by row, each row in pieces laid and drawn in a buffer that
// stays in the cache and then written out with streaming stores: every
// output byte is written once, in order, and the output's memory is never
// read. The source of the next piece is fetched while a piece is drawn.
//
// In "Grid Only" the rows that no horizontal line touches are alike: the
// first is drawn in place, and the others are written from it.
template <typename Pixel, typename Plan>
void DrawStreamed(const FrameBase<Pixel>& base, Plan& plan, const PixelBuffer& output,
                  bool rowsAlike) {
  const Pixel* plainRow = nullptr;
  StreamedWrites out;
  alignas(64) std::byte buffer[kPieceBytes + 64];
  constexpr auto kColumns = std::int32_t(kPieceBytes / sizeof(Pixel));
  // Pieces end on cache lines of the output's first row.
  const auto shift = std::int32_t(reinterpret_cast<std::uintptr_t>(PixelRow<Pixel>(output, 0)) %
                                  64 / sizeof(Pixel));
  const auto pieceEnd = [&](std::int32_t column) {
    return std::min(column + kColumns - (column == 0 ? shift : 0), output.width);
  };
  for (std::int32_t first = 0; first < output.height;) {
    const std::int32_t end = plan.Layout().RowsAlike(first, Plan::kMaxTileRows);
    if (!plan.SelectRows(first, end) && rowsAlike) {
      std::int32_t r = first;
      if (plainRow == nullptr) {
        base.LayRows(output, r, r + 1);
        plan.Draw(Tile<Pixel>{PixelRow<Pixel>(output, r), 0, r, r + 1, 0, output.width});
        plainRow = PixelRow<Pixel>(output, r++);
      }
      for (; r < end; ++r)
        WritePlainRow<Pixel>(out, reinterpret_cast<std::byte*>(PixelRow<Pixel>(output, r)),
                             reinterpret_cast<const std::byte*>(plainRow), output.width,
                             plan.Layout().TouchedColumns());
      first = end;
      continue;
    }
    for (std::int32_t r = first; r < end; ++r) {
      for (std::int32_t column = 0; column < output.width;) {
        const std::int32_t next = pieceEnd(column);
        Pixel* to = PixelRow<Pixel>(output, r) + column;
        // The piece sits in the buffer as in the output against cache lines.
        const Tile<Pixel> tile{
            reinterpret_cast<Pixel*>(buffer + reinterpret_cast<std::uintptr_t>(to) % 64),
            0,
            r,
            r + 1,
            column,
            next};
        base.Lay(tile.data, r, column, next);
        if (next < output.width)
          base.Fetch(r, next, pieceEnd(next));
        else if (r + 1 < output.height)
          base.Fetch(r + 1, 0, pieceEnd(0));
        plan.Draw(tile);
        out.Write(reinterpret_cast<std::byte*>(to), reinterpret_cast<const std::byte*>(tile.data),
                  std::size_t(next - column) * sizeof(Pixel));
        column = next;
      }
    }
    first = end;
  }
  // The frame is complete for other threads only after this.
  out.Finish();
}

template <typename Pixel, typename Blend>
ErrorCode RenderGrid(const PixelBuffer* source, const PixelBuffer& output, const GridSettings& s,
                     const LayerPlacement& placement) {
  if (output.width <= 0 || output.height <= 0) return kErrNone;
  if (output.data == nullptr) return kErrBadCallbackParam;
  const FrameBase<Pixel> base(s.blendMode == kBlendGridOnly ? nullptr : source, output, placement);

  LinePlan<Pixel, Blend> plan;
  if (RowsShareBytes<Pixel>(output) || (base.copies() && SharesBytes<Pixel>(*source, output)) ||
      !plan.Build(s, output.width, output.height, placement.centerX, placement.centerY)) {
    base.LayRows(output, 0, output.height);
    if (s.opacity > 0.0) StampLineByLine<Pixel>(output, s, placement.centerX, placement.centerY);
    return kErrNone;
  }
  // Frames larger than the cache are written with streaming stores; smaller
  // ones in place, so that the next effect finds them in the cache. Drawn a
  // row at a time, each vertical line is set up once a row, and in bands
  // once a band: where the lines lie closer than kMinLinePixels apart, that
  // costs more than the reads of the output that streaming saves.
  const std::size_t frameBytes =
      std::size_t(output.width) * sizeof(Pixel) * std::size_t(output.height);
  if (frameBytes >= kStreamingBytes &&
      output.width >= std::int64_t{kMinLinePixels} * plan.Layout().VerticalCount())
    DrawStreamed(base, plan, output, s.blendMode == kBlendGridOnly);
  else
    DrawInPlace(base, plan, output);
  return kErrNone;
}

// Renders run on the caller's stack (the host's render threads); keep the plan
// well inside it.
static_assert(sizeof(LinePlan<Pixel8, SpanBlend<Pixel8>>) + kPieceBytes < 80 * 1024);
static_assert(sizeof(LinePlan<PixelFloat, SpanBlend<PixelFloat>>) + kPieceBytes < 64 * 1024);

}  // namespace

LayerPlacement CenteredPlacement(const PixelBuffer& output) {
  return LayerPlacement{output.width * 0.5, output.height * 0.5, 0, 0};
}

ErrorCode RenderGrid8(const PixelBuffer* source, const PixelBuffer& output,
                      const GridSettings& settings, const LayerPlacement& placement) {
  return RenderGrid<Pixel8, SpanBlend<Pixel8>>(source, output, settings, placement);
}

ErrorCode RenderGrid16(const PixelBuffer* source, const PixelBuffer& output,
                       const GridSettings& settings, const LayerPlacement& placement) {
  return RenderGrid<Pixel16, SpanBlend<Pixel16>>(source, output, settings, placement);
}

ErrorCode RenderGridFloat(const PixelBuffer* source, const PixelBuffer& output,
                          const GridSettings& settings, const LayerPlacement& placement) {
  return RenderGridFloat(source, output, settings, placement, WidestFloatVectors());
}

ErrorCode RenderGridFloat(const PixelBuffer* source, const PixelBuffer& output,
                          const GridSettings& settings, const LayerPlacement& placement,
                          FloatVectors vectors) {
  if (vectors == FloatVectors::kAvx512 && WidestFloatVectors() == FloatVectors::kAvx512)
    return RenderGrid<PixelFloat, SpanBlendAvx512>(source, output, settings, placement);
  return RenderGrid<PixelFloat, SpanBlend<PixelFloat>>(source, output, settings, placement);
}

}  // namespace tessaline
