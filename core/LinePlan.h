#pragma once
// The plan of one frame: every line in drawing order, the columns and rows it
// touches and the weights it blends them with; and the drawing of the lines
// that touch a band of the frame's rows.
//
// Blending a band's pixels with every line that touches them, in drawing
// order, gives them what stamping each line over the whole frame in turn
// gives them: a blend reads and writes one pixel only, so blends of different
// pixels commute, and a pixel's result depends only on the sequence of blends
// applied to it, with the weights the stamps compute and the same arithmetic.
//
// Blend is the span blend of the arithmetic: SpanBlend<Pixel>, or for floats
// on processors with AVX-512, SpanBlendAvx512. 8-bit plans blend through
// tables where one weight meets many pixels.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <type_traits>

#include "core/GridSettings.h"
#include "core/LineOrder.h"
#include "core/LineStamp.h"
#include "core/SpanBlend.h"
#include "core/TableBlend8.h"

namespace tessaline {

// Both center lines and up to kMaxLineCount lines on each side of them.
inline constexpr std::int32_t kMaxAxisLines = 1 + 2 * kMaxLineCount;

// Rows [firstRow, endRow) of the frame from column firstColumn on: pixel
// (firstRow, firstColumn) at `data`, `stride` bytes from row to row.
template <typename Pixel>
struct Band {
  Pixel* data;
  std::int64_t stride;
  std::int32_t firstRow, endRow, firstColumn = 0;

  Pixel* Row(std::int32_t r) const {
    return reinterpret_cast<Pixel*>(reinterpret_cast<std::byte*>(data) +
                                    std::int64_t{r - firstRow} * stride);
  }
};

// Tables of the 8-bit plan for (weight, style) pairs, filled as they are
// first needed: those of vertical runs are kept for the whole frame, those of
// horizontal rows for one band of rows.
class TableCache8 {
 public:
  static constexpr int kCapacity = 12;

  // The index of the tables of (weight, style), filled now if new; -1 when full.
  int Find(double weight, int style, const GridColor& color) {
    const auto bits = std::bit_cast<std::uint64_t>(weight);
    for (int i = 0; i < used_; ++i)
      if (weightBits_[i] == bits && styles_[i] == style) return i;
    if (used_ == kCapacity) return -1;
    blends_[used_] = TableBlend8::Fill(TermsOf(color, weight), tables_[used_]);
    weightBits_[used_] = bits;
    styles_[used_] = style;
    return used_++;
  }
  const TableBlend8& Blend(int index) const { return blends_[index]; }
  // Tables found from now on are forgotten at the next Forget().
  void KeepFound() { kept_ = used_; }
  void Forget() { used_ = kept_; }

 private:
  ChannelTables8 tables_[kCapacity];
  TableBlend8 blends_[kCapacity];
  std::uint64_t weightBits_[kCapacity];
  int styles_[kCapacity];
  int used_ = 0, kept_ = 0;
};

struct NoTables {};

template <typename Pixel, typename Blend>
class LinePlan {
 public:
  static constexpr std::int32_t kMaxBandRows = 64;

  // The lines of a frame whose grid center is (cx, cy); none when the
  // opacity is not above 0. False when they do not fit the plan's storage.
  bool Build(const GridSettings& s, std::int32_t width, std::int32_t height, double cx, double cy) {
    width_ = width;
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
    if (fits_) FindTouchedColumns();
    if constexpr (kTables) tables_.KeepFound();
    return fits_;
  }

  // Whether a horizontal line may touch rows [firstRow, endRow).
  bool RowsTouched(std::int32_t firstRow, std::int32_t endRow) const {
    for (std::int32_t h = 0; h < horizontalCount_; ++h)
      if (horizontals_[h].rows.first < endRow && horizontals_[h].rows.last >= firstRow) return true;
    return false;
  }

  // The columns that vertical lines touch, as sorted, disjoint spans
  // [first, end): span(k, first, end) for each, gap(first, end) for the
  // columns between them.
  template <typename Span, typename Gap>
  void ForEachSpan(Span&& span, Gap&& gap) const {
    std::int32_t column = 0;
    for (std::int32_t k = 0; k < touchedCount_; ++k) {
      if (touched_[k].first > column) gap(column, touched_[k].first);
      span(k, touched_[k].first, touched_[k].end);
      column = touched_[k].end;
    }
    if (column < width_) gap(column, width_);
  }

