#pragma once
// The vector instructions the core's kernels may use, decided here alone.
//
// SSE2 is part of every x86-64 processor and is used wherever the compiler
// targets it. AVX-512 is used only by functions compiled for it on their own
// (see SpanBlendAvx512.cpp) and only on processors that have it, which
// WidestFloatVectors() tells at run time. A build with
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
