#include "presets/GridPreset.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "core/GridSettings.h"
#include "presets/PopupLabels.h"

namespace tessaline {
namespace {

// The side of the reference frame a spacing follows: W, H or M = min(W, H).
enum class Side : std::uint8_t { kWidth, kHeight, kMin };

// A spacing is side / constant or side * constant. The two forms are kept
// apart because they can differ in the last bit of a double.
enum class Operation : std::uint8_t { kDivide, kMultiply };

struct AxisRule {
  Operation operation;
  Side side;
  double constant;
};

constexpr AxisRule Divide(Side side, double divisor) {
  return AxisRule{Operation::kDivide, side, divisor};
}
constexpr AxisRule Multiply(Side side, double factor) {
  return AxisRule{Operation::kMultiply, side, factor};
}

constexpr Side W = Side::kWidth;
constexpr Side H = Side::kHeight;
constexpr Side M = Side::kMin;

// Square grid: spacing S = round(M / divisor), at least `floor`, on both axes;
// counts reach from the center to the frame edges. Proportional: each axis
// has its own unrounded spacing and a fixed count.
enum class Layout : std::uint8_t { kSquareGrid, kProportional };

struct PresetRow {
  std::string_view label;
  Layout layout;
  AxisRule x;  // square grid: M / divisor
  AxisRule y;
  double floor;         // square grid only
  std::int32_t xCount;  // proportional only
  std::int32_t yCount;
  std::int32_t outerColorCount;
  std::array<PackedColor, kColorSlotCount> colors;
  double kLine;    // line width at scale 1
  double kCenter;  // center line width at scale 1
};

using Colors = std::array<PackedColor, kColorSlotCount>;

constexpr PresetRow Square(std::string_view label, double divisor, double floor,
                           std::int32_t colorCount, Colors colors, double kLine, double kCenter) {
  return PresetRow{label,
                   Layout::kSquareGrid,
                   Divide(M, divisor),
                   Divide(M, divisor),
                   floor,
                   0,
                   0,
                   colorCount,
                   colors,
                   kLine,
                   kCenter};
}

constexpr PresetRow Proportional(std::string_view label, AxisRule x, AxisRule y,
                                 std::int32_t xCount, std::int32_t yCount, std::int32_t colorCount,
                                 Colors colors, double kLine, double kCenter) {
  return PresetRow{
      label, Layout::kProportional, x, y, 0.0, xCount, yCount, colorCount, colors, kLine, kCenter};
}

// One row per "Preset" value from 2 ("Fine Draft") to 17 ("Presentation").
// clang-format off
constexpr std::array<PresetRow, 16> kPresets = {{
    Square("Fine Draft", 34, 8, 4,
           {0xFFD200FF, 0xA0FF50FF, 0x00D2FFFF, 0x5F5FFFFF}, 1, 1.5),
    Square("Balanced Grid", 10.8, 24, 4,
           {0x4040FFFF, 0xFF8040FF, 0x78DC40FF, 0x40DCFFFF}, 2, 2),
    Square("Coarse Grid", 5.4, 48, 3,
           {0xFFFFFFFF, 0x40DCFFFF, 0xFFB450FF, 0x5050FFFF}, 3, 4),
    Proportional("Modular Grid", Multiply(W, 0.125), Multiply(H, 0.125), 3, 3, 4,
                 {0xFFB450FF, 0xFFFFFFFF, 0x40DCFFFF, 0x5050FFFF}, 2.5, 3.5),
    Proportional("Thirds", Divide(W, 6), Divide(H, 6), 1, 1, 1,
                 {0x40DCFFFF, 0xFF8040FF, 0x78DC40FF, 0x4040FFFF}, 3, 3),
    Proportional("Fifths", Divide(W, 10), Divide(H, 10), 2, 2, 1,
                 {0xFFD250FF, 0x40DCFFFF, 0x78DC40FF, 0x4040FFFF}, 2.5, 3),
    Proportional("Golden Guide", Multiply(W, 0.11803398875), Multiply(H, 0.11803398875), 1, 1, 2,
                 {0x30B4FFFF, 0xFFD250FF, 0x78DC40FF, 0x4040FFFF}, 3, 3),
    Proportional("Quadrants", Multiply(W, 0.25), Multiply(H, 0.25), 1, 1, 1,
                 {0xFFFFFFFF, 0xFF8040FF, 0x78DC40FF, 0x40DCFFFF}, 3, 4),
    Proportional("Safe Area 90", Multiply(W, 0.45), Multiply(H, 0.45), 1, 1, 1,
                 {0x8CE650FF, 0x40DCFFFF, 0xFFB450FF, 0x5050FFFF}, 3, 4),
    Proportional("Safe Area 80", Multiply(W, 0.4), Multiply(H, 0.4), 1, 1, 1,
                 {0x40DCFFFF, 0x5050FFFF, 0xFFB450FF, 0x8CE650FF}, 3.5, 4.5),
    Proportional("Margin Frame", Multiply(W, 0.05), Multiply(H, 0.05), 9, 9, 2,
                 {0x8CE650FF, 0x40DCFFFF, 0xFFB450FF, 0x5050FFFF}, 3, 4),
    Square("Blueprint", 21.6, 12, 2,
           {0xFFC850FF, 0xFFFFFFFF, 0x8CE650FF, 0x40DCFFFF}, 1, 2),
    Proportional("Cinematic", Divide(W, 6), Multiply(H, 0.4), 1, 1, 2,
                 {0x40DCFFFF, 0xFFFFFFFF, 0xFFB450FF, 0x5050FFFF}, 3.5, 5),
    Proportional("Social Layout", Divide(W, 6), Multiply(H, 0.125), 2, 3, 3,
                 {0xFFFFFFFF, 0x40DCFFFF, 0xFFB450FF, 0x5050FFFF}, 3, 4),
    Proportional("Center Cross", Divide(M, 9), Divide(M, 9), 0, 0, 1,
                 {0x4040FFFF, 0xFF8040FF, 0x78DC40FF, 0x40DCFFFF}, 2, 3),
    Proportional("Presentation", Multiply(W, 0.125), Multiply(H, 0.125), 3, 3, 3,
                 {0xFFFFFFFF, 0x40DCFFFF, 0xFFB450FF, 0x5050FFFF}, 4, 5),
}};
// clang-format on

constexpr std::size_t RowIndex(std::int32_t preset) {
  return static_cast<std::size_t>(preset - kPresetFirstLayout);
}

constexpr bool RowsMatchPopup() {
  if (kPresets.size() != kPresetLabels.size() - 1) return false;
  if (kPresetLabels[kPresetCustom - 1] != "Custom") return false;
  for (std::int32_t preset = kPresetFirstLayout; preset <= kPresetLastLayout; ++preset) {
    if (kPresets[RowIndex(preset)].label != kPresetLabels[std::size_t(preset - 1)]) return false;
  }
  return kPresetLastLayout == std::int32_t(kPresetLabels.size());
}
static_assert(RowsMatchPopup(), "every row must sit at its \"Preset\" popup entry");

constexpr bool RowsAreInRange() {
  for (const PresetRow& row : kPresets) {
    if (row.outerColorCount < 1 || row.outerColorCount > kColorSlotCount) return false;
    if (row.xCount < 0 || row.xCount > kMaxLineCount || row.yCount < 0 ||
        row.yCount > kMaxLineCount)
      return false;
    for (PackedColor color : row.colors) {
      if ((color & 0xFFu) != 0xFFu) return false;  // every preset color is opaque
    }
  }
  return true;
}
static_assert(RowsAreInRange());
static_assert(kPresets[RowIndex(kPresetMarginFrame)].label == "Margin Frame");
static_assert(kPresets[RowIndex(kPresetBalancedGrid)].label == "Balanced Grid");

constexpr PackedColor kOpaqueWhite = 0xFFFFFFFFu;
constexpr double kOpacityPercent = 100.0;

double SideLength(Side side, double width, double height, double minSide) {
  switch (side) {
    case Side::kWidth:
      return width;
    case Side::kHeight:
      return height;
    case Side::kMin:
      break;
  }
  return minSide;
}

double Spacing(const AxisRule& rule, double width, double height, double minSide) {
  const double length = SideLength(rule.side, width, height, minSide);
  return rule.operation == Operation::kDivide ? length / rule.constant : length * rule.constant;
}

// (s * k) * 10, rounded half away from zero, / 10: one decimal. Then limited
// to the line width range, at most 20 and at least 0.1.
double ScaledWidth(double scale, double k) {
  double width = std::round((scale * k) * 10.0) / 10.0;
  if (width > kMaxLineWidth) width = kMaxLineWidth;
  if (!(width >= kMinLineWidth)) width = kMinLineWidth;
  return width;
}

// Smallest number of lines that reaches from the center past half a side,
// limited to 0 to 200 before the conversion.
std::int32_t EdgeCount(double side, double spacing) {
  double count = std::ceil((side * 0.5) / spacing);
  if (count > kMaxLineCount) count = kMaxLineCount;
  if (!(count >= 0.0)) count = 0.0;
  return static_cast<std::int32_t>(count);
}

}  // namespace

GridPreset ComputeGridPreset(std::int32_t preset, double width, double height) {
  if (preset < kPresetFirstLayout || preset > kPresetLastLayout) preset = kPresetBalancedGrid;
  const PresetRow& row = kPresets[RowIndex(preset)];

  // Not-a-number sizes fail the comparison and count as 1 as well.
  const double w = width > 1.0 ? width : 1.0;
  const double h = height > 1.0 ? height : 1.0;
  const double m = w < h ? w : h;
  double scale = m / 1080.0;
  if (scale > 3.0) scale = 3.0;
  if (!(scale > 0.6)) scale = 0.6;

  GridPreset result;
  if (row.layout == Layout::kSquareGrid) {
    double spacing = std::round(Spacing(row.x, w, h, m));
    if (spacing < row.floor) spacing = row.floor;
    result.xSpacing = spacing;
    result.ySpacing = spacing;
    result.xCount = EdgeCount(w, spacing);
    result.yCount = EdgeCount(h, spacing);
  } else {
    result.xSpacing = Spacing(row.x, w, h, m);
    result.ySpacing = Spacing(row.y, w, h, m);
    result.xCount = row.xCount;
    result.yCount = row.yCount;
  }
  result.outerColorCount = row.outerColorCount;
  for (int slot = 0; slot < kColorSlotCount; ++slot) {
    result.colors[slot] = row.colors[std::size_t(slot)];
    result.useColor[slot] = 1;
  }
  result.centerColor = kOpaqueWhite;
  result.lineWidth = ScaledWidth(scale, row.kLine);
  result.centerLineWidth = ScaledWidth(scale, row.kCenter);
  result.opacity = kOpacityPercent;
  return result;
}

}  // namespace tessaline
