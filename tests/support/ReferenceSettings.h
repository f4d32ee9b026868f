#pragma once
// The settings of one frame worked out literally from the host's parameter
// records, as a reviewer reads the rules: each clamp written out, then the
// draft-resolution scaling (spacings by their own axis' downsample factor,
// widths by the smaller one). Tests that render through the entry point
// compare against ReferenceGrid run on these settings.
#include <cstdint>

#include "core/GridSettings.h"
#include "host/HostSdk.h"

namespace tessaline::reference {

inline GridColor ColorOf(const PF_Pixel& p) {
  return GridColor{p.red / 255.0, p.green / 255.0, p.blue / 255.0, p.alpha / 255.0};
}

inline std::int32_t Limit(std::int32_t v, std::int32_t lo, std::int32_t hi) {
  return v > hi ? hi : v < lo ? lo : v;
}

inline double LimitWidth(double v) {
  if (v > 20.0) v = 20.0;
  if (!(v >= 0.1)) v = 0.1;
  return v;
}

// params: 27 records indexed by ParamIndex (entries that rendering does not
// read may be null).
inline GridSettings ResolveSettings(const PF_ParamDef* const* params) {
  GridSettings s;
  s.preset = params[1]->u.pd.value;
  s.xSpacing = params[4]->u.fs_d.value >= 1.0 ? params[4]->u.fs_d.value : 1.0;
  s.ySpacing = params[5]->u.fs_d.value >= 1.0 ? params[5]->u.fs_d.value : 1.0;
  s.xCount = Limit(params[6]->u.sd.value, 0, 200);
  s.yCount = Limit(params[7]->u.sd.value, 0, 200);
  if (s.preset == 12) {
    if (s.xCount < 9) s.xCount = 9;
    if (s.yCount < 9) s.yCount = 9;
  }
  s.centerColor = ColorOf(params[10]->u.cd.value);
  s.outerColorCount = Limit(params[11]->u.pd.value, 1, 4);
  for (int k = 0; k < 4; ++k) {
    s.useColor[k] = params[12 + 2 * k]->u.bd.value != 0 && k < s.outerColorCount;
    s.colors[k] = ColorOf(params[13 + 2 * k]->u.cd.value);
  }
  s.lineWidth = LimitWidth(params[22]->u.fs_d.value);
  s.centerLineWidth = LimitWidth(params[23]->u.fs_d.value);
  double opacity = params[24]->u.fs_d.value / 100.0;
  if (opacity > 1.0) opacity = 1.0;
  if (!(opacity >= 0.0)) opacity = 0.0;
  s.opacity = opacity;
  s.blendMode = params[25]->u.pd.value;
  return s;
}

inline double DownsampleFactor(const PF_RationalScale& r) {
  return r.num > 0 && r.den > 0 ? double(r.num) / double(r.den) : 1.0;
}

inline void ScaleToDownsample(GridSettings& s, const PF_RationalScale& x,
                              const PF_RationalScale& y) {
  const double fx = DownsampleFactor(x), fy = DownsampleFactor(y);
  const double fw = fx < fy ? fx : fy;
  s.xSpacing *= fx;
  s.ySpacing *= fy;
  s.lineWidth *= fw;
  s.centerLineWidth *= fw;
}

// Field by field, doubles to the bit (none of them can be NaN).
inline bool SameSettings(const GridSettings& a, const GridSettings& b) {
  auto same = [](const GridColor& p, const GridColor& q) {
    return p.red == q.red && p.green == q.green && p.blue == q.blue && p.alpha == q.alpha;
  };
  if (a.preset != b.preset || a.xSpacing != b.xSpacing || a.ySpacing != b.ySpacing ||
      a.xCount != b.xCount || a.yCount != b.yCount || a.lineWidth != b.lineWidth ||
      a.centerLineWidth != b.centerLineWidth || a.opacity != b.opacity ||
      a.blendMode != b.blendMode || a.outerColorCount != b.outerColorCount ||
      !same(a.centerColor, b.centerColor)) {
    return false;
  }
  for (int k = 0; k < 4; ++k) {
    if (a.useColor[k] != b.useColor[k] || !same(a.colors[k], b.colors[k])) return false;
  }
  return true;
}

}  // namespace tessaline::reference
