#include "core/GridComposition.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "core/LineStamp.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define TESSALINE_SSE2 1
#else
#define TESSALINE_SSE2 0
#endif

// GCC and Clang compile single functions for AVX-512 on any x86-64 target.
#if TESSALINE_SSE2 && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define TESSALINE_AVX512 1
#else
#define TESSALINE_AVX512 0
#endif

// A frame is rendered in one streaming pass over bands of rows small enough
// to stay in the cache: each band gets its base (a copy of the source or a
// cleared frame) and then every line of the grid that touches it, one line
// after the other in the drawing order of the composition.
//
// Why this equals stamping each line over the whole frame in turn: a blend
// reads and writes one pixel only, so blends of different pixels commute, and
// a pixel's result depends only on the sequence of blends applied to it.
// Every pixel still receives its base first and then the blends of the lines
// covering it in drawing order (vertical center, horizontal center, outer
// verticals, outer horizontals), with the weights the stamps compute and the
// same arithmetic. Where the argument does not hold the frame is drawn as the
// stamps draw it: output rows that share bytes, and line sets too large for
// the plan on the stack, are stamped line by line; a source that shares bytes
// with the output is copied whole before any line is drawn.

namespace tessaline {
namespace {

// ---------------------------------------------------------------------------
// The base

bool HasPixels(const PixelBuffer* buffer) {
  return buffer != nullptr && buffer->data != nullptr && buffer->width > 0 && buffer->height > 0;
}

// The base of each output row: the source pixels that land in it (columns
// [first, last) of the output, from row `row - sourceY` of the source), the
// rest cleared. With no source, or in "Grid Only", every row is cleared.
template <typename Pixel>
class RowBase {
 public:
  RowBase(const PixelBuffer* source, const PixelBuffer& output, const LayerPlacement& p)
      : source_(HasPixels(source) ? source : nullptr), sourceX_(p.sourceX), sourceY_(p.sourceY) {
    if (source_ == nullptr) return;
    first_ = std::max<std::int64_t>(p.sourceX, 0);
    last_ = std::min<std::int64_t>(p.sourceX + source_->width, output.width);
    if (first_ >= last_) source_ = nullptr;
  }

  // Whether the base reads a source at all.
  bool copies() const { return source_ != nullptr; }

  // The source row's pixels are moved first, as one block: where source and
  // output share bytes (kMayOverlap), that is what moving rows gives.
  template <bool kMayOverlap = false>
  void Lay(const PixelBuffer& output, std::int32_t row) const {
    Pixel* out = PixelRow<Pixel>(output, row);
    const std::int64_t sourceRow = row - sourceY_;
    if (source_ == nullptr || sourceRow < 0 || sourceRow >= source_->height) {
      std::memset(out, 0, std::size_t(output.width) * sizeof(Pixel));
      return;
    }
    const Pixel* in = PixelRow<Pixel>(*source_, std::int32_t(sourceRow)) + (first_ - sourceX_);
    const std::size_t bytes = std::size_t(last_ - first_) * sizeof(Pixel);
    if constexpr (kMayOverlap)
      std::memmove(out + first_, in, bytes);
    else
      std::memcpy(out + first_, in, bytes);
    std::memset(out, 0, std::size_t(first_) * sizeof(Pixel));
    std::memset(out + last_, 0, std::size_t(output.width - last_) * sizeof(Pixel));
  }

