// The one place that asks the processor what it has, chooses the level of
// the kernels, and holds the kernels of every level.
//
// Only the functions marked for AVX2 or AVX-512 here contain their
// instructions; the rest of the library stays SSE2. __builtin_cpu_supports
// also checks that the operating system saves the wider registers.
#include "core/Kernels.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/PixelBlend.h"
#include "core/StraightBlend.h"

#if TESSALINE_SSE2
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace tessaline {
namespace {

// Fewer than 64 bytes (or any number, where there are no vector kernels),
// with ordinary stores, from the front.
void CopySmall(std::byte* to, const std::byte* from, std::size_t bytes) {
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    std::uint64_t v = 0;
    if (from != nullptr) std::memcpy(&v, from + i, 8);
    std::memcpy(to + i, &v, 8);
  }
  for (; i < bytes; ++i) to[i] = from != nullptr ? from[i] : std::byte{0};
}

#if TESSALINE_SSE2
// A level's vector: its width, loads, stores and zero. Copies of kWidth
// bytes and more end with one vector that may overlap the one before it.
struct Sse2 {
  using V = __m128i;
  static constexpr std::size_t kWidth = 16;
  static V Load(const std::byte* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  static void Store(std::byte* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
  static void Stream(std::byte* p, V v) { _mm_stream_si128(reinterpret_cast<V*>(p), v); }
  static V Zero() { return _mm_setzero_si128(); }
  // The words of `staged` whose bits (the vector's own, lowest first) are set, else those of
  // `source`.
  static V Merge(V source, V staged, unsigned bits) {
    const V select = _mm_setr_epi32(1, 2, 4, 8);
    const V mask = _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(int(bits)), select), select);
    return _mm_or_si128(_mm_and_si128(mask, staged), _mm_andnot_si128(mask, source));
  }
};
struct Avx2 {
  using V = __m256i;
  static constexpr std::size_t kWidth = 32;
  [[gnu::target("avx2")]] static V Load(const std::byte* p) {
    return _mm256_loadu_si256(reinterpret_cast<const V*>(p));
  }
  [[gnu::target("avx2")]] static void Store(std::byte* p, V v) {
    _mm256_storeu_si256(reinterpret_cast<V*>(p), v);
  }
  [[gnu::target("avx2")]] static void Stream(std::byte* p, V v) {
    _mm256_stream_si256(reinterpret_cast<V*>(p), v);
  }
  [[gnu::target("avx2")]] static V Zero() { return _mm256_setzero_si256(); }
  [[gnu::target("avx2")]] static V Merge(V source, V staged, unsigned bits) {
    const V select = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    const V mask =
        _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(int(bits)), select), select);
    return _mm256_blendv_epi8(source, staged, mask);
  }
};
struct Avx512 {
  using V = __m512i;
  static constexpr std::size_t kWidth = 64;
  [[gnu::target("avx512f")]] static V Load(const std::byte* p) { return _mm512_loadu_si512(p); }
  [[gnu::target("avx512f")]] static void Store(std::byte* p, V v) { _mm512_storeu_si512(p, v); }
  [[gnu::target("avx512f")]] static void Stream(std::byte* p, V v) {
    _mm512_stream_si512(reinterpret_cast<V*>(p), v);
  }
  [[gnu::target("avx512f")]] static V Zero() { return _mm512_setzero_si512(); }
  [[gnu::target("avx512f")]] static V Merge(V source, V staged, unsigned bits) {
    return _mm512_mask_blend_epi32(__mmask16(bits), source, staged);
  }
};

