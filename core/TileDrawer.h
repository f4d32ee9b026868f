#pragma once
// The drawing of a frame's lines (LineRuns) into any tile of the frame:
// some of its rows, some of its columns.
//
// Blending a tile's pixels with every line that touches them, in drawing
// order, gives them what stamping each line over the whole frame in turn
// gives them: a blend reads and writes one pixel only, so blends of different
// pixels commute, and a pixel's result depends only on the sequence of blends
// applied to it, with the weights the stamps compute and the same arithmetic.
//
// The runs and rows are blended by SpanBlend, with the kernels of the
// level in force; their blends are made ready once where they can be
// (BlendCache), and 8-bit ones are tables (TableBlend8), for rows only where
// one weight meets many pixels.
#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "core/BlendCache.h"
#include "core/GridSettings.h"
#include "core/Kernels.h"
#include "core/LineRuns.h"
#include "core/LineStamp.h"
#include "core/PixelBlend.h"
#include "core/SpanBlend.h"

namespace tessaline {

// Rows [firstRow, endRow) and columns [firstColumn, endColumn) of the frame:
// pixel (firstRow, firstColumn) at `data`, `stride` bytes from row to row.
template <typename Pixel>
struct Tile {
  Pixel* data;
  std::int64_t stride;
  std::int32_t firstRow, endRow, firstColumn, endColumn;

  Pixel* Row(std::int32_t r) const {
    return reinterpret_cast<Pixel*>(reinterpret_cast<std::byte*>(data) +
                                    std::int64_t{r - firstRow} * stride);
  }
  std::int32_t Columns() const { return endColumn - firstColumn; }
};

template <typename Pixel>
class TileDrawer {
 public:
  static constexpr std::int32_t kMaxTileRows = 64;

  // The lines of a frame whose grid center is (cx, cy), and their blends
  // with `kernels`. False when they do not fit the drawer's storage.
  bool Build(const GridSettings& s, std::int32_t width, std::int32_t height, double cx, double cy,
             const Kernels& kernels) {
    kernels_ = &kernels;
    uniformBackground_ = s.blendMode == kBlendGridOnly;
    stretchShift_ = -1;
    if (!runs_.Build(s, width, height, cx, cy)) return false;
    // The center line's runs first, then the others in drawing order.
    const std::int32_t center = runs_.CenterRuns();
    for (std::int32_t i = 0; i < runs_.RunCount(); ++i) {
      const std::int32_t r = i < center ? i : runs_.RunInOrder(i - center);
      const LineRuns::ColumnRun& run = runs_.Run(r);
      const int blend = blends_.Find(run.weight, run.style, *runs_.Style(run.style).color, kernels);
      ops_[i] = RunOp{run.first, run.count, std::int16_t(blend >= 0 ? blend : -1 - r)};
    }
    blends_.KeepFound();
    return true;
  }

  const LineRuns& Runs() const { return runs_; }

  // Columns [first, end) of a row that vertical lines touch, widened to the
  // cache lines that hold them; the runs drawn in them are the center line's
  // when `center` is set, then the places [from, to) of drawing order.
  struct Stretch {
    std::int32_t first, end;
    std::int16_t from, to;
    bool center;
  };
  static_assert(LineRuns::kMaxColumnRuns <= INT16_MAX);

  static constexpr std::int32_t kMaxStretches = 96;

  // The stretches of a row whose pixel 0 lies `shift` pixels past the start
  // of a cache line, left to right, merged where they share a line: the
  // columns between them are the row's base alone. Null when there are more
  // than kMaxStretches.
  const Stretch* Stretches(std::int32_t shift, std::int32_t& count) {
    if (shift != stretchShift_) FindStretches(shift);
    count = stretchCount_;
    return stretchCount_ <= kMaxStretches ? stretches_ : nullptr;
  }

  // Blends into the tile (the stretch's columns of rows that no horizontal
  // line touches) every line that touches it, in drawing order.
  void DrawStretch(const Tile<Pixel>& tile, const Stretch& s) {
    ForEachOps(s, [&](const RunOp* from, const RunOp* to) { BlendRuns<true>(tile, from, to); });
  }

