#include "core/GridLines.h"

namespace tessaline {

std::array<LineStyle, kStyleCount> LineStyles(const GridSettings& s) {
  std::array<LineStyle, kStyleCount> styles{};
  styles[0] = LineStyle{&s.centerColor, s.centerLineWidth};
  for (int slot = 0; slot < kColorSlotCount; ++slot)
    styles[std::size_t(1 + slot)] = LineStyle{&s.colors[slot], s.lineWidth};
  return styles;
}

}  // namespace tessaline