// The kernels of one level, compiled for it (kTarget).
#define TESSALINE_BYTE_KERNELS(Level, kTarget)                                                     \
  [[gnu::target(kTarget)]] void StreamLines##Level(std::byte* to, const std::byte* from,           \
                                                   std::size_t lines) {                            \
    const std::size_t bytes = lines * 64;                                                          \
    if (from == nullptr) {                                                                         \
      for (std::size_t i = 0; i < bytes; i += Level::kWidth) Level::Stream(to + i, Level::Zero()); \
      return;                                                                                      \
    }                                                                                              \
    for (std::size_t i = 0; i < bytes; i += 64) {                                                  \
      __builtin_prefetch(from + i + kReadAheadBytes);                                              \
      for (std::size_t k = 0; k < 64; k += Level::kWidth)                                          \
        Level::Stream(to + i + k, Level::Load(from + i + k));                                      \
    }                                                                                              \
  }                                                                                                \
  [[gnu::target(kTarget)]] void CopyBytes##Level(std::byte* to, const std::byte* from,             \
                                                 std::size_t bytes) {                              \
    if (bytes < Level::kWidth) return CopySmall(to, from, bytes);                                  \
    /* The first vector, then aligned stores, the last one overlapping. */                         \
    const std::size_t last = bytes - Level::kWidth;                                                \
    const std::size_t aligned =                                                                    \
        Level::kWidth - reinterpret_cast<std::uintptr_t>(to) % Level::kWidth;                      \
    if (from == nullptr) {                                                                         \
      Level::Store(to, Level::Zero());                                                             \
      for (std::size_t i = aligned; i < last; i += Level::kWidth)                                  \
        Level::Store(to + i, Level::Zero());                                                       \
      return Level::Store(to + last, Level::Zero());                                               \
    }                                                                                              \
    Level::Store(to, Level::Load(from));                                                           \
    for (std::size_t i = aligned; i < last; i += Level::kWidth)                                    \
      Level::Store(to + i, Level::Load(from + i));                                                 \
    Level::Store(to + last, Level::Load(from + last));                                             \
  }                                                                                                \
  [[gnu::target(kTarget)]] void StreamPieces##Level(std::byte* to, const std::byte* from,          \
                                                    const std::byte* staged,                       \
                                                    const LinePiece* pieces, std::size_t count) {  \
    for (const LinePiece* p = pieces; p != pieces + count; ++p) {                                  \
      const std::size_t source = std::size_t{p->sourceLines} * 64;                                 \
      const std::size_t lines = std::size_t{p->stagedLines} * 64;                                  \
      StreamLines##Level(to, from, p->sourceLines);                                                \
      to += source;                                                                                \
      const std::byte* line = staged + std::size_t{p->stagedLine} * 64;                            \
      if (from != nullptr)                                                                         \
        for (std::size_t i = 0; i < lines; i += 64)                                                \
          __builtin_prefetch(from + source + i + kReadAheadBytes);                                 \
      if (p->merge == LinePiece::kWholeLine || from == nullptr) {                                  \
        for (std::size_t i = 0; i < lines; i += Level::kWidth)                                     \
          Level::Stream(to + i, Level::Load(line + i));                                            \
      } else {                                                                                     \
        for (std::size_t i = 0; i < 64; i += Level::kWidth)                                        \
          Level::Stream(to + i,                                                                    \
                        Level::Merge(Level::Load(from + source + i), Level::Load(line + i),        \
                                     (p->merge >> (i / 4)) & ((1u << Level::kWidth / 4) - 1)));    \
      }                                                                                            \
      if (from != nullptr) from += source + lines;                                                 \
      to += lines;                                                                                 \
    }                                                                                              \
  }

#define TESSALINE_REPEAT_KERNEL(Level, kTarget)                                             \
  [[gnu::target(kTarget)]] void StreamRepeated##Level(std::byte* to, const std::byte* line, \
                                                      std::size_t lines) {                  \
    for (std::size_t k = 0; k < 64; k += Level::kWidth) {                                   \
      const Level::V v = Level::Load(line + k);                                             \
      for (std::size_t i = 0; i < lines * 64; i += 64) Level::Stream(to + i + k, v);        \
    }                                                                                       \
  }

TESSALINE_BYTE_KERNELS(Sse2, "sse2")
TESSALINE_BYTE_KERNELS(Avx2, "avx2")
TESSALINE_BYTE_KERNELS(Avx512, "avx512f")
TESSALINE_REPEAT_KERNEL(Sse2, "sse2")
TESSALINE_REPEAT_KERNEL(Avx2, "avx2")
TESSALINE_REPEAT_KERNEL(Avx512, "avx512f")
#undef TESSALINE_BYTE_KERNELS
#undef TESSALINE_REPEAT_KERNEL

