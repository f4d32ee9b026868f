#include "core/TableBlend8.h"

#include <algorithm>

namespace tessaline {
namespace {

// The k tried per channel, nearest first, alternating above and below.
constexpr std::int32_t kCandidates = 17;

}  // namespace

TableBlend8 TableBlend8::Fill(const BlendTerms& t, ChannelTables8& tables) {
  for (int v = 0; v < 256; ++v) {
    const auto old = std::uint8_t(v);
    tables.alpha[v] = BlendChannel(old, t.keep, t.alpha);
    tables.red[v] = BlendChannel(old, t.keep, t.red);
    tables.green[v] = BlendChannel(old, t.keep, t.green);
    tables.blue[v] = BlendChannel(old, t.keep, t.blue);
  }
  TableBlend8 blend;
  blend.tables_ = &tables;
  blend.terms_ = t;
  if (t.keep == 0.0 && blend.FindFill()) return blend;
  blend.FindFixedPoint(t.keep);
  return blend;
}

// Every channel giving one value whatever the old one. Only with nothing of
// the old pixel kept is that true of pixels that are not opaque as well.
bool TableBlend8::FindFill() {
  const ChannelTables8& t = *tables_;
  const std::uint8_t* channels[4] = {t.alpha, t.red, t.green, t.blue};
  for (const std::uint8_t* c : channels)
    if (!std::all_of(c, c + 256, [&](std::uint8_t v) { return v == c[0]; })) return false;
  fill_ = std::bit_cast<std::uint32_t>(Pixel8{t.alpha[0], t.red[0], t.green[0], t.blue[0]});
  kind_ = Kind::kFill;
  return true;
}

// For each channel, k near keep * 65536 and the least b with which the line
// gives every entry of the table; a fixed-point blend when all four have them.
void TableBlend8::FindFixedPoint([[maybe_unused]] double keep) {
#if TESSALINE_SSE2
  if (!(keep >= 0.0 && keep < 1.0)) return;
  const ChannelTables8& t = *tables_;
  const std::uint8_t* channels[4] = {t.alpha, t.red, t.green, t.blue};
  std::int16_t k[4], bHigh[4], carryAbove[4];
  const auto nearest = std::int32_t(keep * 65536.0 + 0.5);
  for (int c = 0; c < 4; ++c) {
    bool found = false;
    for (std::int32_t step = 0; step < kCandidates && !found; ++step) {
      const std::int32_t candidate = nearest + (step % 2 == 0 ? step / 2 : -(step + 1) / 2);
      if (candidate < 0 || candidate > 65535) continue;
      std::int64_t least = 0, most = std::int64_t{1} << 24;
      for (std::int32_t v = 0; v < 256 && least <= most; ++v) {
        const std::int64_t product = std::int64_t{v} * candidate;
        const std::int64_t value = channels[c][v];
        least = std::max(least, value * 65536 - product);
        if (value < 255) most = std::min(most, (value + 1) * 65536 - 1 - product);
      }
      if (least > most) continue;
      found = true;
      k[c] = std::int16_t(std::uint16_t(candidate));
      bHigh[c] = std::int16_t(least >> 16);
      // low + bLow carries when low > 65535 - bLow, compared with the top bits flipped.
      carryAbove[c] = std::int16_t(std::uint16_t((65535 - (least & 0xFFFF)) ^ 0x8000));
    }
    if (!found) return;
  }
  k_ = _mm_set_epi16(k[3], k[2], k[1], k[0], k[3], k[2], k[1], k[0]);
  bHigh_ =
      _mm_set_epi16(bHigh[3], bHigh[2], bHigh[1], bHigh[0], bHigh[3], bHigh[2], bHigh[1], bHigh[0]);
  carryAbove_ = _mm_set_epi16(carryAbove[3], carryAbove[2], carryAbove[1], carryAbove[0],
                              carryAbove[3], carryAbove[2], carryAbove[1], carryAbove[0]);
  kind_ = Kind::kFixedPoint;
#endif
}

}  // namespace tessaline