  // Float blends that fill make every pixel whose channels are finite the
  // same one; 8- and 16-bit ones every pixel.
  static constexpr bool kFillsFiniteOnly = std::is_same_v<Pixel, PixelFloat>;

  // run(first, count, fills) for the runs of the stretch in drawing order;
  // `fills` when the run's blend makes every pixel the same one, whatever
  // it was (see kFillsFiniteOnly).
  template <typename Run>
  void ForEachRun(const Stretch& s, Run&& run) const {
    ForEachOps(s, [&](const RunOp* from, const RunOp* to) {
      for (const RunOp* op = from; op != to; ++op)
        run(op->first, op->count, op->blend >= 0 && blends_.Get(op->blend).Fills());
    });
  }

  // Chooses the rows [firstRow, endRow) that the next tiles lie in: the
  // horizontal lines that may touch them, and the blends of their rows. True
  // when there is any such line.
  bool SelectRows(std::int32_t firstRow, std::int32_t endRow) {
    blends_.Forget();
    rowLineCount_ = 0;
    for (std::int32_t h = 0; h < runs_.HorizontalCount(); ++h) {
      const IndexWindow& rows = runs_.Horizontal(h).rows;
      if (rows.first < endRow && rows.last >= firstRow) rowLines_[rowLineCount_++] = h;
    }
    return rowLineCount_ > 0;
  }

  // True when every pixel of `row` (within the selected rows) ends as the
  // same `value` whatever it was: its last line, drawn after every vertical
  // line, blends as a fill.
  bool RowFills(std::int32_t row, Pixel& value) {
    // (Float fills hold for finite pixels only, which a row is not checked for.)
    if constexpr (kFillsFiniteOnly) {
      return false;
    } else {
      const LineRuns::HorizontalLine* last = nullptr;
      double weight = 0.0;
      for (std::int32_t h = 0; h < rowLineCount_; ++h) {
        const LineRuns::HorizontalLine& line = runs_.Horizontal(rowLines_[h]);
        if (row >= line.rows.first && row <= line.rows.last && RowWeight(line, row, weight))
          last = &line;
      }
      // The horizontal center line comes before the outer vertical lines.
      if (last == nullptr || (last->style == 0 && runs_.RunCount() > runs_.CenterRuns()))
        return false;
      const int found =
          blends_.Find(weight, last->style, *runs_.Style(last->style).color, *kernels_);
      if (found < 0 || !blends_.Get(found).Fills()) return false;
      value = Pixel{};
      blends_.Get(found).Apply(&value, 1);
      return true;
    }
  }

  // Blends into the tile (at most kMaxTileRows rows, within the selected
  // rows) every line that touches it, in drawing order: the vertical center
  // line, the horizontal center line, the outer verticals, the outer
  // horizontals.
  void Draw(const Tile<Pixel>& tile) {
    TileState state(tile, uniformBackground_);
    const RunOp* const spanOps = ops_ + runs_.CenterRuns();
    BlendRuns<false>(tile, ops_, spanOps);
    std::int32_t h = 0;
    if (h < rowLineCount_ && runs_.Horizontal(rowLines_[h]).style == 0)
      BlendHorizontal(state, runs_.Horizontal(rowLines_[h++]));
    runs_.ForEachSpan(tile.firstColumn, tile.endColumn,
                      [&](std::int32_t from, std::int32_t to, bool whole) {
                        if (whole)
                          BlendRuns<true>(tile, spanOps + from, spanOps + to);
                        else
                          BlendRuns<false>(tile, spanOps + from, spanOps + to);
                      });
    for (; h < rowLineCount_; ++h) BlendHorizontal(state, runs_.Horizontal(rowLines_[h]));
    if (uniformBackground_) FillBackground(state);
  }

 private:
  using Blend = SpanBlend<Pixel>;
  static constexpr bool kTables = std::is_same_v<Pixel, Pixel8>;
  using ReadyBlend = std::conditional_t<kTables, TableBlend8, Blend>;
  // Filling a table costs about 256 pixel blends; below this many pixels a
  // horizontal row is blended with the arithmetic instead.
  static constexpr std::int32_t kMinTableRow = 256;

