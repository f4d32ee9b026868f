#pragma once
// The span blend: runs of pixels blended with one weight toward one color,
// at each depth, with each level's instructions.
#include <array>
#include <cstdint>

#include "core/Kernels.h"
#include "core/PixelBlend.h"
#include "core/PixelBuffer.h"
#include "core/PixelFills.h"
#include "core/StraightBlend.h"

namespace tessaline {

// ---------------------------------------------------------------------------
// One blend weight, applied to many pixels
//
// Every opaque pixel blended toward `color` with weight x computes, per
// channel, (old / full scale) * keep + x * v with keep = 1 - x. keep and x * v
// do not depend on the pixel, so they are worked out once (BlendTerms); the
// per-pixel operations that remain are those of BlendPixel, in the same
// order. Pixels that are not opaque take BlendPixel itself, through
// StraightBlend.

// The largest double below 0.5. For 0 <= n < 2^31, truncating n + kJustBelowHalf
// gives floor(n + 0.5), std::round's result: the sum can round up onto the
// next integer only when n + 0.5 is that integer (or 2^-54 short of 1, which
// rounds to even, 1.0), and can never reach the integer above it.
constexpr double kJustBelowHalf = 0.49999999999999994;
static_assert(kJustBelowHalf < 0.5 && kJustBelowHalf + 0x1p-54 == 0.5);

// std::round followed by the limits of the integer blends: at most full
// scale, 0 when not above 0 (not-a-number included).
template <typename Pixel>
std::int32_t RoundToChannel(double n) {
  constexpr std::int32_t full = PixelTraits<Pixel>::kFullScale;
  if (!(n > 0.0)) return 0;
  if (n > full) return full;  // std::round(n) is full scale or more
  return static_cast<std::int32_t>(n + kJustBelowHalf);
}

constexpr double kFull8 = PixelTraits<Pixel8>::kFullScale;
constexpr double kFull16 = PixelTraits<Pixel16>::kFullScale;

// old / 255.0 for every 8-bit value, as the blend computes it.
constexpr std::array<double, 256> kUnit8 = [] {
  std::array<double, 256> unit{};
  for (int v = 0; v < 256; ++v) unit[v] = v / kFull8;
  return unit;
}();

inline std::uint8_t BlendChannel(std::uint8_t old, double keep, double term) {
  return std::uint8_t(RoundToChannel<Pixel8>((kUnit8[old] * keep + term) * kFull8));
}

inline std::uint16_t BlendChannel(std::uint16_t old, double keep, double term) {
  return std::uint16_t(RoundToChannel<Pixel16>((old / kFull16 * keep + term) * kFull16));
}

inline float BlendChannel(float old, double keep, double term) {
  return static_cast<float>(static_cast<double>(old) * keep + term);
}

// Blends runs of pixels with one weight toward one color, with the kernels
// of the level in force. The scalar loop is the definition; with SSE2 the
// 16-bit and float blends use it, two channels per double lane pair, with
// the same operations in the same order: conversions, products and sums
// round as the scalar ones do, and the 16-bit limits and rounding are done
// exactly (see RoundToChannel). At the levels that have one, longer float
// runs take the level's wider kernel (Kernels::blendFloats), to the same
// bits.
template <typename Pixel>
class SpanBlend {
 public:
  SpanBlend(const BlendTerms& terms, const Kernels&) : t_(terms) {}
  // Nothing of the old pixel kept: every pixel becomes the same one (a float
  // one, where its channels are finite numbers).
  bool Fills() const { return t_.keep == 0.0; }
  void Apply(Pixel* pixels, std::int32_t count) const {
    StraightBlend<Pixel> straight(t_);
    for (std::int32_t i = 0; i < count; ++i) {
      Pixel& p = pixels[i];
      if (!IsOpaque(p)) {
        straight(p);
        continue;
      }
      p.alpha = BlendChannel(p.alpha, t_.keep, t_.alpha);
      p.red = BlendChannel(p.red, t_.keep, t_.red);
      p.green = BlendChannel(p.green, t_.keep, t_.green);
      p.blue = BlendChannel(p.blue, t_.keep, t_.blue);
    }
  }