 private:
  const PixelBuffer* source_;
  std::int64_t sourceX_, sourceY_;
  std::int64_t first_ = 0, last_ = 0;
};

// The bytes [first, last) of `rows` rows of `length` bytes each.
struct ByteRange {
  std::uintptr_t first = 0, last = 0;
};

ByteRange RowsRange(const PixelBuffer& buffer, std::int32_t rows, std::size_t length) {
  if (rows <= 0 || length == 0) return {};
  const auto row0 = reinterpret_cast<std::uintptr_t>(RowAddress(buffer, 0));
  const auto rowN = reinterpret_cast<std::uintptr_t>(RowAddress(buffer, rows - 1));
  return ByteRange{row0 < rowN ? row0 : rowN, (row0 < rowN ? rowN : row0) + length};
}

bool Overlap(const ByteRange& a, const ByteRange& b) {
  return a.first < b.last && b.first < a.last;
}

// True when one output row reaches into the pixels of another: then the order
// in which rows are written matters and only the literal order is right.
template <typename Pixel>
bool RowsShareBytes(const PixelBuffer& output) {
  return output.height > 1 &&
         std::llabs(output.rowbytes) < std::int64_t{output.width} * std::int64_t{sizeof(Pixel)};
}

#if TESSALINE_SSE2
// 16 bytes of copies of one pixel, built in registers.
template <typename Pixel>
__m128i PatternOf(const Pixel& value) {
  if constexpr (sizeof(Pixel) == 4) return _mm_set1_epi32(std::bit_cast<std::int32_t>(value));
  if constexpr (sizeof(Pixel) == 8) return _mm_set1_epi64x(std::bit_cast<std::int64_t>(value));
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(&value));
}

// Sets `count` pixels to the pixel repeated in `pattern`.
template <typename Pixel>
void FillPixels(Pixel* pixels, std::int32_t count, __m128i pattern) {
  constexpr std::int32_t kPerStore = 16 / sizeof(Pixel);
  std::int32_t i = 0;
  for (; i + kPerStore <= count; i += kPerStore)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i), pattern);
  if constexpr (sizeof(Pixel) <= 8) {
    constexpr std::int32_t kPerHalf = 8 / sizeof(Pixel);
    if (i + kPerHalf <= count) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(pixels + i), pattern);
      i += kPerHalf;
    }
  }
  if constexpr (sizeof(Pixel) == 4) {
    if (i < count) {
      const auto bits = _mm_cvtsi128_si32(pattern);
      std::memcpy(pixels + i, &bits, sizeof bits);
    }
  }
}
#endif

// Sets `count` pixels to `value`.
template <typename Pixel>
void FillPixels(Pixel* pixels, std::int32_t count, const Pixel& value) {
#if TESSALINE_SSE2
  FillPixels(pixels, count, PatternOf(value));
#else
  for (std::int32_t i = 0; i < count; ++i) pixels[i] = value;
#endif
}

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
// comparison in place of the arithmetic. Kept for one run of one blend.
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
  BlendTerms terms_;
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

[[maybe_unused]] inline std::uint16_t BlendChannel(std::uint16_t old, double keep, double term) {
  return std::uint16_t(RoundToChannel((old / 32768.0 * keep + term) * 32768.0, 32768));
}

[[maybe_unused]] inline float BlendChannel(float old, double keep, double term) {
  return static_cast<float>(static_cast<double>(old) * keep + term);
}

// Blends runs of pixels with one weight toward one color. The scalar loop is
// the definition; on x86-64 the 16-bit and float passes use SSE2 (part of
// every x86-64 CPU), two channels per double lane pair, with the same
// operations in the same order: conversions, products and sums round as the
// scalar ones do, and the 16-bit limits and rounding are done exactly (see
// RoundToChannel). Processors with AVX-512 blend floats through
// WideFloatBlend below, to the same bits.
template <typename Pixel>
class SpanBlend {
 public:
  explicit SpanBlend(const BlendTerms& terms) : t_(terms) {}
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

#if TESSALINE_AVX512
// The float blend of SpanBlend<PixelFloat> on processors with AVX-512, for
// `count` pixels from `first` in each of `rows` rows `stride` bytes apart:
// two pixels per instruction, each lane doing what the SSE2 lanes do, in the
// same order. Compiled for AVX-512 alone and called only where the processor
// has it.
// One pixel: four lanes of the same operations.
[[gnu::target("avx512f")]] inline void BlendOneFloatAvx512(float* p, __m256d keep, __m256d terms,
                                                           StraightBlend<PixelFloat>& straight) {
  if (!(p[0] >= 1.0f)) return straight(*reinterpret_cast<PixelFloat*>(p));
  const __m256d old = _mm256_cvtps_pd(_mm_loadu_ps(p));
  _mm_storeu_ps(p, _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(old, keep), terms)));
}

