#pragma once
// 8-bit blends through tables. A blend maps each of the 256 old values of a
// channel to a new one for a given weight and color component: one table per
// channel replaces the arithmetic wherever the same weight is applied to many
// opaque pixels (the tables hold the plain mix; pixels that are not opaque
// take the straight-alpha blend).
//
// Two kinds of table need no lookups. With nothing of the old pixel kept,
// every old value gives the same new one and the blend is a fill, for every
// pixel. Most other tables are, exactly, a fixed-point line:
// new = min(255, (old * k + b) >> 16) for one integer k and b per channel.
// Filling the tables looks for such k and b and checks them against all 256
// entries; when every channel has them, SSE2 blends eight channels at a time
// with 16-bit integer products, and the tables serve the pixels left over.
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/PixelBlend.h"
#include "core/SpanBlend.h"
#include "core/StraightBlend.h"

namespace tessaline {

struct ChannelTables8 {
  std::uint8_t alpha[256], red[256], green[256], blue[256];
};

// The blend of filled tables: small enough to be held in registers while it
// runs. (Held beside the tables, its fields would be loaded again after every
// store to a pixel, since byte stores may alias them.)
class TableBlend8 {
 public:
  // Fills `tables` for the terms and gives their blend, valid while the
  // tables are not filled again.
  static TableBlend8 Fill(const BlendTerms& terms, ChannelTables8& tables);

  // Every pixel becomes the same one, whatever it was.
  bool Fills() const { return kind_ == Kind::kFill; }

  // A vertical line's runs are a pixel or two a row: those are blended where
  // the call is made, without setting up a whole run.
  [[gnu::always_inline]] void Apply(Pixel8* pixels, std::int32_t count) const {
    if (count > 2) return ApplyRun(pixels, count);
    if (kind_ == Kind::kFill) return FillPixels(pixels, count, std::bit_cast<Pixel8>(fill_));
    StraightBlend<Pixel8> straight(terms_);
    ApplyTable(pixels, count, straight);
  }

 private:
  enum class Kind : std::uint8_t { kTable, kFixedPoint, kFill };

  // Out of line, so that Apply stays small enough to be inlined where it is called.
  [[gnu::noinline]] void ApplyRun(Pixel8* pixels, std::int32_t count) const {
    StraightBlend<Pixel8> straight(terms_);
    switch (kind_) {
      case Kind::kFill:
        return FillPixels(pixels, count, std::bit_cast<Pixel8>(fill_));
      case Kind::kFixedPoint:
        return ApplyFixedPoint(pixels, count, straight);
      case Kind::kTable:
        return ApplyTable(pixels, count, straight);
    }
  }

  bool FindFill();
  void FindFixedPoint(double keep);

  // Four opaque pixels at a time (every alpha byte 255); groups with a
  // pixel that is not opaque, and the pixels left over, through ApplyTable.
  void ApplyFixedPoint(Pixel8* pixels, std::int32_t count, StraightBlend<Pixel8>& straight) const {
    std::int32_t i = 0;
#if TESSALINE_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi8(-1);
    for (; i + 4 <= count; i += 4) {
      auto* p = reinterpret_cast<__m128i*>(pixels + i);
      const __m128i four = _mm_loadu_si128(p);
      if ((_mm_movemask_epi8(_mm_cmpeq_epi8(four, full)) & 0x1111) != 0x1111) {
        ApplyTable(pixels + i, 4, straight);
        continue;
      }
      _mm_storeu_si128(p, _mm_packus_epi16(Line(_mm_unpacklo_epi8(four, zero)),
                                           Line(_mm_unpackhi_epi8(four, zero))));
    }
    if (i + 2 <= count) {
      auto* p = reinterpret_cast<__m128i*>(pixels + i);
      const __m128i pair = _mm_loadl_epi64(p);
      if ((_mm_movemask_epi8(_mm_cmpeq_epi8(pair, full)) & 0x11) == 0x11) {
        const __m128i two = Line(_mm_unpacklo_epi8(pair, zero));
        _mm_storel_epi64(p, _mm_packus_epi16(two, two));
        i += 2;
      }
    }
#endif
    ApplyTable(pixels + i, count - i, straight);
  }

  // One 32-bit load and store per opaque pixel (alpha in the low byte).
  [[gnu::always_inline]] void ApplyTable(Pixel8* pixels, std::int32_t count,
                                         StraightBlend<Pixel8>& straight) const {
    const ChannelTables8& tables = *tables_;
    for (std::int32_t i = 0; i < count; ++i) {
      std::uint32_t v;
      std::memcpy(&v, pixels + i, sizeof v);
      if ((v & 0xFF) != 0xFF) {
        straight(pixels[i]);
        continue;
      }
      v = Lookup(v, tables);
      std::memcpy(pixels + i, &v, sizeof v);
    }
  }

  // An opaque pixel as one word, alpha in the low byte, through the tables.
  static std::uint32_t Lookup(std::uint32_t v, const ChannelTables8& t) {
    static_assert(std::endian::native == std::endian::little);
    return std::uint32_t(t.alpha[v & 0xFF]) | std::uint32_t(t.red[(v >> 8) & 0xFF]) << 8 |
           std::uint32_t(t.green[(v >> 16) & 0xFF]) << 16 | std::uint32_t(t.blue[v >> 24]) << 24;
  }

#if TESSALINE_SSE2
  // (old * k + b) >> 16 for two pixels' channels as 16-bit integers, with
  // b = bHigh * 65536 + bLow: the high half of old * k, plus bHigh, plus the
  // carry out of the low half plus bLow (an unsigned comparison, made signed
  // by flipping the top bits). The caller's pack limits the result to 255.
  __m128i Line(__m128i old) const {
    const __m128i low = _mm_mullo_epi16(old, k_);
    const __m128i high = _mm_mulhi_epu16(old, k_);
    const __m128i carry =
        _mm_cmpgt_epi16(_mm_xor_si128(low, _mm_set1_epi16(std::int16_t(0x8000))), carryAbove_);
    return _mm_sub_epi16(_mm_add_epi16(high, bHigh_), carry);
  }

  __m128i k_, bHigh_, carryAbove_;
#endif
  const ChannelTables8* tables_ = nullptr;
  BlendTerms terms_{};
  std::uint32_t fill_ = 0;  // the pixel of a fill, as one word: kept out of byte registers
  Kind kind_ = Kind::kTable;
};

}  // namespace tessaline
