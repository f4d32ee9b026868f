#pragma once
// The plan of one frame: every line in drawing order, the columns and rows it
// touches and the weights it blends them with; and the drawing of the lines
// that touch a tile of the frame (some of its rows, some of its columns).
//
// Blending a tile's pixels with every line that touches them, in drawing
// order, gives them what stamping each line over the whole frame in turn
// gives them: a blend reads and writes one pixel only, so blends of different
// pixels commute, and a pixel's result depends only on the sequence of blends
// applied to it, with the weights the stamps compute and the same arithmetic.
//
// Blend is the span blend of the arithmetic: SpanBlend<Pixel>, or for floats
// on processors with AVX-512, SpanBlendAvx512. The blends of the runs and
// rows are made ready once where they can be (BlendCache); 8-bit ones are
// tables, for rows only where one weight meets many pixels.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <type_traits>

#include "core/BlendCache.h"
#include "core/GridSettings.h"
#include "core/IndexSpans.h"
#include "core/LineOrder.h"
#include "core/LineStamp.h"
#include "core/SpanBlend.h"

namespace tessaline {

// Both center lines and up to kMaxLineCount lines on each side of them.
inline constexpr std::int32_t kMaxAxisLines = 1 + 2 * kMaxLineCount;

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

template <typename Pixel, typename Blend>
class LinePlan {
 public:
  static constexpr std::int32_t kMaxTileRows = 64;

  // The lines of a frame whose grid center is (cx, cy); none when the
  // opacity is not above 0. False when they do not fit the plan's storage.
  bool Build(const GridSettings& s, std::int32_t width, std::int32_t height, double cx, double cy) {
    width_ = width;
    height_ = height;
    opacity_ = s.opacity;
    uniformBackground_ = s.blendMode == kBlendGridOnly;
    styles_ = LineStyles(s);
    if (s.opacity > 0.0) {
      ForEachLine(s, width, height, cx, cy, [&](const GridLine& line) {
        if (line.axis == Axis::kVertical)
          AddVertical(line.position, line.style);
        else
          AddHorizontal(line.position, line.style, height);
      });
    }
    if (fits_) {
      FindTouchedColumns();
      touchedRows_.Gather(horizontals_, horizontalCount_, [](const HorizontalLine& h) {
        return IndexSpan{h.rows.first, h.rows.last + 1};
      });
    }
    blends_.KeepFound();
    return fits_;
  }

  // The end of the rows from `first` on, up to `limit` of them, that the
  // same horizontal lines may touch: all of them, or none.
  std::int32_t RowsAlike(std::int32_t first, std::int32_t limit) const {
    const std::int32_t most = first + std::min(limit, height_ - first);
    const std::int32_t k = touchedRows_.FirstEndingAfter(first);
    if (k == touchedRows_.size()) return most;
    const IndexSpan& rows = touchedRows_[k];
    return std::min(rows.first > first ? rows.first : rows.end, most);
  }

  // The vertical lines that touch the frame, and the columns they touch.
  std::int32_t VerticalCount() const { return verticalCount_; }
  const IndexSpans<kMaxAxisLines>& TouchedColumns() const { return touched_; }

  // Chooses the rows [firstRow, endRow) that the next tiles lie in: the
  // horizontal lines that may touch them, and the blends of their rows. True
  // when there is any such line.
  bool SelectRows(std::int32_t firstRow, std::int32_t endRow) {
    blends_.Forget();
    rowLineCount_ = 0;
    for (std::int32_t h = 0; h < horizontalCount_; ++h)
      if (horizontals_[h].rows.first < endRow && horizontals_[h].rows.last >= firstRow)
        rowLines_[rowLineCount_++] = h;
    return rowLineCount_ > 0;
  }

  // Blends into the tile (at most kMaxTileRows rows, within the selected
  // rows) every line that touches it, in drawing order: the vertical center
  // line, the horizontal center line, the outer verticals, the outer
  // horizontals.
  void Draw(const Tile<Pixel>& tile) {
    TileState state{tile, {}, {}};
    const bool centerFirst = verticalCount_ > 0 && verticals_[0].style == 0;
    if (centerFirst) BlendVertical(tile, verticals_[0]);
    std::int32_t h = 0;
    if (h < rowLineCount_ && horizontals_[rowLines_[h]].style == 0)
      BlendHorizontal(state, horizontals_[rowLines_[h++]]);
    // The lines of one touched span share no column with those of another:
    // drawing each span's lines in drawing order keeps every pixel's order.
    touched_.ForEach(
        tile.firstColumn, tile.endColumn,
        [&](std::int32_t k, std::int32_t, std::int32_t) {
          for (std::int32_t i = spanLines_[k]; i < spanLines_[k + 1]; ++i)
            if (lineIndex_[i] != 0 || !centerFirst) BlendVertical(tile, verticals_[lineIndex_[i]]);
        },
        [](std::int32_t, std::int32_t) {});
    for (; h < rowLineCount_; ++h) BlendHorizontal(state, horizontals_[rowLines_[h]]);
    if (uniformBackground_) FillBackground(state);
  }