[[gnu::target("avx512f")]] void BlendFloatAvx512(PixelFloat* first, std::int64_t stride,
                                                 std::int32_t rows, std::int32_t count,
                                                 const BlendTerms& t) {
  // The conversions are the zero-masked forms with every lane selected: the
  // plain ones start from an undefined vector, which GCC warns about.
  constexpr __mmask8 kAll = 0xFF;
  const __m512d keep = _mm512_set1_pd(t.keep);
  const __m512d terms =
      _mm512_setr_pd(t.alpha, t.red, t.green, t.blue, t.alpha, t.red, t.green, t.blue);
  const __m256d keepOne = _mm256_set1_pd(t.keep);
  const __m256d termsOne = _mm256_setr_pd(t.alpha, t.red, t.green, t.blue);
  const __m512d one = _mm512_set1_pd(1.0);
  StraightBlend<PixelFloat> straight(t);
  auto* row = reinterpret_cast<std::byte*>(first);
  for (std::int32_t r = 0; r < rows; ++r, row += stride) {
    auto* p = reinterpret_cast<float*>(row);
    std::int32_t i = 0;
    for (; i + 2 <= count; i += 2, p += 8) {
      const __m512d old = _mm512_maskz_cvtps_pd(kAll, _mm256_loadu_ps(p));
      // Both alphas (lanes 0 and 4) at least 1, else one pixel at a time.
      if ((_mm512_cmp_pd_mask(old, one, _CMP_GE_OQ) & 0x11) != 0x11) {
        BlendOneFloatAvx512(p, keepOne, termsOne, straight);
        BlendOneFloatAvx512(p + 4, keepOne, termsOne, straight);
        continue;
      }
      _mm256_storeu_ps(p,
                       _mm512_maskz_cvtpd_ps(kAll, _mm512_add_pd(_mm512_mul_pd(old, keep), terms)));
    }
    if (i < count) BlendOneFloatAvx512(p, keepOne, termsOne, straight);
  }
}

// SpanBlend<PixelFloat> through BlendFloatAvx512.
class WideFloatBlend {
 public:
  explicit WideFloatBlend(const BlendTerms& terms) : t_(terms) {}
  void Apply(PixelFloat* pixels, std::int32_t count) const {
    BlendFloatAvx512(pixels, 0, 1, count, t_);
  }
  void ApplyDown(PixelFloat* first, std::int64_t stride, std::int32_t rows,
                 std::int32_t count) const {
    BlendFloatAvx512(first, stride, rows, count, t_);
  }

 private:
  BlendTerms t_;
};

bool HasAvx512() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0;
  }();
  return has;
}
#endif

// Calls rowFn with the address of `first` moved down by each of `rows` rows.
template <typename Pixel, typename RowFn>
void EachRow(Pixel* first, std::int64_t stride, std::int32_t rows, RowFn rowFn) {
  auto* p = reinterpret_cast<std::byte*>(first);
  for (std::int32_t r = 0; r < rows; ++r, p += stride) rowFn(reinterpret_cast<Pixel*>(p));
}

// In 8 bits a blend maps each of the 256 old values of a channel to a new one
// for a given weight and color component: one table per channel replaces the
// arithmetic wherever the same weight is applied to many pixels.
//
// Two kinds of table need no lookups. Where the weight is full, every old
// value gives the same new one and the blend is a fill. Most other tables
// are, exactly, a fixed-point line: new = min(255, (old * k + b) >> 16) for
// one integer k and b per channel. Filling a table looks for such k and b and
// checks them against all 256 entries; when every channel has them, SSE2
// blends eight channels at a time with 16-bit integer products, and the table
// serves the pixels left over.
struct ChannelTables8 {
  std::uint8_t alpha[256], red[256], green[256], blue[256];
};

// The blend of one filled table, small enough to be held in registers across
// a loop over rows. (Held in the table itself, its fields would be loaded
// again after every store to a pixel, since byte stores may alias them.)
class TableBlend8 {
 public:
  void Apply(Pixel8* pixels, std::int32_t count) const { ApplyDown(pixels, 0, 1, count); }

  // `count` pixels from `first` in each of `rows` rows `stride` bytes apart,
  // the kind of blend chosen once.
  void ApplyDown(Pixel8* first, std::int64_t stride, std::int32_t rows, std::int32_t count) const {
    StraightBlend<Pixel8> straight(terms_);
    switch (kind_) {
      case Kind::kFill:
        return EachRow(first, stride, rows, [&](Pixel8* p) { ApplyFill(p, count); });
      case Kind::kFixedPoint:
        return EachRow(first, stride, rows,
                       [&](Pixel8* p) { ApplyFixedPoint(p, count, straight); });
      case Kind::kTable:
        return EachRow(first, stride, rows, [&](Pixel8* p) { ApplyTable(p, count, straight); });
    }
  }

 private:
  friend class BlendTable8;
  enum class Kind : std::uint8_t { kTable, kFixedPoint, kFill };