  std::int32_t SpanCount() const { return touchedCount_; }

  // The widest touched span, in columns.
  std::int32_t WidestSpan() const {
    std::int32_t widest = 0;
    for (std::int32_t k = 0; k < touchedCount_; ++k)
      widest = std::max(widest, touched_[k].end - touched_[k].first);
    return widest;
  }

  // Blends into the band, which holds the columns of touched span `k`, the
  // vertical lines in that span, in drawing order. Enough where no
  // horizontal line touches the band's rows.
  void DrawSpan(const Band<Pixel>& band, std::int32_t k) {
    for (std::int32_t i = spanLines_[k]; i < spanLines_[k + 1]; ++i)
      BlendVertical(band, verticals_[lineIndex_[i]]);
  }

  // Blends into the band (at most kMaxBandRows rows) every line that touches
  // it, in drawing order: the vertical center line, the horizontal center
  // line, the outer verticals, the outer horizontals. The tables found for
  // the rows of the band before are forgotten.
  void Draw(const Band<Pixel>& band) {
    if constexpr (kTables) tables_.Forget();
    BandState state{band, {}, {}};
    std::int32_t v = 0, h = 0;
    if (v < verticalCount_ && verticals_[v].style == 0) BlendVertical(band, verticals_[v++]);
    if (h < horizontalCount_ && horizontals_[h].style == 0)
      BlendHorizontal(state, horizontals_[h++]);
    for (; v < verticalCount_; ++v) BlendVertical(band, verticals_[v]);
    for (; h < horizontalCount_; ++h) BlendHorizontal(state, horizontals_[h]);
    if (uniformBackground_) FillBackground(state);
  }

 private:
  static constexpr bool kTables = std::is_same_v<Pixel, Pixel8>;
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
    std::int32_t table;  // 8-bit: the index of its tables, or -1 for the arithmetic
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
  // Columns [first, end) of a row.
  struct ColumnSpan {
    std::int32_t first, end;
  };

  // In "Grid Only" every pixel that no vertical line touches starts
  // transparent and receives only the horizontal lines' blends, each the same
  // across the row: such pixels stay equal to one another, so each row's
  // horizontal blends are applied to one background pixel and the touched
  // columns, and the background pixel is copied to the rest of the row at
  // the end.
  struct BandState {
    const Band<Pixel>& band;
    Pixel background[kMaxBandRows];
    bool backgroundBlended[kMaxBandRows];
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
        runs_[runCount_++] = ColumnRun{weight, 1, TableFor(weight, style)};
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

  int TableFor(double weight, int style) {
    if constexpr (kTables) return tables_.Find(weight, style, *styles_[std::size_t(style)].color);
    return -1;
  }

  // The columns that any vertical line blends, as sorted, disjoint spans.
  void FindTouchedColumns() {
    for (std::int32_t v = 0; v < verticalCount_; ++v)
      touched_[v] = ColumnSpan{verticals_[v].first, verticals_[v].end};
    std::sort(touched_, touched_ + verticalCount_,
              [](const ColumnSpan& a, const ColumnSpan& b) { return a.first < b.first; });
    touchedCount_ = 0;
    for (std::int32_t k = 0; k < verticalCount_; ++k) {
      if (touchedCount_ > 0 && touched_[k].first <= touched_[touchedCount_ - 1].end)
        touched_[touchedCount_ - 1].end =
            std::max(touched_[touchedCount_ - 1].end, touched_[k].end);
      else
        touched_[touchedCount_++] = touched_[k];
    }
    touchedPixels_ = 0;
    for (std::int32_t k = 0; k < touchedCount_; ++k)
      touchedPixels_ += touched_[k].end - touched_[k].first;
    // Each line lies in one span: the lines of each span, in drawing order.
    std::int32_t listed = 0;
    for (std::int32_t k = 0; k < touchedCount_; ++k) {
      spanLines_[k] = listed;
      for (std::int32_t v = 0; v < verticalCount_; ++v)
        if (verticals_[v].first >= touched_[k].first && verticals_[v].end <= touched_[k].end)
          lineIndex_[listed++] = v;
    }
    spanLines_[touchedCount_] = listed;
  }

