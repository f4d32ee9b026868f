// Every computed preset, put into the controls, resolved and rendered "Grid
// Only" at its own reference size, draws its lines at the intended fractions
// of the frame, in the intended colors, and nothing else.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "core/ControlValues.h"
#include "core/GridComposition.h"
#include "core/GridSettings.h"
#include "core/ParamIndex.h"
#include "core/PixelBuffer.h"
#include "presets/GridPreset.h"
#include "tests/support/PresetControls.h"

namespace tessaline {
namespace {

// The controls as the preset application leaves them, drawing "Grid Only".
test::FakeControls ControlsFor(std::int32_t preset, const GridPreset& p) {
  return test::PresetControls(preset, p, kBlendGridOnly);
}

// A line at a fraction of the frame in outer color 1 to 4; color 0 is the
// center line color.
struct Mark {
  double fraction;
  int color;
};

// An axis either lists its lines or is a square grid: lines at every whole
// multiple of the spacing from the center out to the frame edges, colors
// cycling from 1.
struct Axis {
  bool squareGrid;
  std::vector<Mark> marks;
};

Axis SquareGrid() {
  return Axis{true, {}};
}
Axis Marks(std::initializer_list<Mark> marks) {
  return Axis{false, marks};
}

const std::initializer_list<Mark> kEighths = {{3.0 / 8, 1}, {5.0 / 8, 1}, {2.0 / 8, 2},
                                              {6.0 / 8, 2}, {1.0 / 8, 3}, {7.0 / 8, 3}};
constexpr double kGolden = 0.11803398875;

struct Layout {
  std::int32_t preset;
  bool centerCross;
  Axis vertical;
  Axis horizontal;
  std::vector<PackedColor> colors;  // the cycling outer colors, "Color 1" first
};

// clang-format off
const Layout kLayouts[] = {
    {2, true, SquareGrid(), SquareGrid(), {0xFFD200FF, 0xA0FF50FF, 0x00D2FFFF, 0x5F5FFFFF}},
    {3, true, SquareGrid(), SquareGrid(), {0x4040FFFF, 0xFF8040FF, 0x78DC40FF, 0x40DCFFFF}},
    {4, true, SquareGrid(), SquareGrid(), {0xFFFFFFFF, 0x40DCFFFF, 0xFFB450FF}},
    {5, true, Marks(kEighths), Marks(kEighths), {0xFFB450FF, 0xFFFFFFFF, 0x40DCFFFF, 0x5050FFFF}},
    {6, true, Marks({{1.0 / 3, 1}, {2.0 / 3, 1}}),
              Marks({{1.0 / 3, 1}, {2.0 / 3, 1}}), {0x40DCFFFF}},
    {7, true, Marks({{0.4, 1}, {0.6, 1}, {0.3, 1}, {0.7, 1}}),
              Marks({{0.4, 1}, {0.6, 1}, {0.3, 1}, {0.7, 1}}), {0xFFD250FF}},
    {8, true, Marks({{0.5 - kGolden, 1}, {0.5 + kGolden, 1}}),
              Marks({{0.5 - kGolden, 1}, {0.5 + kGolden, 1}}), {0x30B4FFFF, 0xFFD250FF}},
    {9, true, Marks({{0.25, 1}, {0.75, 1}}), Marks({{0.25, 1}, {0.75, 1}}), {0xFFFFFFFF}},
    {10, true, Marks({{0.05, 1}, {0.95, 1}}), Marks({{0.05, 1}, {0.95, 1}}), {0x8CE650FF}},
    {11, true, Marks({{0.1, 1}, {0.9, 1}}), Marks({{0.1, 1}, {0.9, 1}}), {0x40DCFFFF}},
    // No center cross; of nine lines a side only the outer two: 9 in color 1, 8 in color 2.
    {12, false, Marks({{0.05, 1}, {0.95, 1}, {0.1, 2}, {0.9, 2}}),
                Marks({{0.05, 1}, {0.95, 1}, {0.1, 2}, {0.9, 2}}), {0x8CE650FF, 0x40DCFFFF}},
    {13, true, SquareGrid(), SquareGrid(), {0xFFC850FF, 0xFFFFFFFF}},
    {14, true, Marks({{1.0 / 3, 1}, {2.0 / 3, 1}}),
               Marks({{0.1, 1}, {0.9, 1}}), {0x40DCFFFF, 0xFFFFFFFF}},
    {15, true, Marks({{1.0 / 3, 1}, {2.0 / 3, 1}, {1.0 / 6, 2}, {5.0 / 6, 2}}),
               Marks(kEighths), {0xFFFFFFFF, 0x40DCFFFF, 0xFFB450FF}},
    {16, true, Marks({}), Marks({}), {0x4040FFFF}},
    {17, true, Marks(kEighths), Marks(kEighths), {0xFFFFFFFF, 0x40DCFFFF, 0xFFB450FF}},
};
// clang-format on

constexpr std::int32_t kSizes[][2] = {{1920, 1080}, {1080, 1920}, {3840, 2160}, {640, 480}};

// An expected line on one axis: its position in pixels, width and color.
struct Line {
  double position;
  double width;
  PackedColor color;
};

std::vector<Line> ExpectedLines(const Layout& layout, const Axis& axis, const GridPreset& p,
                                double spacing, std::int32_t size) {
  std::vector<Line> lines;
  if (layout.centerCross) lines.push_back({size * 0.5, p.centerLineWidth, p.centerColor});
  const std::size_t n = layout.colors.size();
  if (axis.squareGrid) {
    // Every multiple whose line can show, so lines missing at the edges count.
    const double reach = size * 0.5 + p.lineWidth * 0.5;
    for (int i = 1; i * spacing < reach; ++i) {
      const PackedColor color = layout.colors[std::size_t(i - 1) % n];
      lines.push_back({size * 0.5 - i * spacing, p.lineWidth, color});
      lines.push_back({size * 0.5 + i * spacing, p.lineWidth, color});
    }
  } else {
    for (const Mark& mark : axis.marks) {
      lines.push_back(
          {mark.fraction * size, p.lineWidth, layout.colors[std::size_t(mark.color - 1)]});
    }
  }
  return lines;
}

// Whether index k (spanning k to k + 1) lies within half a width plus one
// pixel of the line.
bool NearLine(std::int32_t k, const Line& line) {
  return std::fabs((k + 0.5) - line.position) < line.width * 0.5 + 1.0;
}

// The index whose center is farthest from every line of the other axis.
std::int32_t ClearIndex(const std::vector<Line>& lines, std::int32_t size, double* clearance) {
  std::int32_t best = 0;
  *clearance = -1.0;
  for (std::int32_t k = 0; k < size; ++k) {
    double nearest = 1e300;
    for (const Line& line : lines) {
      nearest = std::fmin(nearest, std::fabs((k + 0.5) - line.position) - line.width * 0.5);
    }
    if (nearest > *clearance) {
      *clearance = nearest;
      best = k;
    }
  }
  return best;
}

// A pixel drawn over transparency by one line holds the color itself
// (straight color); only its alpha shows the coverage.
bool HasColor(const Pixel8& pixel, PackedColor word) {
  return pixel.red == ((word >> 8) & 0xFFu) && pixel.green == ((word >> 16) & 0xFFu) &&
         pixel.blue == (word >> 24);
}

// Checks the pixels of one scan line across the lines of an axis: every drawn
// pixel belongs to an expected line and has its color, every line that lies
// in the frame is drawn, centered on its position and at full strength.
void CheckScanLine(const std::vector<Pixel8>& scan, const std::vector<Line>& lines) {
  const std::int32_t size = std::int32_t(scan.size());
  for (std::int32_t k = 0; k < size; ++k) {
    if (scan[std::size_t(k)].alpha == 0) continue;
    const Line* owner = nullptr;
    for (const Line& line : lines) {
      if (NearLine(k, line) && (owner == nullptr || std::fabs(k + 0.5 - line.position) <
                                                        std::fabs(k + 0.5 - owner->position))) {
        owner = &line;
      }
    }
    ASSERT_NE(owner, nullptr) << "stray pixel at " << k;
    EXPECT_TRUE(HasColor(scan[std::size_t(k)], owner->color))
        << "pixel " << k << " of the line at " << owner->position;
  }
  for (const Line& line : lines) {
    if (line.position < 0.0 || line.position > size) continue;
    double weight = 0.0;
    double moment = 0.0;
    bool clipped = false;
    for (std::int32_t k = std::int32_t(std::floor(line.position - line.width - 2));
         k <= std::int32_t(std::ceil(line.position + line.width + 2)); ++k) {
      if (!NearLine(k, line)) continue;
      if (k < 0 || k >= size) {
        clipped = true;
        continue;
      }
      weight += scan[std::size_t(k)].alpha;
      moment += scan[std::size_t(k)].alpha * (k + 0.5);
    }
    ASSERT_GT(weight, 0.0) << "no line at " << line.position;
    if (!clipped) {
      EXPECT_NEAR(moment / weight, line.position, 0.5) << "line at " << line.position;
      // An opaque line at full opacity: its coverage adds up to its width
      // (up to half a width plus half a pixel when it is thinner than a pixel),
      // give or take half a step of rounding per pixel.
      const double strength = weight / 255.0;
      const double rounding = (line.width + 4.0) * 0.5 / 255.0;
      EXPECT_GE(strength, line.width - rounding) << "line at " << line.position;
      EXPECT_LE(strength, std::fmax(line.width, line.width * 0.5 + 0.5) + rounding)
          << "line at " << line.position;
    }
  }
}

TEST(PresetLayout, PresetsDrawTheirLayoutsAtTheirReferenceSize) {
  static_assert(std::size(kLayouts) == 16);
  for (const Layout& layout : kLayouts) {
    for (const auto& size : kSizes) {
      const std::int32_t width = size[0];
      const std::int32_t height = size[1];
      SCOPED_TRACE(::testing::Message()
                   << "preset " << layout.preset << " at " << width << " x " << height);
      const GridPreset p = ComputeGridPreset(layout.preset, width, height);
      ASSERT_EQ(p.outerColorCount, std::int32_t(layout.colors.size()));
      if (layout.vertical.squareGrid) {
        ASSERT_EQ(p.xSpacing, p.ySpacing);
      }

      const GridSettings settings = ResolveGridSettings(ControlsFor(layout.preset, p));
      std::vector<Pixel8> pixels(std::size_t(width) * std::size_t(height), Pixel8{9, 9, 9, 9});
      const PixelBuffer buffer{pixels.data(), width * std::int32_t(sizeof(Pixel8)), width, height};
      ASSERT_EQ(RenderGrid8(nullptr, buffer, settings, CenteredPlacement(buffer)), kErrNone);

      const std::vector<Line> columns =
          ExpectedLines(layout, layout.vertical, p, p.xSpacing, width);
      const std::vector<Line> rows =
          ExpectedLines(layout, layout.horizontal, p, p.ySpacing, height);

      // Nothing is drawn away from the expected lines, anywhere in the frame.
      std::vector<bool> nearColumn(std::size_t(width), false);
      std::vector<bool> nearRow(std::size_t(height), false);
      for (std::int32_t c = 0; c < width; ++c) {
        for (const Line& line : columns)
          nearColumn[std::size_t(c)] = nearColumn[std::size_t(c)] || NearLine(c, line);
      }
      for (std::int32_t r = 0; r < height; ++r) {
        for (const Line& line : rows)
          nearRow[std::size_t(r)] = nearRow[std::size_t(r)] || NearLine(r, line);
      }
      std::int64_t stray = 0;
      for (std::int32_t r = 0; r < height; ++r) {
        for (std::int32_t c = 0; c < width; ++c) {
          const Pixel8& px = pixels[std::size_t(r) * std::size_t(width) + std::size_t(c)];
          const bool drawn = px.alpha != 0 || px.red != 0 || px.green != 0 || px.blue != 0;
          if (drawn && !nearColumn[std::size_t(c)] && !nearRow[std::size_t(r)]) ++stray;
        }
      }
      EXPECT_EQ(stray, 0) << "pixels drawn away from every expected line";

      // One row clear of every horizontal line crosses only the vertical
      // lines; one column clear of every vertical line only the horizontal.
      double rowClearance = 0.0;
      double columnClearance = 0.0;
      const std::int32_t scanRow = ClearIndex(rows, height, &rowClearance);
      const std::int32_t scanColumn = ClearIndex(columns, width, &columnClearance);
      ASSERT_GT(rowClearance, 1.0);
      ASSERT_GT(columnClearance, 1.0);
      std::vector<Pixel8> rowScan(pixels.begin() + std::int64_t(scanRow) * width,
                                  pixels.begin() + std::int64_t(scanRow + 1) * width);
      std::vector<Pixel8> columnScan;
      for (std::int32_t r = 0; r < height; ++r) {
        columnScan.push_back(pixels[std::size_t(r) * std::size_t(width) + std::size_t(scanColumn)]);
      }
      {
        SCOPED_TRACE(::testing::Message() << "row " << scanRow << ", vertical lines");
        CheckScanLine(rowScan, columns);
      }
      {
        SCOPED_TRACE(::testing::Message() << "column " << scanColumn << ", horizontal lines");
        CheckScanLine(columnScan, rows);
      }
    }
  }
}

}  // namespace
}  // namespace tessaline
