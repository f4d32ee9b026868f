#pragma once
// Where the lines of one frame lie: the columns each vertical line covers,
// grouped into runs of one weight, the rows each horizontal line may touch,
// and the spans of columns and rows they touch, with the order in which they
// are drawn (GridLines). Nothing here depends on the pixels' depth.
#include <array>
#include <cstdint>

#include "core/GridLines.h"
#include "core/GridSettings.h"
#include "core/IndexSpans.h"
#include "core/LineStamp.h"

namespace tessaline {

// Both center lines and up to kMaxLineCount lines on each side of them.
inline constexpr std::int32_t kMaxAxisLines = 1 + 2 * kMaxLineCount;

class LineRuns {
 public:
  // A line's positive coverage is a single run of columns (coverage rises to
  // a peak and falls again): a full-coverage run with at most one partly
  // covered column on each side, except where rounding meets a boundary
  // exactly. Three runs per line on average is room to spare; beyond it the
  // frame is drawn line by line.
  static constexpr std::int32_t kMaxColumnRuns = 3 * kMaxAxisLines;

  // Columns [first, first + count) of a vertical line, blended with one
  // weight in every row. A stretch of one weight longer than a count can
  // hold goes on as the next run.
  struct ColumnRun {
    double weight;
    std::int32_t first;
    std::int16_t count;
    std::uint8_t style;
  };
  // The rows a horizontal line may touch; its weight differs from row to row.
  struct HorizontalLine {
    double position;
    IndexWindow rows;
    std::int32_t style;
  };

  // The lines of a width x height frame whose grid center is (cx, cy); none
  // when the opacity is not above 0. False when they do not fit.
  bool Build(const GridSettings& s, std::int32_t width, std::int32_t height, double cx, double cy);

  std::int32_t Width() const { return width_; }
  double Opacity() const { return opacity_; }
  const LineStyle& Style(std::int32_t style) const { return styles_[std::size_t(style)]; }

  std::int32_t RunCount() const { return runCount_; }
  const ColumnRun& Run(std::int32_t i) const { return runs_[i]; }
  // The runs of the vertical center line, which is drawn before every other
  // line: runs [0, CenterRuns()).
  std::int32_t CenterRuns() const { return centerRuns_; }
  // span(from, to, whole) for each span of touched columns that meets
  // [first, end): the span's runs are the runs of drawing order [from, to)
  // (RunInOrder), which leaves out the center line's; whole when the span
  // lies within [first, end). The lines of one span share no column with
  // those of another, so every pixel still receives its lines in drawing
  // order.
  template <typename Span>
  void ForEachSpan(std::int32_t first, std::int32_t end, Span&& span) const {
    touched_.ForEach(
        first, end,
        [&](std::int32_t k, std::int32_t from, std::int32_t to) {
          span(spanRuns_[k], spanRuns_[k + 1], from == touched_[k].first && to == touched_[k].end);
        },
        [](std::int32_t, std::int32_t) {});
  }
  // The run at place i of drawing order, after the center line's.
  std::int32_t RunInOrder(std::int32_t i) const { return runOrder_[i]; }
  // The runs of span k of TouchedColumns(): places [SpanRuns(k), SpanRuns(k + 1)) of drawing order.
  std::int32_t SpanRuns(std::int32_t k) const { return spanRuns_[k]; }

  // The vertical lines that touch the frame, the columns they touch and how many.
  std::int32_t VerticalCount() const { return verticalCount_; }
  const IndexSpans<kMaxAxisLines>& TouchedColumns() const { return touched_; }
  std::int32_t TouchedPixels() const { return touchedPixels_; }

  std::int32_t HorizontalCount() const { return horizontalCount_; }
  const HorizontalLine& Horizontal(std::int32_t h) const { return horizontals_[h]; }
  // The end of the rows from `first` on, up to `limit` of them, that the
  // same horizontal lines may touch: all of them, or none.
  std::int32_t RowsAlike(std::int32_t first, std::int32_t limit) const;

 private:
  // Columns [first, end), in runCount runs from runs_[firstRun].
  struct VerticalLine {
    std::int32_t first, end;
    std::int16_t firstRun;
    std::uint8_t runCount;
    std::uint8_t style;
  };

  void AddVertical(double x, int style);
  void AddHorizontal(double y, int style);
  void FindTouchedColumns();

  std::int32_t width_ = 0, height_ = 0;
  double opacity_ = 0.0;
  bool fits_ = true;
  std::array<LineStyle, kStyleCount> styles_{};
  std::int32_t verticalCount_ = 0, horizontalCount_ = 0, runCount_ = 0;
  std::int32_t centerRuns_ = 0, touchedPixels_ = 0;
  VerticalLine verticals_[kMaxAxisLines];
  HorizontalLine horizontals_[kMaxAxisLines];
  ColumnRun runs_[kMaxColumnRuns];
  IndexSpans<kMaxAxisLines> touched_;  // the columns that vertical lines touch
  std::int32_t spanRuns_[kMaxAxisLines + 1];
  std::int16_t runOrder_[kMaxColumnRuns];
  IndexSpans<kMaxAxisLines> touchedRows_;  // the rows that horizontal lines may touch
};

}  // namespace tessaline