 private:
  BlendTerms t_;
};

#if TESSALINE_SSE2
// Pixel channels lie in memory as alpha, red, green, blue: the low lane pair
// holds alpha and red, the high one green and blue.
class Sse2Terms {
 protected:
  explicit Sse2Terms(const BlendTerms& t)
      : keep_(_mm_set1_pd(t.keep)),
        alphaRed_(_mm_set_pd(t.red, t.alpha)),
        greenBlue_(_mm_set_pd(t.blue, t.green)) {}
  __m128d keep_, alphaRed_, greenBlue_;
};

template <>
class SpanBlend<Pixel16> : Sse2Terms {
 public:
  SpanBlend(const BlendTerms& terms, const Kernels&)
      : Sse2Terms(terms),
        terms_(terms),
        scaled_(terms.keep >= 0.0 && terms.keep <= 1.0 && Within(terms.alpha) &&
                Within(terms.red) && Within(terms.green) && Within(terms.blue)) {
    if (scaled_) {
      alphaRed_ = _mm_mul_pd(alphaRed_, _mm_set1_pd(kFull16));
      greenBlue_ = _mm_mul_pd(greenBlue_, _mm_set1_pd(kFull16));
    }
    // With nothing of the old value kept, every pixel becomes the same one,
    // opaque or not: that of a blended transparent one.
    if (terms.keep == 0.0) {
      Pixel16 value{};
      Apply(&value, 1);
      fill_ = PatternOf(value);
      fills_ = true;
    }
  }
  // Every pixel becomes the same one, whatever it was.
  bool Fills() const { return fills_; }
  void Apply(Pixel16* pixels, std::int32_t count) const {
    if (fills_)
      FillPixels(pixels, count, fill_);
    else if (scaled_)
      Loop<true>(pixels, count);
    else
      Loop<false>(pixels, count);
  }

 private:
  static bool Within(double term) { return term >= -1.0 && term <= 1.0; }

  // Two opaque pixels at a time (alpha 32768 or more: the top bit of bytes
  // 1 and 9 set), any other pixel on its own.
  template <bool kScaled>
  void Loop(Pixel16* pixels, std::int32_t count) const {
    const __m128i zero = _mm_setzero_si128();
    StraightBlend<Pixel16> straight(terms_);
    std::int32_t i = 0;
    for (; i + 2 <= count; i += 2) {
      auto* p = reinterpret_cast<__m128i*>(pixels + i);
      const __m128i both = _mm_loadu_si128(p);
      if ((_mm_movemask_epi8(both) & 0x202) != 0x202) {
        One<kScaled>(pixels[i], straight);
        One<kScaled>(pixels[i + 1], straight);
        continue;
      }
      const __m128i first = Blend<kScaled>(_mm_unpacklo_epi16(both, zero));
      const __m128i second = Blend<kScaled>(_mm_unpackhi_epi16(both, zero));
      _mm_storeu_si128(p, Pack(first, second));
    }
    if (i < count) One<kScaled>(pixels[i], straight);
  }

  template <bool kScaled>
  void One(Pixel16& pixel, StraightBlend<Pixel16>& straight) const {
    if (!IsOpaque(pixel)) return straight(pixel);
    auto* p = reinterpret_cast<__m128i*>(&pixel);
    const __m128i one = Blend<kScaled>(_mm_unpacklo_epi16(_mm_loadl_epi64(p), _mm_setzero_si128()));
    _mm_storel_epi64(p, Pack(one, one));
  }

