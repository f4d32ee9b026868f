#pragma once
// Runs one decoded session (SessionScript.h) against EffectMain through the
// in-process host, checking after every command that the plug-in kept the
// host's rules: the result the plug-in documents for the nulls and faults of
// that command, check-outs balanced, every suite released, pre-render data
// freed exactly once, guard zones and row padding intact, the source
// unchanged, and every rendered frame equal to the literal reference to the
// bit. A broken rule prints what was seen and aborts, which the fuzzer reports
// as a crash.
//
// Row padding: its one allowed writer is the source copy of a compositing
// render, which moves whole rows up to the shorter of the two strides. So a
// padding byte of the output may change only in a render that composites,
// only in a row the source has, only below the source's stride, and only to
// the source's byte at the same row and offset (the reference draws on a copy
// of the output's rows, padding included, and the two must match byte for
// byte). The guards before and after the rows, the padding in "Grid Only" and
// in every other command, and every byte of the source stay as they were.
#include <cstddef>
#include <cstdint>

namespace tessaline::fuzz {

// Steps, renders and faults a session runs at most, whatever its length.
inline constexpr int kMaxSteps = 96;
inline constexpr int kMaxRenders = 24;
inline constexpr int kMaxFaults = 16;

void RunSession(const std::uint8_t* data, std::size_t size);

}  // namespace tessaline::fuzz