  // Every run of the line, one after the other, down the rows of the band.
  void BlendVertical(const Band<Pixel>& band, const VerticalLine& line) {
    const GridColor& color = *styles_[line.style].color;
    Pixel* top = band.data + (line.first - band.firstColumn);
    for (std::int32_t k = 0; k < line.runCount; ++k) {
      const ColumnRun& run = runs_[line.firstRun + k];
      if constexpr (kTables) {
        if (run.table >= 0) {
          ApplyDown(band, top, run.count, tables_.Blend(run.table));
          top += run.count;
          continue;
        }
      }
      ApplyDown(band, top, run.count, Blend(TermsOf(color, run.weight)));
      top += run.count;
    }
  }

  // The blend is a copy of its own, which nothing else can reach: its fields
  // stay in registers while the rows are blended.
  template <typename RunBlend>
  static void ApplyDown(const Band<Pixel>& band, Pixel* top, std::int32_t count, RunBlend blend) {
    auto* row = reinterpret_cast<std::byte*>(top);
    for (std::int32_t r = band.firstRow; r < band.endRow; ++r, row += band.stride)
      blend.Apply(reinterpret_cast<Pixel*>(row), count);
  }

  // As the horizontal stamp: the rows of the window with positive coverage,
  // one weight for the whole row.
  void BlendHorizontal(BandState& state, const HorizontalLine& line) {
    const Band<Pixel>& band = state.band;
    const std::int32_t first = std::max(line.rows.first, band.firstRow);
    const std::int32_t last = std::min(line.rows.last, band.endRow - 1);
    const LineStyle& ls = styles_[std::size_t(line.style)];
    for (std::int32_t r = first; r <= last; ++r) {
      const double coverage = LineCoverage(r, line.position, ls.width);
      if (!(coverage > 0.0)) continue;
      const double weight = (coverage * opacity_) * ls.color->alpha;
      Pixel* row = band.Row(r);
      const auto blendRow = [&](const auto& blend) {
        if (!uniformBackground_) {
          blend.Apply(row, width_);
          return;
        }
        blend.Apply(&state.background[r - band.firstRow], 1);
        state.backgroundBlended[r - band.firstRow] = true;
        for (std::int32_t k = 0; k < touchedCount_; ++k)
          blend.Apply(row + touched_[k].first, touched_[k].end - touched_[k].first);
      };
      if constexpr (kTables) {
        if ((uniformBackground_ ? touchedPixels_ : width_) >= kMinTableRow) {
          const int table = tables_.Find(weight, line.style, *ls.color);
          if (table >= 0) {
            blendRow(tables_.Blend(table));
            continue;
          }
        }
      }
      blendRow(Blend(TermsOf(*ls.color, weight)));
    }
  }

  // Copies each blended background pixel to the columns no vertical line touches.
  void FillBackground(const BandState& state) const {
    const Band<Pixel>& band = state.band;
    for (std::int32_t r = band.firstRow; r < band.endRow; ++r) {
      if (!state.backgroundBlended[r - band.firstRow]) continue;
      Pixel* row = band.Row(r);
      const Pixel& value = state.background[r - band.firstRow];
      ForEachSpan([](std::int32_t, std::int32_t, std::int32_t) {},
                  [&](std::int32_t first, std::int32_t end) {
                    FillPixels(row + first, end - first, value);
                  });
    }
  }

  std::int32_t width_ = 0;
  double opacity_ = 0.0;
  bool uniformBackground_ = false;
  bool fits_ = true;
  std::array<LineStyle, kStyleCount> styles_{};
  std::int32_t verticalCount_ = 0, horizontalCount_ = 0, runCount_ = 0;
  std::int32_t touchedCount_ = 0, touchedPixels_ = 0;
  VerticalLine verticals_[kMaxAxisLines];
  HorizontalLine horizontals_[kMaxAxisLines];
  ColumnRun runs_[kMaxColumnRuns];
  ColumnSpan touched_[kMaxAxisLines];
  std::int32_t spanLines_[kMaxAxisLines + 1];
  std::int32_t lineIndex_[kMaxAxisLines];
  [[no_unique_address]] std::conditional_t<kTables, TableCache8, NoTables> tables_;
};

}  // namespace tessaline
