#pragma once
// Runs of pixels set to one pixel.
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/Kernels.h"
#include "core/PixelBuffer.h"

namespace tessaline {

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
[[gnu::always_inline]] inline void FillPixels(Pixel* pixels, std::int32_t count, __m128i pattern) {
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
[[gnu::always_inline]] inline void FillPixels(Pixel* pixels, std::int32_t count,
                                              const Pixel& value) {
#if TESSALINE_SSE2
  FillPixels(pixels, count, PatternOf(value));
#else
  for (std::int32_t i = 0; i < count; ++i) pixels[i] = value;
#endif
}

}  // namespace tessaline