  void ApplyFill(Pixel8* pixels, std::int32_t count) const {
    FillPixels(pixels, count, std::bit_cast<Pixel8>(fill_));
  }

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
  void ApplyTable(Pixel8* pixels, std::int32_t count, StraightBlend<Pixel8>& straight) const {
    static_assert(std::endian::native == std::endian::little);
    const ChannelTables8& t = *tables_;
    for (std::int32_t i = 0; i < count; ++i) {
      std::uint32_t v;
      std::memcpy(&v, pixels + i, sizeof v);
      if ((v & 0xFF) != 0xFF) {
        straight(pixels[i]);
        continue;
      }
      v = std::uint32_t(t.alpha[v & 0xFF]) | std::uint32_t(t.red[(v >> 8) & 0xFF]) << 8 |
          std::uint32_t(t.green[(v >> 16) & 0xFF]) << 16 | std::uint32_t(t.blue[v >> 24]) << 24;
      std::memcpy(pixels + i, &v, sizeof v);
    }
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

class BlendTable8 {
 public:
  void Fill(const BlendTerms& t) {
    for (int v = 0; v < 256; ++v) {
      const auto old = std::uint8_t(v);
      tables_.alpha[v] = BlendChannel(old, t.keep, t.alpha);
      tables_.red[v] = BlendChannel(old, t.keep, t.red);
      tables_.green[v] = BlendChannel(old, t.keep, t.green);
      tables_.blue[v] = BlendChannel(old, t.keep, t.blue);
    }
    blend_.kind_ = TableBlend8::Kind::kTable;
    blend_.terms_ = t;
    if (t.keep == 0.0 && FindFill()) return;
#if TESSALINE_SSE2
    FindFixedPoint(t.keep);
#endif
  }

  // Valid until the next Fill.
  TableBlend8 Blend() const {
    TableBlend8 blend = blend_;
    blend.tables_ = &tables_;
    return blend;
  }

 private:
  // Every channel giving one value whatever the old one. Only with nothing of
  // the old pixel kept is that true of pixels that are not opaque as well.
  bool FindFill() {
    const std::uint8_t* channels[4] = {tables_.alpha, tables_.red, tables_.green, tables_.blue};
    for (const std::uint8_t* c : channels)
      if (!std::all_of(c, c + 256, [&](std::uint8_t v) { return v == c[0]; })) return false;
    blend_.fill_ = std::bit_cast<std::uint32_t>(
        Pixel8{tables_.alpha[0], tables_.red[0], tables_.green[0], tables_.blue[0]});
    blend_.kind_ = TableBlend8::Kind::kFill;
    return true;
  }

#if TESSALINE_SSE2
  // For each channel, k near keep * 65536 and the least b with which the
  // line gives every entry of the table; a fixed-point blend when all four
  // have them.
  void FindFixedPoint(double keep) {
    if (!(keep >= 0.0 && keep < 1.0)) return;
    const std::uint8_t* channels[4] = {tables_.alpha, tables_.red, tables_.green, tables_.blue};
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
    blend_.k_ = _mm_set_epi16(k[3], k[2], k[1], k[0], k[3], k[2], k[1], k[0]);
    blend_.bHigh_ = _mm_set_epi16(bHigh[3], bHigh[2], bHigh[1], bHigh[0], bHigh[3], bHigh[2],
                                  bHigh[1], bHigh[0]);
    blend_.carryAbove_ = _mm_set_epi16(carryAbove[3], carryAbove[2], carryAbove[1], carryAbove[0],
                                       carryAbove[3], carryAbove[2], carryAbove[1], carryAbove[0]);
    blend_.kind_ = TableBlend8::Kind::kFixedPoint;
  }

  // The k tried per channel, nearest first, alternating above and below.
  static constexpr std::int32_t kCandidates = 17;
#endif

  ChannelTables8 tables_;
  TableBlend8 blend_;
};

// Filling a table costs about 256 pixel blends; below this many pixels a
// horizontal row is blended with the arithmetic instead.
constexpr std::int32_t kMinTableRow = 256;

// ---------------------------------------------------------------------------
// The lines of one frame

// A line's color and width: style 0 is the center cross, 1 to 4 the outer
// color slots.
struct LineStyle {
  const GridColor* color;
  double width;
};
constexpr int kStyleCount = 1 + kColorSlotCount;

// Both center lines and up to kMaxLineCount lines on each side of them.
constexpr std::int32_t kMaxAxisLines = 1 + 2 * kMaxLineCount;
// A line's positive coverage is a single run of columns (coverage rises to a
// peak and falls again): a full-coverage run with at most one partly covered
// column on each side, except where rounding meets a boundary exactly. Three
// runs per line on average is room to spare; beyond it the frame is drawn
// line by line.
constexpr std::int32_t kMaxColumnRuns = 3 * kMaxAxisLines;

// Consecutive columns of a vertical line with one weight; the same in every row.
struct ColumnRun {
  double weight;
  std::int32_t count;
  std::int32_t table;  // 8-bit: index of its blend table, or -1 for the arithmetic
};

struct VerticalLine {
  std::int32_t firstColumn;
  std::int16_t firstRun;
  std::uint8_t runCount;
  std::uint8_t style;
};

struct HorizontalLine {
  double position;
  IndexWindow rows;
  std::int32_t style;
};

// Blend tables of the 8-bit pass for (weight, style) pairs, filled as they are
// first needed. Vertical runs keep their table for the whole frame; once all
// are taken, horizontal rows fill a scratch table per row.
struct BlendTableCache8 {
  static constexpr int kCapacity = 8;
  BlendTable8 tables[kCapacity];
  BlendTable8 scratch;
  std::uint64_t weightBits[kCapacity];
  int styles[kCapacity];
  int used = 0;

  // The table of (weight, style), filled now if it is new; -1 when full.
  int Find(double weight, int style, const GridColor& color) {
    const auto bits = std::bit_cast<std::uint64_t>(weight);
    for (int i = 0; i < used; ++i)
      if (weightBits[i] == bits && styles[i] == style) return i;
    if (used == kCapacity) return -1;
    tables[used].Fill(TermsOf(color, weight));
    weightBits[used] = bits;
    styles[used] = style;
    return used++;
  }
};
struct NoTables {};

// Stamps the outer lines of one axis: for i = 1 to count, the line at
// center - i * spacing, then the one at center + i * spacing, each with the
// color slot of its index.
template <typename Stamp>
void DrawOuterLines(const GridSettings& s, std::int32_t count, double spacing, double center,
                    std::int32_t size, Stamp stamp) {
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
    if (low >= -margin && low <= extent) stamp(low, slot);
    if (high >= -margin && high <= extent) stamp(high, slot);
  }
}

// Columns [first, last) of a row.
struct ColumnSpan {
  std::int32_t first, last;
};

constexpr std::int32_t kMaxBandRows = 64;

// Every line of one frame, in drawing order, with what each row needs of it.
// kWide: float blends through AVX-512.
template <typename Pixel, bool kWide = false>
class GridPlan {
 public:
  // False when the lines do not fit the plan's fixed storage.
  bool Build(const GridSettings& s, std::int32_t width, std::int32_t height, double cx, double cy) {
    width_ = width;
    opacity_ = s.opacity;
    uniformBackground_ = s.blendMode == kBlendGridOnly;
    styles_[0] = LineStyle{&s.centerColor, s.centerLineWidth};
    for (int slot = 0; slot < kColorSlotCount; ++slot)
      styles_[1 + slot] = LineStyle{&s.colors[slot], s.lineWidth};

    if (s.preset != kPresetMarginFrame) {
      AddVertical(cx, 0);
      AddHorizontal(cy, 0, height);
      centerLines_ = 1;
    }
    DrawOuterLines(s, s.xCount, s.xSpacing, cx, width,
                   [&](double x, std::int32_t slot) { AddVertical(x, 1 + slot); });
    DrawOuterLines(s, s.yCount, s.ySpacing, cy, height,
                   [&](double y, std::int32_t slot) { AddHorizontal(y, 1 + slot, height); });
    if (fits_) FindTouchedColumns();
    return fits_;
  }

