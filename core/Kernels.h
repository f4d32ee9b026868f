#pragma once
// The one place that decides which vector instructions the core runs: the
// instruction-set level, and the kernels of each level. Internal to the
// core: its passes, its tests and the benchmark include it; the host does
// not.
//
// SSE2 is part of every x86-64 processor and is used wherever the compiler
// targets it (TESSALINE_SSE2). AVX2 and AVX-512 are used only by the kernels
// compiled for them on their own (Kernels.cpp), and only at the level in
// force. A build with TESSALINE_SCALAR_KERNELS defined uses no vector
// instructions: every kernel takes its scalar definition, which gives the
// same bits.
//
// The level is chosen once per process, when a render first asks for it:
// the widest the processor has and the operating system enables, capped by
// the environment variable TESSALINE_MAX_ISA (sse2, avx2 or avx512) read at
// that moment. Every level gives the same bits.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/PixelBuffer.h"

#if defined(__SSE2__) && !defined(TESSALINE_SCALAR_KERNELS)
#include <emmintrin.h>
#define TESSALINE_SSE2 1
#else
#define TESSALINE_SSE2 0
#endif

namespace tessaline {

struct BlendTerms;

// kScalar only in a build without vector kernels, where it is the only one.
enum class IsaLevel : std::uint8_t { kScalar, kSse2, kAvx2, kAvx512 };

// A stretch of a row's cache lines, written by streamPieces: `sourceLines`
// lines from the source, then `stagedLines` lines from the staging buffer,
// from its line `stagedLine` on. A line whose `merge` is not kWholeLine is
// one line merged from both: each of its 16 four-byte words from the staged
// line where its bit in `merge` is set (bit 0, the first word), else from
// the source.
struct LinePiece {
  static constexpr std::uint16_t kWholeLine = 0xFFFF;
  std::uint16_t sourceLines, stagedLines, stagedLine, merge;
};

// How far ahead of the bytes being written streamLines and streamPieces ask
// for the source: enough to keep memory busy while lines between are drawn.
inline constexpr std::size_t kReadAheadBytes = 16 * 1024;

// The kernels of one level. None reads or writes outside the bytes it is
// given; `from` and `to` must not overlap.
struct Kernels {
  // `lines` whole 64-byte lines from `from` (zeros when null) to `to`, which
  // is 64-byte aligned, with streaming stores: they do not read the lines'
  // memory first and do not keep them in the cache. `from` is read ahead.
  // Not ordered with other stores until FinishStreaming().
  void (*streamLines)(std::byte* to, const std::byte* from, std::size_t lines);
  // `bytes` bytes from `from` (zeros when null) to `to`, with ordinary stores.
  void (*copyBytes)(std::byte* to, const std::byte* from, std::size_t bytes);
  // Whole lines to `to`, 64-byte aligned, with streaming stores, piece by
  // piece: from `from` (zeros when null), which goes on past the staged
  // lines as `to` does, and from `staged`.
  void (*streamPieces)(std::byte* to, const std::byte* from, const std::byte* staged,
                       const LinePiece* pieces, std::size_t count);
  // The 64-byte `line` to `lines` whole lines at `to`, 64-byte aligned, with
  // streaming stores.
  void (*streamRepeated)(std::byte* to, const std::byte* line, std::size_t lines);
  // `count` float pixels blended with the terms as SpanBlend<PixelFloat>
  // blends them, a pixel or two per instruction; null at the levels where
  // SpanBlend's own loop is the widest.
  void (*blendFloats)(PixelFloat* pixels, std::int32_t count, const BlendTerms& terms);
};

// The level in force for renders that start now.
IsaLevel ActiveIsa();
// The levels this build and this machine can run, narrowest first.
std::span<const IsaLevel> AvailableIsas();
// Puts `level` in force (or the widest available below it) for renders that
// start after, and gives the level put in force: for tests and the
// benchmark, which measure and check every level in one process.
IsaLevel ForceIsa(IsaLevel level);
const char* IsaName(IsaLevel level);

const Kernels& KernelsFor(IsaLevel level);

// Orders the streaming stores made so far before the stores that follow.
void FinishStreaming();

// Output frames of at least this many bytes are written with streaming
// stores, smaller ones in place: a frame and its source that fit in the
// last-level cache are faster written there, and the next effect finds them
// there. Three quarters of the last-level cache that the processor reports,
// or of 32 MiB where it reports none or an implausible size.
std::size_t StreamingThreshold();
// Sets the threshold; 0 restores the machine's. For tests.
void SetStreamingThreshold(std::size_t bytes);

}  // namespace tessaline
