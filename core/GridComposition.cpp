#include "core/GridComposition.h"

#include <algorithm>
#include <cstdint>

#include "core/Backdrop.h"
#include "core/ByteOverlap.h"
#include "core/GridLines.h"
#include "core/Kernels.h"
#include "core/LineStamp.h"
#include "core/StagedRows.h"
#include "core/StreamedWrites.h"
#include "core/TileDrawer.h"

// A frame is rendered in one pass, part by part: bands of rows drawn where
// they lie, or rows written out once, in order, with streaming stores. Each
// part gets its backdrop (the source's pixels, or transparent zero) and then
// every line of the grid that touches it, in drawing order (TileDrawer). In
// streamed rows the bytes that no line touches go from the source to the
// output with nothing in between.
//
// Where bands do not apply, the frame is drawn as the stamps draw it: the
// backdrop of the whole frame first, then each line over the whole frame in
// turn. That is the case for output rows that share bytes, a source that
// shares bytes with the output, and line sets too large for the drawer on
// the stack.

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
// The staged lines of a row (StagedRows): room for a line every 40 bytes of
// a row of 7680 8-bit pixels, or every 128 bytes of 16-bit and float ones,
// within the render's stack bound below.
template <typename Pixel>
constexpr std::size_t kStagingBytes = sizeof(Pixel) == 4 ? 6 * 1024 : 8 * 1024;

// The composition as stamped line by line over the whole frame.
template <typename Pixel>
void StampLineByLine(const PixelBuffer& output, const GridSettings& s, double cx, double cy) {
  const auto styles = LineStyles(s);
  ForEachLine(s, output.width, output.height, cx, cy, [&](const GridLine& line) {
    const LineStyle& style = styles[std::size_t(line.style)];
    StampLine<Pixel>(output, line.axis, line.position, style.width, *style.color, s.opacity);
  });
}

// The frame in bands of rows, each laid and drawn where it lies in the output.
template <typename Pixel>
void DrawInPlace(const Backdrop<Pixel>& backdrop, TileDrawer<Pixel>& drawer,
                 const PixelBuffer& output) {
  const std::size_t fit = kBandBytes / (std::size_t(output.width) * sizeof(Pixel));
  const auto bandRows =
      std::int32_t(std::clamp<std::size_t>(fit, 1, TileDrawer<Pixel>::kMaxTileRows));
  for (std::int32_t first = 0; first < output.height; first += bandRows) {
    const std::int32_t end = std::min(first + bandRows, output.height);
    backdrop.LayRows(output, first, end);
    drawer.SelectRows(first, end);
    drawer.Draw(
        Tile<Pixel>{PixelRow<Pixel>(output, first), output.rowbytes, first, end, 0, output.width});
  }
}