  // Blends into the rows [first, end) every line that touches them. Each
  // line is done for the whole band before the next one starts, in drawing
  // order: the vertical center line, the horizontal center line, the outer
  // verticals, the outer horizontals.
  void DrawBand(const PixelBuffer& output, std::int32_t first, std::int32_t end) {
    Band band{output, first, end, {}, {}};
    for (std::int32_t v = 0; v < centerLines_; ++v) BlendVertical(band, verticals_[v]);
    for (std::int32_t h = 0; h < centerLines_; ++h) BlendHorizontal(band, horizontals_[h]);
    for (std::int32_t v = centerLines_; v < verticalCount_; ++v) BlendVertical(band, verticals_[v]);
    for (std::int32_t h = centerLines_; h < horizontalCount_; ++h)
      BlendHorizontal(band, horizontals_[h]);
    if (uniformBackground_) FillBackground(band);
  }

 private:
  static constexpr bool kTables = std::is_same_v<Pixel, Pixel8>;
#if TESSALINE_AVX512
  using Blend = std::conditional_t<kWide, WideFloatBlend, SpanBlend<Pixel>>;
#else
  using Blend = SpanBlend<Pixel>;
#endif

  // The rows of one band as the lines pass over them. In "Grid Only" every
  // pixel that no vertical line touches starts transparent and receives only
  // the horizontal lines' blends, each the same across the row: such pixels
  // stay equal to one another, so each row's horizontal blends are applied
  // to one background pixel and the touched columns, and the background
  // pixel is copied to the rest of the row at the end.
  struct Band {
    const PixelBuffer& output;
    std::int32_t first, end;
    Pixel background[kMaxBandRows];
    bool backgroundBlended[kMaxBandRows];
  };

