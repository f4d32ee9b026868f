#pragma once
// The lines of one frame in drawing order, which decides every crossing: the
// vertical center line; the horizontal center line; the outer vertical lines
// by increasing index, left before right; the outer horizontal lines by
// increasing index, upper before lower. "Margin Frame" draws no center cross
// and only the two outermost indices. Outer lines cycle through the color
// slots in use; a slot switched off leaves its lines out but keeps its place
// in the cycle. Outer lines too far outside the frame to touch it are left
// out.
#include <array>
#include <cstdint>

#include "core/GridColor.h"
#include "core/GridSettings.h"

namespace tessaline {

enum class Axis : std::uint8_t { kVertical, kHorizontal };

// A line's color and width: style 0 is the center cross, 1 to 4 the outer
// color slots.
struct LineStyle {
  const GridColor* color;
  double width;
};
inline constexpr int kStyleCount = 1 + kColorSlotCount;
std::array<LineStyle, kStyleCount> LineStyles(const GridSettings& s);

struct GridLine {
  Axis axis;
  double position;  // a column position for a vertical line, a row position for a horizontal one
  int style;
};

// Calls draw(GridLine) for every line of a width x height frame whose grid
// center is (cx, cy), in drawing order.
template <typename Draw>
void ForEachLine(const GridSettings& s, std::int32_t width, std::int32_t height, double cx,
                 double cy, Draw&& draw);

// ---------------------------------------------------------------------------

namespace detail {

// The outer lines of one axis: for i = 1 to count, the line at
// center - i * spacing, then the one at center + i * spacing.
template <typename Draw>
void OuterLines(const GridSettings& s, Axis axis, std::int32_t count, double spacing, double center,
                std::int32_t size, Draw& draw) {
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
    if (low >= -margin && low <= extent) draw(GridLine{axis, low, 1 + slot});
    if (high >= -margin && high <= extent) draw(GridLine{axis, high, 1 + slot});
  }
}

}  // namespace detail

template <typename Draw>
void ForEachLine(const GridSettings& s, std::int32_t width, std::int32_t height, double cx,
                 double cy, Draw&& draw) {
  if (s.preset != kPresetMarginFrame) {
    draw(GridLine{Axis::kVertical, cx, 0});
    draw(GridLine{Axis::kHorizontal, cy, 0});
  }
  detail::OuterLines(s, Axis::kVertical, s.xCount, s.xSpacing, cx, width, draw);
  detail::OuterLines(s, Axis::kHorizontal, s.yCount, s.ySpacing, cy, height, draw);
}

}  // namespace tessaline
