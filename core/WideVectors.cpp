// The kernels compiled for vector sets wider than SSE2, and the one place
// that asks the processor which it has.
//
// Only the functions marked for AVX-512 here contain its instructions; the rest of the library
// stays SSE2. __builtin_cpu_supports also checks that the operating system saves the wider
// registers.
#include "core/GridComposition.h"
#include "core/SpanBlend.h"
#include "core/Vectors.h"

#include <cstring>

#if TESSALINE_AVX512
#include <immintrin.h>
#endif

namespace tessaline {

#if TESSALINE_AVX512
namespace {

bool HasAvx512() {
  static const bool avx512 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0;
  }();
  return avx512;
}

// One whole cache line per store.
[[gnu::target("avx512f")]] void StreamLinesAvx512(std::byte* to, const std::byte* from,
                                                  std::size_t lines) {
  const std::size_t bytes = lines * 64;
  if (from == nullptr) {
    const __m512i zero = _mm512_setzero_si512();
    for (std::size_t i = 0; i < bytes; i += 64)
      _mm512_stream_si512(reinterpret_cast<__m512i*>(to + i), zero);
    return;
  }
  for (std::size_t i = 0; i < bytes; i += 64)
    _mm512_stream_si512(reinterpret_cast<__m512i*>(to + i), _mm512_loadu_si512(from + i));
}

// A blend's factor and terms: for two pixels (alpha, red, green, blue, as
// they lie in memory, twice), and for one.
struct WideTerms {
  __m512d keep, terms;
  __m256d keepOne, termsOne;
};

// The conversions are the zero-masked forms with every lane selected: the
// plain ones start from an undefined vector, which GCC warns about.
constexpr __mmask8 kAll = 0xFF;

// One pixel: four lanes of the same operations.
[[gnu::target("avx512f")]] inline void BlendOne(float* p, const WideTerms& t,
                                                StraightBlend<PixelFloat>& straight) {
  if (!(p[0] >= 1.0f)) return straight(*reinterpret_cast<PixelFloat*>(p));
  const __m256d old = _mm256_cvtps_pd(_mm_loadu_ps(p));
  _mm_storeu_ps(p, _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(old, t.keepOne), t.termsOne)));
}

// Two pixels whose alphas are at least 1, widened to doubles.
[[gnu::target("avx512f")]] inline void BlendTwo(float* p, __m512d old, const WideTerms& t) {
  _mm256_storeu_ps(p,
                   _mm512_maskz_cvtpd_ps(kAll, _mm512_add_pd(_mm512_mul_pd(old, t.keep), t.terms)));
}

// Two pixels: together when both alphas (lanes 0 and 4) are at least 1, else
// one at a time.
[[gnu::target("avx512f")]] inline void BlendPair(float* p, const WideTerms& t,
                                                 StraightBlend<PixelFloat>& straight) {
  const __m512d old = _mm512_maskz_cvtps_pd(kAll, _mm256_loadu_ps(p));
  if ((_mm512_cmp_pd_mask(old, _mm512_set1_pd(1.0), _CMP_GE_OQ) & 0x11) == 0x11)
    return BlendTwo(p, old, t);
  BlendOne(p, t, straight);
  BlendOne(p + 4, t, straight);
}

}  // namespace

[[gnu::target("avx512f")]] void BlendFloatAvx512(PixelFloat* pixels, std::int32_t count,
                                                 const BlendTerms& t) {
  const WideTerms wide{
      _mm512_set1_pd(t.keep),
      _mm512_setr_pd(t.alpha, t.red, t.green, t.blue, t.alpha, t.red, t.green, t.blue),
      _mm256_set1_pd(t.keep), _mm256_setr_pd(t.alpha, t.red, t.green, t.blue)};
  const __m512 one = _mm512_set1_ps(1.0f);
  StraightBlend<PixelFloat> straight(t);
  auto* p = &pixels[0].alpha;
  std::int32_t i = 0;
  // Eight pixels at a time. Where all eight alphas (lanes 0, 4, 8 and 12 of
  // each half) are at least 1, one test serves them all: made on the floats,
  // which widening to doubles does not change.
  for (; i + 8 <= count; i += 8, p += 32) {
    const __mmask16 low = _mm512_cmp_ps_mask(_mm512_loadu_ps(p), one, _CMP_GE_OQ);
    const __mmask16 high = _mm512_cmp_ps_mask(_mm512_loadu_ps(p + 16), one, _CMP_GE_OQ);
    if ((low & high & 0x1111) == 0x1111) {
      for (int k = 0; k < 32; k += 8)
        BlendTwo(p + k, _mm512_maskz_cvtps_pd(kAll, _mm256_loadu_ps(p + k)), wide);
    } else {
      for (int k = 0; k < 32; k += 8) BlendPair(p + k, wide, straight);
    }
  }
  for (; i + 2 <= count; i += 2, p += 8) BlendPair(p, wide, straight);
  if (i < count) BlendOne(p, wide, straight);
}
#endif

FloatVectors WidestFloatVectors() {
#if TESSALINE_AVX512
  if (HasAvx512()) return FloatVectors::kAvx512;
#endif
  return FloatVectors::kSse2;
}

void StreamLines(std::byte* to, const std::byte* from, std::size_t lines) {
#if TESSALINE_AVX512
  if (HasAvx512()) return StreamLinesAvx512(to, from, lines);
#endif
  const std::size_t bytes = lines * 64;
#if TESSALINE_SSE2
  for (std::size_t i = 0; i < bytes; i += 16) {
    const __m128i v = from != nullptr ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i))
                                      : _mm_setzero_si128();
    _mm_stream_si128(reinterpret_cast<__m128i*>(to + i), v);
  }
#else
  if (from != nullptr)
    std::memcpy(to, from, bytes);
  else
    std::memset(to, 0, bytes);
#endif
}

void FinishStreaming() {
#if TESSALINE_SSE2
  _mm_sfence();
#endif
}

}  // namespace tessaline