#else
void StreamLinesScalar(std::byte* to, const std::byte* from, std::size_t lines) {
  CopySmall(to, from, lines * 64);
}
void StreamRepeatedScalar(std::byte* to, const std::byte* line, std::size_t lines) {
  for (std::size_t i = 0; i < lines; ++i) CopySmall(to + i * 64, line, 64);
}
void StreamPiecesScalar(std::byte* to, const std::byte* from, const std::byte* staged,
                        const LinePiece* pieces, std::size_t count) {
  for (const LinePiece* p = pieces; p != pieces + count; ++p) {
    const std::size_t source = std::size_t{p->sourceLines} * 64;
    const std::size_t lines = std::size_t{p->stagedLines} * 64;
    CopySmall(to, from, source);
    for (std::size_t i = 0; i < lines; i += 4) {
      const bool stagedWord =
          p->merge == LinePiece::kWholeLine || from == nullptr || (p->merge >> (i / 4) & 1) != 0;
      CopySmall(to + source + i,
                stagedWord ? staged + std::size_t{p->stagedLine} * 64 + i : from + source + i, 4);
    }
    if (from != nullptr) from += source + lines;
    to += source + lines;
  }
}
#endif

// The float blends wider than SSE2: the same operations in the same order as
// SpanBlend<PixelFloat>, each lane doing what an SSE2 lane does.

#if TESSALINE_SSE2

// The conversions are the zero-masked forms with every lane selected: the
// plain ones start from an undefined vector, which GCC warns about.
constexpr __mmask8 kAll = 0xFF;

// One pixel whose alpha is at least 1: four lanes.
[[gnu::target("avx2")]] inline void BlendOpaque(float* p, __m256d keep, __m256d terms) {
  const __m256d old = _mm256_cvtps_pd(_mm_loadu_ps(p));
  _mm_storeu_ps(p, _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(old, keep), terms)));
}

// One pixel, by the blend its alpha calls for.
[[gnu::target("avx2")]] inline void BlendOne(float* p, __m256d keep, __m256d terms,
                                             StraightBlend<PixelFloat>& straight) {
  if (!(p[0] >= 1.0f)) return straight(*reinterpret_cast<PixelFloat*>(p));
  BlendOpaque(p, keep, terms);
}

// A blend's factor and terms for two pixels (alpha, red, green, blue, as they
// lie in memory, twice), and for one.
struct WideTerms {
  __m512d keep, terms;
  __m256d keepOne, termsOne;
};

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
  BlendOne(p, t.keepOne, t.termsOne, straight);
  BlendOne(p + 4, t.keepOne, t.termsOne, straight);
}

[[gnu::target("avx2")]] void BlendFloatAvx2(PixelFloat* pixels, std::int32_t count,
                                            const BlendTerms& t) {
  const __m256d keep = _mm256_set1_pd(t.keep);
  const __m256d terms = _mm256_setr_pd(t.alpha, t.red, t.green, t.blue);
  const __m256 one = _mm256_set1_ps(1.0f);
  StraightBlend<PixelFloat> straight(t);
  auto* p = &pixels[0].alpha;
  std::int32_t i = 0;
  // Four pixels at a time. Where all four alphas (lanes 0 and 4 of each
  // half) are at least 1, one test serves them all.
  for (; i + 4 <= count; i += 4, p += 16) {
    const int low = _mm256_movemask_ps(_mm256_cmp_ps(_mm256_loadu_ps(p), one, _CMP_GE_OQ));
    const int high = _mm256_movemask_ps(_mm256_cmp_ps(_mm256_loadu_ps(p + 8), one, _CMP_GE_OQ));
    if ((low & high & 0x11) == 0x11) {
      for (int k = 0; k < 16; k += 4) BlendOpaque(p + k, keep, terms);
    } else {
      for (int k = 0; k < 16; k += 4) BlendOne(p + k, keep, terms, straight);
    }
  }
  for (; i < count; ++i, p += 4) BlendOne(p, keep, terms, straight);
}

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
  if (i < count) BlendOne(p, wide.keepOne, wide.termsOne, straight);
}
#endif

constexpr Kernels kKernels[] = {
#if TESSALINE_SSE2
    // kScalar: never in force in this build
    {StreamLinesSse2, CopyBytesSse2, StreamPiecesSse2, StreamRepeatedSse2, nullptr},
    {StreamLinesSse2, CopyBytesSse2, StreamPiecesSse2, StreamRepeatedSse2, nullptr},
    {StreamLinesAvx2, CopyBytesAvx2, StreamPiecesAvx2, StreamRepeatedAvx2, BlendFloatAvx2},
    {StreamLinesAvx512, CopyBytesAvx512, StreamPiecesAvx512, StreamRepeatedAvx512,
     BlendFloatAvx512},
#else
    {StreamLinesScalar, CopySmall, StreamPiecesScalar, StreamRepeatedScalar, nullptr},
#endif
};