// The frame row by row, every byte of it written once, in order, with
// streaming stores: the output's memory is never read.
//
// Rows that no horizontal line touches are staged (StagedRows): only their
// lines that vertical lines touch pass through a buffer. Other rows, and
// rows whose source covers only part of them, go through the buffer in
// pieces, the source of the next piece fetched while one is drawn.
template <typename Pixel>
void DrawStreamed(const Backdrop<Pixel>& backdrop, TileDrawer<Pixel>& drawer,
                  const PixelBuffer& output, const Kernels& kernels) {
  StreamedWrites out(kernels);
  alignas(64) std::byte buffer[kStagingBytes<Pixel> + 64];
  StagedRows<Pixel> staged(drawer, kernels, buffer, kStagingBytes<Pixel>, output.width);
  // Rows longer than the kernels read ahead: the next one's staged lines are
  // fetched while one is staged.
  const bool fetch = std::size_t(output.width) * sizeof(Pixel) > kReadAheadBytes;
  constexpr auto kColumns = std::int32_t(kPieceBytes / sizeof(Pixel));
  const auto lineShift = [](const Pixel* to) {
    return std::int32_t(reinterpret_cast<std::uintptr_t>(to) % 64);
  };
  for (std::int32_t first = 0; first < output.height;) {
    const std::int32_t end = drawer.Runs().RowsAlike(first, TileDrawer<Pixel>::kMaxTileRows);
    const bool rowLines = drawer.SelectRows(first, end);
    for (std::int32_t r = first; r < end; ++r) {
      Pixel* row = PixelRow<Pixel>(output, r);
      const bool zeros = backdrop.HoldsNone(r);
      const Pixel* whole = zeros ? nullptr : backdrop.WholeRow(r);
      if (!rowLines && (zeros || whole != nullptr) && staged.Prepare(lineShift(row))) {
        const Pixel* next =
            fetch && whole != nullptr && r + 1 < output.height ? backdrop.WholeRow(r + 1) : nullptr;
        if (staged.Write(out, row, whole, next, r)) continue;
      }
      staged.Forget();
      // A row of one pixel repeated.
      if (Pixel value;
          rowLines && lineShift(row) % sizeof(Pixel) == 0 && drawer.RowFills(r, value)) {
        auto* pattern = reinterpret_cast<Pixel*>(buffer);
        std::fill_n(pattern, 128 / sizeof(Pixel), value);
        out.WriteRepeated(reinterpret_cast<std::byte*>(row), buffer,
                          std::size_t(output.width) * sizeof(Pixel));
        continue;
      }
      // In pieces that end on cache lines of the row, each sitting in the
      // buffer as in the output against cache lines.
      for (std::int32_t column = 0; column < output.width;) {
        Pixel* to = row + column;
        const std::int32_t next =
            std::min(column + kColumns - lineShift(to) / std::int32_t(sizeof(Pixel)), output.width);
        auto* at = reinterpret_cast<Pixel*>(buffer + lineShift(to));
        backdrop.Lay(at, r, column, next);
        if (next < output.width)
          backdrop.Fetch(r, next, std::min(next + kColumns, output.width));
        else if (r + 1 < output.height)
          backdrop.Fetch(r + 1, 0, std::min(kColumns, output.width));
        drawer.Draw(Tile<Pixel>{at, 0, r, r + 1, column, next});
        out.Write(reinterpret_cast<std::byte*>(to), reinterpret_cast<const std::byte*>(at),
                  std::size_t(next - column) * sizeof(Pixel));
        column = next;
      }
    }
    first = end;
  }
  // The frame is complete for other threads only after this.
  out.Finish();
}

// Renders run on the caller's stack (the host's render threads); keep the
// drawer and the staging well inside it.
template <typename Pixel>
constexpr std::size_t kStreamedStack = sizeof(TileDrawer<Pixel>) +
                                       sizeof(StagedRows<Pixel>) + kStagingBytes<Pixel> + 64;
static_assert(kPieceBytes <= kStagingBytes<Pixel8>);
static_assert(kStreamedStack<Pixel8> < 80 * 1024);
static_assert(kStreamedStack<Pixel16> < 80 * 1024);
static_assert(kStreamedStack<PixelFloat> < 80 * 1024);

}  // namespace

LayerPlacement CenteredPlacement(const PixelBuffer& output) {
  return LayerPlacement{output.width * 0.5, output.height * 0.5, 0, 0};
}

template <typename Pixel>
ErrorCode RenderGrid(const PixelBuffer* source, const PixelBuffer& output, const GridSettings& s,
                     const LayerPlacement& placement) {
  if (output.width <= 0 || output.height <= 0) return kErrNone;
  if (output.data == nullptr) return kErrBadCallbackParam;
  const Kernels& kernels = KernelsFor(ActiveIsa());
  const Backdrop<Pixel> backdrop(s.blendMode == kBlendGridOnly ? nullptr : source, output,
                                 placement, kernels);

  TileDrawer<Pixel> drawer;
  if (RowsShareBytes<Pixel>(output) || backdrop.SharesBytesWithOutput() ||
      !drawer.Build(s, output.width, output.height, placement.centerX, placement.centerY,
                    kernels)) {
    backdrop.LayRows(output, 0, output.height);
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
      output.width >= std::int64_t{kMinLinePixels} * drawer.Runs().VerticalCount())
    DrawStreamed(backdrop, drawer, output, kernels);
  else
    DrawInPlace(backdrop, drawer, output);
  return kErrNone;
}

template ErrorCode RenderGrid<Pixel8>(const PixelBuffer*, const PixelBuffer&, const GridSettings&,
                                      const LayerPlacement&);
template ErrorCode RenderGrid<Pixel16>(const PixelBuffer*, const PixelBuffer&, const GridSettings&,
                                       const LayerPlacement&);
template ErrorCode RenderGrid<PixelFloat>(const PixelBuffer*, const PixelBuffer&,
                                          const GridSettings&, const LayerPlacement&);

}  // namespace tessaline
