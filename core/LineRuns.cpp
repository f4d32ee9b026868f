#include "core/LineRuns.h"

#include <algorithm>
#include <bit>

namespace tessaline {

bool LineRuns::Build(const GridSettings& s, std::int32_t width, std::int32_t height, double cx,
                     double cy) {
  width_ = width;
  height_ = height;
  opacity_ = s.opacity;
  styles_ = LineStyles(s);
  if (s.opacity > 0.0) {
    ForEachLine(s, width, height, cx, cy, [&](const GridLine& line) {
      if (line.axis == Axis::kVertical)
        AddVertical(line.position, line.style);
      else
        AddHorizontal(line.position, line.style);
    });
  }
  if (!fits_) return false;
  FindTouchedColumns();
  touchedRows_.Gather(horizontals_, horizontalCount_, [](const HorizontalLine& h) {
    return IndexSpan{h.rows.first, h.rows.last + 1};
  });
  return true;
}

std::int32_t LineRuns::RowsAlike(std::int32_t first, std::int32_t limit) const {
  const std::int32_t most = first + std::min(limit, height_ - first);
  const std::int32_t k = touchedRows_.FirstEndingAfter(first);
  if (k == touchedRows_.size()) return most;
  const IndexSpan& rows = touchedRows_[k];
  return std::min(rows.first > first ? rows.first : rows.end, most);
}

// The weights of every covered column of the window, as the vertical stamp
// computes them per pixel, grouped into runs of equal weight (bitwise). A
// line that covers no column of the frame is left out.
void LineRuns::AddVertical(double x, int style) {
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
    if (line.runCount > 0 && runs_[runCount_ - 1].count < INT16_MAX &&
        std::bit_cast<std::uint64_t>(runs_[runCount_ - 1].weight) ==
            std::bit_cast<std::uint64_t>(weight)) {
      ++runs_[runCount_ - 1].count;
    } else {
      if (runCount_ == kMaxColumnRuns || line.runCount == UINT8_MAX) {
        fits_ = false;
        return;
      }
      if (line.runCount == 0) line.first = c;
      runs_[runCount_++] = ColumnRun{weight, c, 1, std::uint8_t(style)};
      ++line.runCount;
    }
    line.end = c + 1;
  }
  if (line.runCount > 0) verticals_[verticalCount_++] = line;
}

void LineRuns::AddHorizontal(double y, int style) {
  if (!fits_) return;
  if (horizontalCount_ == kMaxAxisLines) {
    fits_ = false;
    return;
  }
  const IndexWindow rows = LineWindow(y, styles_[std::size_t(style)].width, height_);
  if (!rows.empty()) horizontals_[horizontalCount_++] = HorizontalLine{y, rows, style};
}

// The columns that any vertical line blends, as sorted, disjoint spans, and
// the runs of each span's lines in drawing order. The vertical center line
// comes first of all lines and is left out of the spans.
void LineRuns::FindTouchedColumns() {
  touched_.Gather(verticals_, verticalCount_, [](const VerticalLine& v) {
    return IndexSpan{v.first, v.end};
  });
  touchedPixels_ = 0;
  for (std::int32_t k = 0; k < touched_.size(); ++k)
    touchedPixels_ += touched_[k].end - touched_[k].first;
  const bool centerFirst = verticalCount_ > 0 && verticals_[0].style == 0;
  centerRuns_ = centerFirst ? verticals_[0].runCount : 0;
  std::int32_t listed = 0;
  for (std::int32_t k = 0; k < touched_.size(); ++k) {
    spanRuns_[k] = listed;
    for (std::int32_t v = centerFirst ? 1 : 0; v < verticalCount_; ++v) {
      const VerticalLine& line = verticals_[v];
      if (line.first < touched_[k].first || line.end > touched_[k].end) continue;
      for (std::int32_t i = 0; i < line.runCount; ++i)
        runOrder_[listed++] = std::int16_t(line.firstRun + i);
    }
  }
  spanRuns_[touched_.size()] = listed;
}

}  // namespace tessaline
