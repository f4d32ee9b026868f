#include "core/GridComposition.h"

#include <algorithm>
#include <cstdint>

#include "core/FrameBase.h"
#include "core/Kernels.h"
#include "core/LineOrder.h"
#include "core/LinePlan.h"
#include "core/LineStamp.h"
#include "core/RowWrites.h"
#include "core/SpanBlend.h"

// A frame is rendered in one pass, part by part: bands of rows drawn where
// they lie, or rows written out once, in order, with streaming stores. Each
// part gets its base (FrameBase: the source's pixels, or transparent zero)
// and then every line of the grid that touches it, in drawing order
// (LinePlan). In streamed rows the bytes that no line touches go from the
// source to the output with nothing in between.
//
// Where bands do not apply, the frame is drawn as the stamps draw it: the
// base of the whole frame first, then each line over the whole frame in turn.
// That is the case for output rows that share bytes, a source that shares
// bytes with the output, and line sets too large for the plan on the stack.

namespace tessaline {
namespace {

// Bands of rows drawn in place: small enough to stay in the cache between
// their base and their lines.
constexpr std::size_t kBandBytes = 256 * 1024;
// The least room per vertical line, in pixels of a row, for rows written
// with streaming stores (see RenderGrid): drawn a row at a time, a vertical
// line costs several times what it costs in bands, which closer lines than
// this make more than streaming saves, at every depth.
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

// The frame row by row, every byte of it written once, in order, with
// streaming stores: the output's memory is never read.
//
// A row that no horizontal line touches goes straight from the source to
// the output, but for the stretches that vertical lines touch: each is laid
// in a buffer that stays in the cache, drawn there, and written out. A row
// that horizontal lines touch goes through the buffer in pieces, the source
// of the next piece fetched while one is drawn. In "Grid Only" the rows
// that no horizontal line touches are alike: the first is drawn in place,
// and the others are written from it.
template <typename Pixel, typename Plan>
void DrawStreamed(const FrameBase<Pixel>& base, Plan& plan, const PixelBuffer& output,
                  bool rowsAlike, const ByteKernels& kernels) {
  const Pixel* plainRow = nullptr;
  StreamedWrites out(kernels);
  alignas(64) std::byte buffer[kPieceBytes + 64];
  constexpr auto kColumns = std::int32_t(kPieceBytes / sizeof(Pixel));
  // Where a pixel at `to` lies against cache lines, and where the buffer
  // holds it so that it lies there too.
  const auto lineShift = [](const Pixel* to) {
    return std::int32_t(reinterpret_cast<std::uintptr_t>(to) % 64);
  };
  const auto inBuffer = [&](const Pixel* to) {
    return reinterpret_cast<Pixel*>(buffer + lineShift(to));
  };
  // Columns [first, end) of row r through the buffer, in pieces that end on
  // cache lines of the row.
  const auto drawPieces = [&](std::int32_t r, std::int32_t first, std::int32_t end,
                              const auto& draw) {
    for (std::int32_t column = first; column < end;) {
      Pixel* to = PixelRow<Pixel>(output, r) + column;
      const std::int32_t next =
          std::min(column + kColumns - lineShift(to) / std::int32_t(sizeof(Pixel)), end);
      Pixel* at = inBuffer(to);
      base.Lay(at, r, column, next);
      draw(at, column, next);
      out.Write(reinterpret_cast<std::byte*>(to), reinterpret_cast<const std::byte*>(at),
                std::size_t(next - column) * sizeof(Pixel));
      column = next;
    }
  };
  for (std::int32_t first = 0; first < output.height;) {
    const std::int32_t end = plan.Layout().RowsAlike(first, Plan::kMaxTileRows);
    const bool rowLines = plan.SelectRows(first, end);
    if (!rowLines && rowsAlike) {
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
    } else if (!rowLines) {
      for (std::int32_t r = first; r < end; ++r) {
        Pixel* row = PixelRow<Pixel>(output, r);
        std::int32_t count = 0, column = 0;
        const auto* stretches = plan.Stretches(lineShift(row) / std::int32_t(sizeof(Pixel)), count);
        const Pixel* whole = base.WholeRow(r);
        for (const auto* s = stretches; s != stretches + count; ++s) {
          const auto bytes = std::size_t(s->end - s->first) * sizeof(Pixel);
          if (whole == nullptr || bytes > kPieceBytes) {
            base.Stream(out, row + column, r, column, s->first);
            drawPieces(r, s->first, s->end, [&](Pixel* at, std::int32_t from, std::int32_t to) {
              plan.Draw(Tile<Pixel>{at, 0, r, r + 1, from, to});
            });
          } else {
            // The usual row: a source that covers it, and a stretch of a line or a few.
            out.Write(reinterpret_cast<std::byte*>(row + column),
                      reinterpret_cast<const std::byte*>(whole + column),
                      std::size_t(s->first - column) * sizeof(Pixel));
            Pixel* at = inBuffer(row + s->first);
            kernels.copyBytes(reinterpret_cast<std::byte*>(at),
                              reinterpret_cast<const std::byte*>(whole + s->first), bytes);
            plan.DrawStretch(Tile<Pixel>{at, 0, r, r + 1, s->first, s->end}, *s);
            out.Write(reinterpret_cast<std::byte*>(row + s->first),
                      reinterpret_cast<const std::byte*>(at), bytes);
          }
          column = s->end;
        }
        base.Stream(out, row + column, r, column, output.width);
      }
    } else {
      for (std::int32_t r = first; r < end; ++r)
        drawPieces(r, 0, output.width, [&](Pixel* at, std::int32_t from, std::int32_t to) {
          if (to < output.width)
            base.Fetch(r, to, std::min(to + kColumns, output.width));
          else if (r + 1 < output.height)
            base.Fetch(r + 1, 0, std::min(kColumns, output.width));
          plan.Draw(Tile<Pixel>{at, 0, r, r + 1, from, to});
        });
    }
    first = end;
  }
  // The frame is complete for other threads only after this.
  out.Finish();
}

template <typename Pixel, typename Blend>
ErrorCode RenderGrid(const PixelBuffer* source, const PixelBuffer& output, const GridSettings& s,
                     const LayerPlacement& placement, IsaLevel level) {
  if (output.width <= 0 || output.height <= 0) return kErrNone;
  if (output.data == nullptr) return kErrBadCallbackParam;
  const ByteKernels& kernels = KernelsFor(level);
  const FrameBase<Pixel> base(s.blendMode == kBlendGridOnly ? nullptr : source, output, placement,
                              kernels);

  LinePlan<Pixel, Blend> plan;
  if (RowsShareBytes<Pixel>(output) || base.SharesBytesWithOutput() ||
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
  if (frameBytes >= StreamingThreshold() &&
      output.width >= std::int64_t{kMinLinePixels} * plan.Layout().VerticalCount())
    DrawStreamed(base, plan, output, s.blendMode == kBlendGridOnly, kernels);
  else
    DrawInPlace(base, plan, output);
  return kErrNone;
}

// Renders run on the caller's stack (the host's render threads); keep the plan
// well inside it.
static_assert(sizeof(LinePlan<Pixel8, SpanBlend<Pixel8>>) + kPieceBytes < 80 * 1024);
static_assert(sizeof(LinePlan<Pixel16, SpanBlend<Pixel16>>) + kPieceBytes < 80 * 1024);
static_assert(sizeof(LinePlan<PixelFloat, SpanBlend<PixelFloat>>) + kPieceBytes < 80 * 1024);

}  // namespace

LayerPlacement CenteredPlacement(const PixelBuffer& output) {
  return LayerPlacement{output.width * 0.5, output.height * 0.5, 0, 0};
}

ErrorCode RenderGrid8(const PixelBuffer* source, const PixelBuffer& output,
                      const GridSettings& settings, const LayerPlacement& placement) {
  return RenderGrid<Pixel8, SpanBlend<Pixel8>>(source, output, settings, placement, ActiveIsa());
}

ErrorCode RenderGrid16(const PixelBuffer* source, const PixelBuffer& output,
                       const GridSettings& settings, const LayerPlacement& placement) {
  return RenderGrid<Pixel16, SpanBlend<Pixel16>>(source, output, settings, placement, ActiveIsa());
}

ErrorCode RenderGridFloat(const PixelBuffer* source, const PixelBuffer& output,
                          const GridSettings& settings, const LayerPlacement& placement) {
  const IsaLevel level = ActiveIsa();
#if TESSALINE_SSE2
  if (level == IsaLevel::kAvx512)
    return RenderGrid<PixelFloat, SpanBlendAvx512>(source, output, settings, placement, level);
  if (level == IsaLevel::kAvx2)
    return RenderGrid<PixelFloat, SpanBlendAvx2>(source, output, settings, placement, level);
#endif
  return RenderGrid<PixelFloat, SpanBlend<PixelFloat>>(source, output, settings, placement, level);
}

}  // namespace tessaline
