#pragma once
// An in-process host driving the statically linked plug-in, set up as the
// host does after applying the effect: global setup and parameter setup done.
#include <cstdint>
#include <vector>

#include "core/ParamIndex.h"
#include "host/EffectMain.h"
#include "minihost/MiniHost.h"

namespace tessaline::test {

class PluginHost : public MiniHost {
 public:
  PluginHost() : MiniHost(&EffectMain) {
    GlobalSetup();
    ParamsSetup();
  }
};

// Columns of `row` of an 8-bit world whose alpha is not zero.
inline std::vector<std::int32_t> DrawnColumns(const World& world, std::int32_t row) {
  std::vector<std::int32_t> columns;
  for (std::int32_t c = 0; c < world.width(); ++c)
    if (world.At<PF_Pixel>(row, c).alpha != 0) columns.push_back(c);
  return columns;
}

// Rows of `column` of an 8-bit world whose alpha is not zero.
inline std::vector<std::int32_t> DrawnRows(const World& world, std::int32_t column) {
  std::vector<std::int32_t> rows;
  for (std::int32_t r = 0; r < world.height(); ++r)
    if (world.At<PF_Pixel>(r, column).alpha != 0) rows.push_back(r);
  return rows;
}

// A deterministic, non-uniform source at any depth.
inline void FillPattern(World& world) {
  for (std::int32_t r = 0; r < world.height(); ++r)
    for (std::int32_t c = 0; c < world.width(); ++c) {
      const std::uint32_t v = std::uint32_t(r * 131 + c * 17);
      switch (world.depth()) {
        case PixelDepth::k8:
          world.At<PF_Pixel>(r, c) =
              PF_Pixel{A_u_char(200 + v % 56), A_u_char(v), A_u_char(v >> 3), A_u_char(v >> 5)};
          break;
        case PixelDepth::k16:
          world.At<PF_Pixel16>(r, c) =
              PF_Pixel16{A_u_short(30000 + v % 2768), A_u_short(v * 7 % 32769),
                         A_u_short(v * 3 % 32769), A_u_short(v % 32769)};
          break;
        case PixelDepth::kFloat:
          world.At<PF_PixelFloat>(r, c) =
              PF_PixelFloat{1.0f, float(v % 97) / 96.0f, float(v % 31) / 15.0f - 0.5f, 0.25f};
          break;
      }
    }
}

}  // namespace tessaline::test