  // The weights of every covered column of the window, as the vertical stamp
  // computes them per pixel, grouped into runs of equal weight (bitwise).
  void AddVertical(double x, int style) {
    if (!fits_) return;
    if (verticalCount_ == kMaxAxisLines) {
      fits_ = false;
      return;
    }
    const LineStyle& ls = styles_[style];
    VerticalLine& line = verticals_[verticalCount_++];
    line = VerticalLine{0, std::int16_t(runCount_), 0, std::uint8_t(style)};
    const IndexWindow window = LineWindow(x, ls.width, width_);
    std::int32_t next = 0;  // the column after the last run
    for (std::int32_t c = window.first; c <= window.last; ++c) {
      const double coverage = LineCoverage(c, x, ls.width);
      if (!(coverage > 0.0)) continue;
      const double weight = (coverage * opacity_) * ls.color->alpha;
      if (line.runCount > 0 && c != next) {
        fits_ = false;  // a gap in the coverage, which a rising and falling band cannot have
        return;
      }
      if (line.runCount > 0 && std::bit_cast<std::uint64_t>(runs_[runCount_ - 1].weight) ==
                                   std::bit_cast<std::uint64_t>(weight)) {
        ++runs_[runCount_ - 1].count;
      } else {
        if (runCount_ == kMaxColumnRuns || line.runCount == UINT8_MAX) {
          fits_ = false;
          return;
        }
        if (line.runCount == 0) line.firstColumn = c;
        runs_[runCount_++] = ColumnRun{weight, 1, TableFor(weight, style)};
        ++line.runCount;
      }
      next = c + 1;
    }
  }

  void AddHorizontal(double y, int style, std::int32_t height) {
    if (!fits_) return;
    if (horizontalCount_ == kMaxAxisLines) {
      fits_ = false;
      return;
    }
    horizontals_[horizontalCount_++] =
        HorizontalLine{y, LineWindow(y, styles_[style].width, height), style};
  }

  int TableFor(double weight, int style) {
    if constexpr (kTables) return tables_.Find(weight, style, *styles_[style].color);
    return -1;
  }

  // The columns that any vertical line blends, as sorted, disjoint spans.
  void FindTouchedColumns() {
    for (std::int32_t v = 0; v < verticalCount_; ++v) {
      const VerticalLine& line = verticals_[v];
      std::int32_t last = line.firstColumn;
      for (std::int32_t k = 0; k < line.runCount; ++k) last += runs_[line.firstRun + k].count;
      if (line.runCount > 0) touched_[touchedCount_++] = ColumnSpan{line.firstColumn, last};
    }
    std::sort(touched_, touched_ + touchedCount_,
              [](const ColumnSpan& a, const ColumnSpan& b) { return a.first < b.first; });
    std::int32_t merged = 0;
    for (std::int32_t k = 0; k < touchedCount_; ++k) {
      if (merged > 0 && touched_[k].first <= touched_[merged - 1].last) {
        if (touched_[k].last > touched_[merged - 1].last)
          touched_[merged - 1].last = touched_[k].last;
      } else {
        touched_[merged++] = touched_[k];
      }
    }
    touchedCount_ = merged;
    touchedPixels_ = 0;
    for (std::int32_t k = 0; k < touchedCount_; ++k)
      touchedPixels_ += touched_[k].last - touched_[k].first;
  }

  // Every run of the line, one after the other, down the rows of the band.
  void BlendVertical(const Band& band, const VerticalLine& line) {
    const GridColor& color = *styles_[line.style].color;
    std::int32_t column = line.firstColumn;
    for (std::int32_t k = 0; k < line.runCount; ++k) {
      const ColumnRun& run = runs_[line.firstRun + k];
      if constexpr (kTables) {
        if (run.table >= 0) {
          ApplyDown(band, column, run.count, tables_.tables[run.table].Blend());
          column += run.count;
          continue;
        }
      }
      ApplyDown(band, column, run.count, Blend(TermsOf(color, run.weight)));
      column += run.count;
    }
  }