// The widest level the processor has and the operating system enables.
IsaLevel MachineIsa() {
#if TESSALINE_SSE2
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return IsaLevel::kAvx512;
  if (__builtin_cpu_supports("avx2")) return IsaLevel::kAvx2;
  return IsaLevel::kSse2;
#else
  return IsaLevel::kScalar;
#endif
}

IsaLevel Narrowest() {
  return TESSALINE_SSE2 ? IsaLevel::kSse2 : IsaLevel::kScalar;
}

// The machine's level, capped by TESSALINE_MAX_ISA; a value it does not know is ignored.
IsaLevel ChosenIsa() {
  IsaLevel level = MachineIsa();
  if (const char* cap = std::getenv("TESSALINE_MAX_ISA"); cap != nullptr) {
    for (IsaLevel named : {IsaLevel::kSse2, IsaLevel::kAvx2, IsaLevel::kAvx512})
      if (std::string_view(cap) == IsaName(named) && named < level)
        level = std::max(named, Narrowest());
  }
  return level;
}

std::atomic<IsaLevel>& InForce() {
  static std::atomic<IsaLevel> level{ChosenIsa()};
  return level;
}

// The last-level cache's size as the processor reports it; 0 where it reports none.
std::size_t ReportedCacheBytes() {
#if TESSALINE_SSE2
  unsigned a = 0, b = 0, c = 0, d = 0;
  // The deterministic cache parameters: leaf 4 (Intel), 0x8000001D (AMD).
  for (const unsigned leaf : {4u, 0x8000001Du}) {
    if (unsigned(__get_cpuid_max(leaf & 0x80000000u, nullptr)) < leaf) continue;
    for (unsigned i = 0; i < 16; ++i) {
      __cpuid_count(leaf, i, a, b, c, d);
      if ((a & 31) == 0) break;
      if (((a >> 5) & 7) != 3) continue;
      return std::size_t((b >> 22) + 1) * (((b >> 12) & 0x3FF) + 1) * ((b & 0xFFF) + 1) *
             (std::size_t(c) + 1);
    }
  }
  // The older extended report, in units of 512 KiB.
  if (unsigned(__get_cpuid_max(0x80000000u, nullptr)) >= 0x80000006u) {
    __cpuid(0x80000006u, a, b, c, d);
    return std::size_t(d >> 18) * 512 * 1024;
  }
#endif
  return 0;
}

std::size_t MachineThreshold() {
  // What one core can use of a last-level cache lies between these; virtual
  // machines report sizes beyond them (the whole host's, or none).
  constexpr std::size_t kLeast = std::size_t{1} << 20, kMost = std::size_t{128} << 20;
  constexpr std::size_t kFallback = std::size_t{32} << 20;
  static const std::size_t bytes = [] {
    const std::size_t reported = ReportedCacheBytes();
    return reported >= kLeast && reported <= kMost ? reported : kFallback;
  }();
  return bytes / 4 * 3;
}

std::atomic<std::size_t> thresholdSet{0};

}  // namespace

IsaLevel ActiveIsa() {
  return InForce().load(std::memory_order_relaxed);
}

std::span<const IsaLevel> AvailableIsas() {
  static constexpr IsaLevel kLevels[] = {IsaLevel::kScalar, IsaLevel::kSse2, IsaLevel::kAvx2,
                                         IsaLevel::kAvx512};
  return std::span(kLevels).subspan(std::size_t(Narrowest()),
                                    std::size_t(MachineIsa()) - std::size_t(Narrowest()) + 1);
}

IsaLevel ForceIsa(IsaLevel level) {
  const IsaLevel put = std::clamp(level, Narrowest(), MachineIsa());
  InForce().store(put, std::memory_order_relaxed);
  return put;
}

const char* IsaName(IsaLevel level) {
  constexpr const char* kNames[] = {"scalar", "sse2", "avx2", "avx512"};
  return kNames[std::size_t(level)];
}

const Kernels& KernelsFor(IsaLevel level) {
  return kKernels[std::min(std::size_t(level), std::size(kKernels) - 1)];
}

void FinishStreaming() {
#if TESSALINE_SSE2
  _mm_sfence();
#endif
}

std::size_t StreamingThreshold() {
  const std::size_t set = thresholdSet.load(std::memory_order_relaxed);
  return set != 0 ? set : MachineThreshold();
}

void SetStreamingThreshold(std::size_t bytes) {
  thresholdSet.store(bytes, std::memory_order_relaxed);
}

}  // namespace tessaline
