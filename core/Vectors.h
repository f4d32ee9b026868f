#pragma once
// The vector instructions the core's kernels may use, decided here alone.
//
// SSE2 is part of every x86-64 processor and is used wherever the compiler
// targets it. AVX-512 is used only by functions compiled for it on their own
// (WideVectors.cpp), and only on processors that have it, which that file
// alone asks at run time. A build with
// TESSALINE_SCALAR_KERNELS defined uses neither: every blend takes its scalar
// definition, which gives the same bits.
#if defined(__SSE2__) && !defined(TESSALINE_SCALAR_KERNELS)
#include <emmintrin.h>
#define TESSALINE_SSE2 1
#else
#define TESSALINE_SSE2 0
#endif

#if TESSALINE_SSE2 && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TESSALINE_AVX512 1
#else
#define TESSALINE_AVX512 0
#endif

#include <cstddef>

namespace tessaline {

// Writes `lines` whole 64-byte cache lines from `from` (zeros when null) to
// `to`, which is 64-byte aligned, with streaming stores where there are
// any: they do not read the lines' memory first and do not keep them in the
// cache. Not ordered with other stores until FinishStreaming().
void StreamLines(std::byte* to, const std::byte* from, std::size_t lines);
void FinishStreaming();

}  // namespace tessaline