  // The four channels of one pixel, as 32-bit integers, blended and rounded
  // to integers (see Channels), still to be limited to 0 to 32768.
  template <bool kScaled>
  __m128i Blend(__m128i channels) const {
    const __m128i alphaRed = Channels<kScaled>(_mm_cvtepi32_pd(channels), alphaRed_);
    const __m128i greenBlue =
        Channels<kScaled>(_mm_cvtepi32_pd(_mm_srli_si128(channels, 8)), greenBlue_);
    return _mm_unpacklo_epi64(alphaRed, greenBlue);
  }

  // n = ((old / 32768) * keep + term) * 32768 for two channels, rounded as
  // RoundToChannel rounds.
  //
  // Scaling by a power of two commutes with rounding as long as nothing
  // overflows or falls below the normal range. With keep in 0 to 1 (0, or at
  // least 2^-53) and |term| <= 1, every product and sum is 0 or normal, so
  // n = old * keep + term * 32768 to the bit: the scaled form saves the
  // division and the final product. It also keeps n within -32768 to 98304,
  // so the conversion to integers cannot overflow and Pack's integer limits
  // give RoundToChannel's. Otherwise max() turns values not above 0
  // (not-a-number included) into 0 and min() limits to 32768 first.
  template <bool kScaled>
  __m128i Channels(__m128d old, __m128d terms) const {
    __m128d n;
    if constexpr (kScaled) {
      n = _mm_add_pd(_mm_mul_pd(old, keep_), terms);
    } else {
      const __m128d full = _mm_set1_pd(kFull16);
      n = _mm_mul_pd(old, _mm_set1_pd(1.0 / kFull16));  // exact, as old / 32768
      n = _mm_mul_pd(_mm_add_pd(_mm_mul_pd(n, keep_), terms), full);
      n = _mm_min_pd(_mm_max_pd(n, _mm_setzero_pd()), full);
    }
    return _mm_cvttpd_epi32(_mm_add_pd(n, _mm_set1_pd(kJustBelowHalf)));
  }

  // Eight rounded channels into unsigned 16 bits, limited to 0 to 32768:
  // shifted down by 32768, the signed pack saturates below at -32768 (0),
  // min() limits above at 0 (32768), and the sign flip shifts back.
  static __m128i Pack(__m128i first, __m128i second) {
    static_assert(kFull16 == 0x8000);
    const __m128i bias = _mm_set1_epi32(32768);
    const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(first, bias), _mm_sub_epi32(second, bias));
    return _mm_xor_si128(_mm_min_epi16(packed, _mm_setzero_si128()),
                         _mm_set1_epi16(std::int16_t(0x8000)));
  }

  BlendTerms terms_;
  bool scaled_;
  bool fills_ = false;
  __m128i fill_ = _mm_setzero_si128();
};

template <>
class SpanBlend<PixelFloat> : Sse2Terms {
 public:
  SpanBlend(const BlendTerms& terms, const Kernels& kernels)
      : Sse2Terms(terms), terms_(terms), wide_(kernels.blendFloats) {}
  // Nothing of the old pixel kept: every pixel whose channels are finite
  // numbers becomes the same one.
  bool Fills() const { return terms_.keep == 0.0; }
  // A few pixels (a vertical line's run in a row) where the call is made.
  void Apply(PixelFloat* pixels, std::int32_t count) const {
    if (count > 3 && wide_ != nullptr) return wide_(pixels, count, terms_);
    StraightBlend<PixelFloat> straight(terms_);
    for (std::int32_t i = 0; i < count; ++i) {
      if (!IsOpaque(pixels[i])) {
        straight(pixels[i]);
        continue;
      }
      float* p = &pixels[i].alpha;
      const __m128 old = _mm_loadu_ps(p);
      const __m128d alphaRed = _mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(old), keep_), alphaRed_);
      const __m128d greenBlue =
          _mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(old, old)), keep_), greenBlue_);
      _mm_storeu_ps(p, _mm_movelh_ps(_mm_cvtpd_ps(alphaRed), _mm_cvtpd_ps(greenBlue)));
    }
  }

 private:
  BlendTerms terms_;
  decltype(Kernels::blendFloats) wide_;
};
#endif

}  // namespace tessaline