 private:
  static constexpr bool kTables = std::is_same_v<Pixel, Pixel8>;
  using ReadyBlend = std::conditional_t<kTables, TableBlend8, Blend>;
  // A line's positive coverage is a single run of columns (coverage rises to
  // a peak and falls again): a full-coverage run with at most one partly
  // covered column on each side, except where rounding meets a boundary
  // exactly. Three runs per line on average is room to spare; beyond it the
  // frame is drawn line by line.
  static constexpr std::int32_t kMaxColumnRuns = 3 * kMaxAxisLines;
  // Filling a table costs about 256 pixel blends; below this many pixels a
  // horizontal row is blended with the arithmetic instead.
  static constexpr std::int32_t kMinTableRow = 256;

  // Consecutive columns of a vertical line with one weight; the same in every row.
  struct ColumnRun {
    double weight;
    std::int32_t count;
    std::int32_t blend;  // the index of its ready blend, or -1 for one made where used
  };
  // Columns [first, end), in runCount runs from runs_[firstRun].
  struct VerticalLine {
    std::int32_t first, end;
    std::int16_t firstRun;
    std::uint8_t runCount;
    std::uint8_t style;
  };
  struct HorizontalLine {
    double position;
    IndexWindow rows;
    std::int32_t style;
  };
  // In "Grid Only" every pixel that no vertical line touches starts
  // transparent and receives only the horizontal lines' blends, each the same
  // across the row: such pixels stay equal to one another, so each row's
  // horizontal blends are applied to one background pixel and the touched
  // columns, and the background pixel is copied to the rest of the row at
  // the end.
  struct TileState {
    const Tile<Pixel>& tile;
    Pixel background[kMaxTileRows];
    bool backgroundBlended[kMaxTileRows];
  };

  // The weights of every covered column of the window, as the vertical stamp
  // computes them per pixel, grouped into runs of equal weight (bitwise). A
  // line that covers no column of the frame is left out.
  void AddVertical(double x, int style) {
    if (!fits_) return;
    if (verticalCount_ == kMaxAxisLines) {
      fits_ = false;
      return;
    }
    const LineStyle& ls = styles_[std::size_t(style)];
    VerticalLine line{0, 0, std::int16_t(runCount_), 0, std::uint8_t(style)};
    const IndexWindow window = LineWindow(x, ls.width, width_);
    for (std::int32_t c = window.first; c <= window.last; ++c) {
      const double coverage = LineCoverage(c, x, ls.width);
      if (!(coverage > 0.0)) continue;
      const double weight = (coverage * opacity_) * ls.color->alpha;
      if (line.runCount > 0 && c != line.end) {
        fits_ = false;  // a gap in the coverage, which a rising and falling band cannot have
        return;
      }
      if (line.runCount > 0 && std::bit_cast<std::uint64_t>(runs_[runCount_ - 1].weight) ==
                                   std::bit_cast<std::uint64_t>(weight)) {
        ++runs_[runCount_ - 1].count;
      } else {
        if (runCount_ == kMaxColumnRuns || line.runCount == UINT8_MAX) {
          fits_ = false;
          return;
        }
        if (line.runCount == 0) line.first = c;
        runs_[runCount_++] = ColumnRun{weight, 1, blends_.Find(weight, style, *ls.color)};
        ++line.runCount;
      }
      line.end = c + 1;
    }
    if (line.runCount > 0) verticals_[verticalCount_++] = line;
  }

  void AddHorizontal(double y, int style, std::int32_t height) {
    if (!fits_) return;
    if (horizontalCount_ == kMaxAxisLines) {
      fits_ = false;
      return;
    }
    const IndexWindow rows = LineWindow(y, styles_[std::size_t(style)].width, height);
    if (!rows.empty()) horizontals_[horizontalCount_++] = HorizontalLine{y, rows, style};
  }

  // The columns that any vertical line blends, as sorted, disjoint spans.
  void FindTouchedColumns() {
    touched_.Gather(verticals_, verticalCount_, [](const VerticalLine& v) {
      return IndexSpan{v.first, v.end};
    });
    touchedPixels_ = 0;
    for (std::int32_t k = 0; k < touched_.size(); ++k)
      touchedPixels_ += touched_[k].end - touched_[k].first;
    // Each line lies in one span: the lines of each span, in drawing order.
    std::int32_t listed = 0;
    for (std::int32_t k = 0; k < touched_.size(); ++k) {
      spanLines_[k] = listed;
      for (std::int32_t v = 0; v < verticalCount_; ++v)
        if (verticals_[v].first >= touched_[k].first && verticals_[v].end <= touched_[k].end)
          lineIndex_[listed++] = v;
    }
    spanLines_[touched_.size()] = listed;
  }

