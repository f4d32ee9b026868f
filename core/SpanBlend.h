#pragma once
// The blend kernels: runs of pixels blended with one weight toward one color,
// at each depth, with each vector set.
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/LineStamp.h"
#include "core/PixelBuffer.h"
#include "core/PixelFills.h"
#include "core/Vectors.h"

namespace tessaline {

// ---------------------------------------------------------------------------
// One blend weight, applied to many pixels
//
// Every opaque pixel blended toward `color` with weight x computes, per
// channel, (old / full scale) * keep + x * v with keep = 1 - x. keep and x * v
// do not depend on the pixel, so they are worked out once (BlendTerms); the
// per-pixel operations that remain are those of the blends in LineStamp, in
// the same order. Pixels that are not opaque take LineStamp's straight-alpha
// blend itself, through StraightBlend.

// The straight-alpha blend divides by the new alpha. Runs of equal pixels are
// the rule where it is needed (a transparent frame, a line drawn down a
// column over it), so the last pixel blended and its result are kept: one
// comparison in place of the arithmetic. Kept for one run of one blend, and
// made for every run: it refers to the blend's terms and copies nothing
// until a pixel needs it.
template <typename Pixel>
class StraightBlend {
 public:
  explicit StraightBlend(const BlendTerms& terms) : terms_(terms) {}
  void operator()(Pixel& p) {
    if (!known_ || std::memcmp(&p, &old_, sizeof(Pixel)) != 0) {
      old_ = p;
      new_ = BlendedPixel(p, terms_);
      known_ = true;
    }
    p = new_;
  }

 private:
  const BlendTerms& terms_;
  Pixel old_{}, new_{};
  bool known_ = false;
};

// The largest double below 0.5. For 0 <= n < 2^31, truncating n + kJustBelowHalf
// gives floor(n + 0.5), std::round's result: the sum can round up onto the
// next integer only when n + 0.5 is that integer (or 2^-54 short of 1, which
// rounds to even, 1.0), and can never reach the integer above it.
constexpr double kJustBelowHalf = 0.49999999999999994;
static_assert(kJustBelowHalf < 0.5 && kJustBelowHalf + 0x1p-54 == 0.5);

// std::round followed by the limits of the integer blends: at most fullScale,
// 0 when not above 0 (not-a-number included).
inline std::int32_t RoundToChannel(double n, std::int32_t fullScale) {
  if (!(n > 0.0)) return 0;
  if (n > fullScale) return fullScale;  // std::round(n) is fullScale or more
  return static_cast<std::int32_t>(n + kJustBelowHalf);
}

// old / 255.0 for every 8-bit value, as the blend computes it.
constexpr std::array<double, 256> kUnit8 = [] {
  std::array<double, 256> unit{};
  for (int v = 0; v < 256; ++v) unit[v] = v / 255.0;
  return unit;
}();

inline std::uint8_t BlendChannel(std::uint8_t old, double keep, double term) {
  return std::uint8_t(RoundToChannel((kUnit8[old] * keep + term) * 255.0, 255));
}

inline std::uint16_t BlendChannel(std::uint16_t old, double keep, double term) {
  return std::uint16_t(RoundToChannel((old / 32768.0 * keep + term) * 32768.0, 32768));
}

inline float BlendChannel(float old, double keep, double term) {
  return static_cast<float>(static_cast<double>(old) * keep + term);
}

// Blends runs of pixels with one weight toward one color. The scalar loop is
// the definition; on x86-64 the 16-bit and float passes use SSE2 (part of
// every x86-64 CPU), two channels per double lane pair, with the same
// operations in the same order: conversions, products and sums round as the
// scalar ones do, and the 16-bit limits and rounding are done exactly (see
// RoundToChannel). Processors with AVX2 or AVX-512 blend floats through
// WideFloatBlend below, to the same bits.
template <typename Pixel>
class SpanBlend {
 public:
  explicit SpanBlend(const BlendTerms& terms) : t_(terms) {}
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
  explicit SpanBlend(const BlendTerms& terms)
      : Sse2Terms(terms),
        terms_(terms),
        scaled_(terms.keep >= 0.0 && terms.keep <= 1.0 && Within(terms.alpha) &&
                Within(terms.red) && Within(terms.green) && Within(terms.blue)) {
    if (scaled_) {
      alphaRed_ = _mm_mul_pd(alphaRed_, _mm_set1_pd(32768.0));
      greenBlue_ = _mm_mul_pd(greenBlue_, _mm_set1_pd(32768.0));
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
      const __m128d full = _mm_set1_pd(32768.0);
      n = _mm_mul_pd(old, _mm_set1_pd(1.0 / 32768.0));  // exact, as old / 32768
      n = _mm_mul_pd(_mm_add_pd(_mm_mul_pd(n, keep_), terms), full);
      n = _mm_min_pd(_mm_max_pd(n, _mm_setzero_pd()), full);
    }
    return _mm_cvttpd_epi32(_mm_add_pd(n, _mm_set1_pd(kJustBelowHalf)));
  }

  // Eight rounded channels into unsigned 16 bits, limited to 0 to 32768:
  // shifted down by 32768, the signed pack saturates below at -32768 (0),
  // min() limits above at 0 (32768), and the sign flip shifts back.
  static __m128i Pack(__m128i first, __m128i second) {
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
  explicit SpanBlend(const BlendTerms& terms) : Sse2Terms(terms), terms_(terms) {}
  // Nothing of the old pixel kept: every pixel whose channels are finite
  // numbers becomes the same one.
  bool Fills() const { return terms_.keep == 0.0; }
  void Apply(PixelFloat* pixels, std::int32_t count) const {
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
};
#endif

#if TESSALINE_SSE2
// The float blend of SpanBlend<PixelFloat> on processors with AVX2 (a pixel
// per instruction) or AVX-512 (two), each lane doing what the SSE2 lanes do,
// in the same order (Kernels.cpp). Only at the level they belong to.
void BlendFloatAvx2(PixelFloat* pixels, std::int32_t count, const BlendTerms& terms);
void BlendFloatAvx512(PixelFloat* pixels, std::int32_t count, const BlendTerms& terms);

template <void (*kBlend)(PixelFloat*, std::int32_t, const BlendTerms&)>
class WideFloatBlend {
 public:
  explicit WideFloatBlend(const BlendTerms& terms) : t_(terms), narrow_(terms) {}
  bool Fills() const { return narrow_.Fills(); }
  // A few pixels (a vertical line's run in a row) where the call is made.
  void Apply(PixelFloat* pixels, std::int32_t count) const {
    if (count <= 3) return narrow_.Apply(pixels, count);
    kBlend(pixels, count, t_);
  }

 private:
  BlendTerms t_;
  SpanBlend<PixelFloat> narrow_;
};
using SpanBlendAvx2 = WideFloatBlend<BlendFloatAvx2>;
using SpanBlendAvx512 = WideFloatBlend<BlendFloatAvx512>;
#endif

}  // namespace tessaline