  // In "Grid Only" every pixel that no vertical line touches starts
  // transparent and receives only the horizontal lines' blends, each the same
  // across the row: such pixels stay equal to one another, so each row's
  // horizontal blends are applied to one background pixel and the touched
  // columns, and the background pixel is copied to the rest of the row at
  // the end.
  struct TileState {
    // Only the backgrounds of the tile's rows, and only in "Grid Only".
    TileState(const Tile<Pixel>& t, bool uniformBackground) : tile(t) {
      if (!uniformBackground) return;
      std::fill_n(background, tile.endRow - tile.firstRow, Pixel{});
      std::fill_n(backgroundBlended, tile.endRow - tile.firstRow, false);
    }
    const Tile<Pixel>& tile;
    Pixel background[kMaxTileRows];
    bool backgroundBlended[kMaxTileRows];
  };

  // A run of a vertical line, as drawn: its blend's index, or -1 - the
  // run's index for a blend made where used.
  struct RunOp {
    std::int32_t first;
    std::int16_t count;
    std::int16_t blend;
  };

  // Runs [from, to) within the tile's columns, down its rows; kWhole when
  // they all lie within them. In a row alone a ready blend is applied where
  // it lies.
  template <bool kWhole>
  [[gnu::always_inline]] void BlendRuns(const Tile<Pixel>& tile, const RunOp* from,
                                        const RunOp* to) {
    const bool oneRow = tile.endRow - tile.firstRow == 1;
    for (const RunOp* op = from; op != to; ++op) {
      std::int32_t first = op->first, end = op->first + op->count;
      if constexpr (!kWhole) {
        first = std::max(first, tile.firstColumn);
        end = std::min(end, tile.endColumn);
        if (first >= end) continue;
      }
      Pixel* top = tile.data + (first - tile.firstColumn);
      if (op->blend >= 0) {
        const ReadyBlend& blend = blends_.Get(op->blend);
        if (oneRow)
          blend.Apply(top, end - first);
        else
          ApplyDown(tile, top, end - first, blend);
        continue;
      }
      const LineRuns::ColumnRun& run = runs_.Run(-1 - op->blend);
      ApplyDown(tile, top, end - first,
                Blend(TermsOf(*runs_.Style(run.style).color, run.weight), *kernels_));
    }
  }

  // The blend is a copy of its own, which nothing else can reach: its fields
  // stay in registers while the rows are blended.
  template <typename RunBlend>
  [[gnu::always_inline]] static void ApplyDown(const Tile<Pixel>& tile, Pixel* top,
                                               std::int32_t count, const RunBlend& shared) {
    const RunBlend blend = shared;
    auto* row = reinterpret_cast<std::byte*>(top);
    for (std::int32_t r = tile.firstRow; r < tile.endRow; ++r, row += tile.stride)
      blend.Apply(reinterpret_cast<Pixel*>(row), count);
  }

  // As the horizontal stamp: the rows of the window with positive coverage,
  // one weight for the whole row.
  void BlendHorizontal(TileState& state, const LineRuns::HorizontalLine& line) {
    const Tile<Pixel>& tile = state.tile;
    const std::int32_t first = std::max(line.rows.first, tile.firstRow);
    const std::int32_t last = std::min(line.rows.last, tile.endRow - 1);
    const LineStyle& ls = runs_.Style(line.style);
    for (std::int32_t r = first; r <= last; ++r) {
      double weight = 0.0;
      if (!RowWeight(line, r, weight)) continue;
      Pixel* row = tile.Row(r);
      const auto blendRow = [&](const auto& blend) {
        if (!uniformBackground_) {
          blend.Apply(row, tile.Columns());
          return;
        }
        blend.Apply(&state.background[r - tile.firstRow], 1);
        state.backgroundBlended[r - tile.firstRow] = true;
        runs_.TouchedColumns().ForEach(
            tile.firstColumn, tile.endColumn,
            [&](std::int32_t, std::int32_t from, std::int32_t to) {
              blend.Apply(row + (from - tile.firstColumn), to - from);
            },
            [](std::int32_t, std::int32_t) {});
      };
      const bool ready =
          !kTables || (uniformBackground_ ? runs_.TouchedPixels() : runs_.Width()) >= kMinTableRow;
      const int cached = ready ? blends_.Find(weight, line.style, *ls.color, *kernels_) : -1;
      if (cached >= 0)
        blendRow(blends_.Get(cached));
      else
        blendRow(Blend(TermsOf(*ls.color, weight), *kernels_));
    }
  }