  // The blend is a copy of its own, which nothing else can reach: its fields
  // stay in registers while the rows are blended.
  template <typename RunBlend>
  static void ApplyDown(const Band& band, std::int32_t column, std::int32_t count, RunBlend blend) {
    Pixel* first = PixelRow<Pixel>(band.output, band.first) + column;
    const std::int32_t rows = band.end - band.first;
    if constexpr (requires { blend.ApplyDown(first, band.output.rowbytes, rows, count); })
      blend.ApplyDown(first, band.output.rowbytes, rows, count);
    else
      EachRow(first, band.output.rowbytes, rows, [&](Pixel* p) { blend.Apply(p, count); });
  }

  // As the horizontal stamp: the rows of the window with positive coverage,
  // one weight for the whole row.
  void BlendHorizontal(Band& band, const HorizontalLine& line) {
    const std::int32_t first = line.rows.first > band.first ? line.rows.first : band.first;
    const std::int32_t last = line.rows.last < band.end - 1 ? line.rows.last : band.end - 1;
    const LineStyle& ls = styles_[line.style];
    for (std::int32_t r = first; r <= last; ++r) {
      const double coverage = LineCoverage(r, line.position, ls.width);
      if (!(coverage > 0.0)) continue;
      const double strength = coverage * opacity_;
      const double weight = strength * ls.color->alpha;
      Pixel* row = PixelRow<Pixel>(band.output, r);
      const auto blendRow = [&](const auto& blend) {
        if (!uniformBackground_) {
          blend.Apply(row, width_);
          return;
        }
        blend.Apply(&band.background[r - band.first], 1);
        band.backgroundBlended[r - band.first] = true;
        for (std::int32_t k = 0; k < touchedCount_; ++k)
          blend.Apply(row + touched_[k].first, touched_[k].last - touched_[k].first);
      };
      if constexpr (kTables) {
        if ((uniformBackground_ ? touchedPixels_ : width_) >= kMinTableRow) {
          const int table = tables_.Find(weight, line.style, *ls.color);
          if (table < 0) tables_.scratch.Fill(TermsOf(*ls.color, weight));
          blendRow((table >= 0 ? tables_.tables[table] : tables_.scratch).Blend());
          continue;
        }
      }
      blendRow(Blend(TermsOf(*ls.color, weight)));
    }
  }

  // Copies each blended background pixel to the columns no vertical line touches.
  void FillBackground(const Band& band) const {
    for (std::int32_t r = band.first; r < band.end; ++r) {
      if (!band.backgroundBlended[r - band.first]) continue;
      Pixel* row = PixelRow<Pixel>(band.output, r);
      const Pixel& value = band.background[r - band.first];
      std::int32_t column = 0;
      for (std::int32_t k = 0; k < touchedCount_; ++k) {
        FillPixels(row + column, touched_[k].first - column, value);
        column = touched_[k].last;
      }
      FillPixels(row + column, width_ - column, value);
    }
  }