  // Every run of the line within the tile's columns, down its rows.
  void BlendVertical(const Tile<Pixel>& tile, const VerticalLine& line) {
    const GridColor& color = *styles_[line.style].color;
    std::int32_t column = line.first;
    for (std::int32_t k = 0; k < line.runCount; ++k) {
      const ColumnRun& run = runs_[line.firstRun + k];
      const std::int32_t first = std::max(column, tile.firstColumn);
      const std::int32_t end = std::min(column + run.count, tile.endColumn);
      column += run.count;
      if (first >= end) continue;
      Pixel* top = tile.data + (first - tile.firstColumn);
      if (run.blend >= 0)
        ApplyDown(tile, top, end - first, blends_.Get(run.blend));
      else
        ApplyDown(tile, top, end - first, Blend(TermsOf(color, run.weight)));
    }
  }

  // Over several rows the blend is a copy of its own, which nothing else can
  // reach: its fields stay in registers while the rows are blended.
  template <typename RunBlend>
  static void ApplyDown(const Tile<Pixel>& tile, Pixel* top, std::int32_t count,
                        const RunBlend& shared) {
    if (tile.endRow - tile.firstRow == 1) return shared.Apply(top, count);
    const RunBlend blend = shared;
    auto* row = reinterpret_cast<std::byte*>(top);
    for (std::int32_t r = tile.firstRow; r < tile.endRow; ++r, row += tile.stride)
      blend.Apply(reinterpret_cast<Pixel*>(row), count);
  }

  // As the horizontal stamp: the rows of the window with positive coverage,
  // one weight for the whole row.
  void BlendHorizontal(TileState& state, const HorizontalLine& line) {
    const Tile<Pixel>& tile = state.tile;
    const std::int32_t first = std::max(line.rows.first, tile.firstRow);
    const std::int32_t last = std::min(line.rows.last, tile.endRow - 1);
    const LineStyle& ls = styles_[std::size_t(line.style)];
    for (std::int32_t r = first; r <= last; ++r) {
      const double coverage = LineCoverage(r, line.position, ls.width);
      if (!(coverage > 0.0)) continue;
      const double weight = (coverage * opacity_) * ls.color->alpha;
      Pixel* row = tile.Row(r);
      const auto blendRow = [&](const auto& blend) {
        if (!uniformBackground_) {
          blend.Apply(row, tile.Columns());
          return;
        }
        blend.Apply(&state.background[r - tile.firstRow], 1);
        state.backgroundBlended[r - tile.firstRow] = true;
        touched_.ForEach(
            tile.firstColumn, tile.endColumn,
            [&](std::int32_t, std::int32_t from, std::int32_t to) {
              blend.Apply(row + (from - tile.firstColumn), to - from);
            },
            [](std::int32_t, std::int32_t) {});
      };
      const bool ready = !kTables || (uniformBackground_ ? touchedPixels_ : width_) >= kMinTableRow;
      const int cached = ready ? blends_.Find(weight, line.style, *ls.color) : -1;
      if (cached >= 0)
        blendRow(blends_.Get(cached));
      else
        blendRow(Blend(TermsOf(*ls.color, weight)));
    }
  }

  // Copies each blended background pixel to the columns no vertical line touches.
  void FillBackground(const TileState& state) const {
    const Tile<Pixel>& tile = state.tile;
    for (std::int32_t r = tile.firstRow; r < tile.endRow; ++r) {
      if (!state.backgroundBlended[r - tile.firstRow]) continue;
      Pixel* row = tile.Row(r);
      const Pixel& value = state.background[r - tile.firstRow];
      touched_.ForEach(
          tile.firstColumn, tile.endColumn, [](std::int32_t, std::int32_t, std::int32_t) {},
          [&](std::int32_t first, std::int32_t end) {
            FillPixels(row + (first - tile.firstColumn), end - first, value);
          });
    }
  }

  std::int32_t width_ = 0, height_ = 0;
  double opacity_ = 0.0;
  bool uniformBackground_ = false;
  bool fits_ = true;
  std::array<LineStyle, kStyleCount> styles_{};
  std::int32_t verticalCount_ = 0, horizontalCount_ = 0, runCount_ = 0;
  std::int32_t touchedPixels_ = 0, rowLineCount_ = 0;
  VerticalLine verticals_[kMaxAxisLines];
  HorizontalLine horizontals_[kMaxAxisLines];
  ColumnRun runs_[kMaxColumnRuns];
  IndexSpans<kMaxAxisLines> touched_;  // the columns that vertical lines touch
  std::int32_t spanLines_[kMaxAxisLines + 1];
  std::int32_t lineIndex_[kMaxAxisLines];
  IndexSpans<kMaxAxisLines> touchedRows_;  // the rows that horizontal lines may touch
  std::int32_t rowLines_[kMaxAxisLines];   // the horizontal lines of the selected rows
  BlendCache<ReadyBlend, kTables ? 12 : 32> blends_;
};

}  // namespace tessaline