  // Copies each blended background pixel to the columns no vertical line touches.
  void FillBackground(const TileState& state) const {
    const Tile<Pixel>& tile = state.tile;
    for (std::int32_t r = tile.firstRow; r < tile.endRow; ++r) {
      if (!state.backgroundBlended[r - tile.firstRow]) continue;
      Pixel* row = tile.Row(r);
      const Pixel& value = state.background[r - tile.firstRow];
      runs_.TouchedColumns().ForEach(
          tile.firstColumn, tile.endColumn, [](std::int32_t, std::int32_t, std::int32_t) {},
          [&](std::int32_t first, std::int32_t end) {
            FillPixels(row + (first - tile.firstColumn), end - first, value);
          });
    }
  }

  // each(from, to) for the ranges of runs drawn in the stretch, in drawing
  // order: the center line's where it lies in the stretch, then its spans'.
  template <typename Each>
  void ForEachOps(const Stretch& s, Each&& each) const {
    const RunOp* const spanOps = ops_ + runs_.CenterRuns();
    if (s.center) each(ops_, spanOps);
    each(spanOps + s.from, spanOps + s.to);
  }

  // The weight of a horizontal line in `row`, as the horizontal stamp
  // computes it; false where the line does not cover the row.
  bool RowWeight(const LineRuns::HorizontalLine& line, std::int32_t row, double& weight) const {
    const LineStyle& ls = runs_.Style(line.style);
    const double coverage = LineCoverage(row, line.position, ls.width);
    if (!(coverage > 0.0)) return false;
    weight = (coverage * runs_.Opacity()) * ls.color->alpha;
    return true;
  }

  void FindStretches(std::int32_t shift) {
    const IndexSpans<kMaxAxisLines>& touched = runs_.TouchedColumns();
    constexpr auto kLine = std::int32_t(64 / sizeof(Pixel));
    const std::int32_t centerColumn = runs_.CenterRuns() > 0 ? runs_.Run(0).first : -1;
    stretchCount_ = 0;
    for (std::int32_t k = 0; k < touched.size(); ++k) {
      const std::int32_t first = std::max((touched[k].first + shift) / kLine * kLine - shift, 0);
      const std::int32_t end =
          std::min((touched[k].end + shift + kLine - 1) / kLine * kLine - shift, runs_.Width());
      const bool center = touched[k].first <= centerColumn && centerColumn < touched[k].end;
      Stretch* last = stretchCount_ > 0 ? &stretches_[stretchCount_ - 1] : nullptr;
      if (last != nullptr && first <= last->end) {
        last->end = end;
        last->to = std::int16_t(runs_.SpanRuns(k + 1));
        last->center = last->center || center;
      } else if (stretchCount_++ < kMaxStretches) {
        stretches_[stretchCount_ - 1] = Stretch{first, end, std::int16_t(runs_.SpanRuns(k)),
                                                std::int16_t(runs_.SpanRuns(k + 1)), center};
      } else {
        break;
      }
    }
    stretchShift_ = shift;
  }

  LineRuns runs_;
  const Kernels* kernels_ = nullptr;
  bool uniformBackground_ = false;
  Stretch stretches_[kMaxStretches];
  std::int32_t stretchCount_ = 0, stretchShift_ = -1;
  RunOp ops_[LineRuns::kMaxColumnRuns];
  std::int32_t rowLineCount_ = 0;
  std::int32_t rowLines_[kMaxAxisLines];  // the horizontal lines of the selected rows
  BlendCache<ReadyBlend, kTables ? 12 : 32> blends_;
};

}  // namespace tessaline
