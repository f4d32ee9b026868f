#pragma once
// The vector instructions the core's kernels may use, decided here alone.
//
// SSE2 is part of every x86-64 processor and is used wherever the compiler
// targets it. AVX2 and AVX-512 are used only by functions compiled for them
// on their own (Kernels.cpp), and only at the level chosen there. A build
// with TESSALINE_SCALAR_KERNELS defined uses none: every kernel takes its
// scalar definition, which gives the same bits.
#if defined(__SSE2__) && !defined(TESSALINE_SCALAR_KERNELS)
#include <emmintrin.h>
#define TESSALINE_SSE2 1
#else
#define TESSALINE_SSE2 0
#endif