  std::int32_t width_ = 0;
  double opacity_ = 0.0;
  bool uniformBackground_ = false;
  LineStyle styles_[kStyleCount] = {};
  std::int32_t centerLines_ = 0;  // 1 when the first line of each list is a center line
  bool fits_ = true;
  std::int32_t verticalCount_ = 0, horizontalCount_ = 0, runCount_ = 0;
  std::int32_t touchedCount_ = 0, touchedPixels_ = 0;
  VerticalLine verticals_[kMaxAxisLines];
  HorizontalLine horizontals_[kMaxAxisLines];
  ColumnRun runs_[kMaxColumnRuns];
  ColumnSpan touched_[kMaxAxisLines];
  [[no_unique_address]] std::conditional_t<kTables, BlendTableCache8, NoTables> tables_;
};

// Renders run on the caller's stack (the host's render threads); keep the plan
// well inside it.
static_assert(sizeof(GridPlan<Pixel8>) < 48 * 1024);
static_assert(sizeof(GridPlan<PixelFloat>) < 40 * 1024);

// ---------------------------------------------------------------------------
// The passes

constexpr std::size_t kBandBytes = 256 * 1024;

// The composition as stamped line by line over the whole frame, for buffers
// that the streaming pass cannot take.
template <typename Pixel>
void StampLineByLine(const PixelBuffer& output, const GridSettings& s, double cx, double cy) {
  if (s.preset != kPresetMarginFrame) {
    StampVerticalLine<Pixel>(output, cx, s.centerLineWidth, s.centerColor, s.opacity);
    StampHorizontalLine<Pixel>(output, cy, s.centerLineWidth, s.centerColor, s.opacity);
  }
  DrawOuterLines(s, s.xCount, s.xSpacing, cx, output.width, [&](double x, std::int32_t slot) {
    StampVerticalLine<Pixel>(output, x, s.lineWidth, s.colors[slot], s.opacity);
  });
  DrawOuterLines(s, s.yCount, s.ySpacing, cy, output.height, [&](double y, std::int32_t slot) {
    StampHorizontalLine<Pixel>(output, y, s.lineWidth, s.colors[slot], s.opacity);
  });
}

template <typename Pixel, bool kWide = false>
ErrorCode RenderGrid(const PixelBuffer* source, const PixelBuffer& output, const GridSettings& s,
                     const LayerPlacement& placement) {
  if (output.width <= 0 || output.height <= 0) return kErrNone;
  if (output.data == nullptr) return kErrBadCallbackParam;
  const RowBase<Pixel> base(s.blendMode == kBlendGridOnly ? nullptr : source, output, placement);
  const bool draws = s.opacity > 0.0;

  GridPlan<Pixel, kWide> plan;
  const bool streams =
      draws && !RowsShareBytes<Pixel>(output) &&
      plan.Build(s, output.width, output.height, placement.centerX, placement.centerY);
  // The base of the whole frame first when rows are not streamed, or when the
  // source shares bytes with the output (a row drawn early could otherwise be
  // read back as the source of a later one).
  const bool baseFirst =
      !streams ||
      (base.copies() &&
       Overlap(RowsRange(*source, source->height, std::size_t(source->width) * sizeof(Pixel)),
               RowsRange(output, output.height, std::size_t(output.width) * sizeof(Pixel))));
  if (baseFirst) {
    for (std::int32_t r = 0; r < output.height; ++r) base.template Lay<true>(output, r);
  }
  if (!draws) return kErrNone;
  if (!streams) {
    StampLineByLine<Pixel>(output, s, placement.centerX, placement.centerY);
    return kErrNone;
  }

  // Bands of rows small enough to stay in the cache between their base and
  // their lines.
  const std::size_t fit = kBandBytes / (std::size_t(output.width) * sizeof(Pixel));
  const auto bandRows = std::int32_t(fit < 1 ? 1 : fit > kMaxBandRows ? kMaxBandRows : fit);
  for (std::int32_t first = 0; first < output.height; first += bandRows) {
    const std::int32_t end = output.height - first > bandRows ? first + bandRows : output.height;
    if (!baseFirst) {
      for (std::int32_t r = first; r < end; ++r) base.Lay(output, r);
    }
    plan.DrawBand(output, first, end);
  }
  return kErrNone;
}

}  // namespace

LayerPlacement CenteredPlacement(const PixelBuffer& output) {
  return LayerPlacement{output.width * 0.5, output.height * 0.5, 0, 0};
}

ErrorCode RenderGrid8(const PixelBuffer* source, const PixelBuffer& output,
                      const GridSettings& settings, const LayerPlacement& placement) {
  return RenderGrid<Pixel8>(source, output, settings, placement);
}

ErrorCode RenderGrid16(const PixelBuffer* source, const PixelBuffer& output,
                       const GridSettings& settings, const LayerPlacement& placement) {
  return RenderGrid<Pixel16>(source, output, settings, placement);
}

FloatVectors WidestFloatVectors() {
#if TESSALINE_AVX512
  if (HasAvx512()) return FloatVectors::kAvx512;
#endif
  return FloatVectors::kSse2;
}

ErrorCode RenderGridFloat(const PixelBuffer* source, const PixelBuffer& output,
                          const GridSettings& settings, const LayerPlacement& placement) {
  return RenderGridFloat(source, output, settings, placement, WidestFloatVectors());
}

ErrorCode RenderGridFloat(const PixelBuffer* source, const PixelBuffer& output,
                          const GridSettings& settings, const LayerPlacement& placement,
                          FloatVectors vectors) {
#if TESSALINE_AVX512
  if (vectors == FloatVectors::kAvx512 && HasAvx512())
    return RenderGrid<PixelFloat, true>(source, output, settings, placement);
#endif
  (void)vectors;
  return RenderGrid<PixelFloat>(source, output, settings, placement);
}

}  // namespace tessaline
