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
// Worlds: the host hands views and windows into larger buffers, so nothing
// outside a world's width x height pixels may change: the guards before and
// after the rows, the bytes after each row's pixels, the foreign pixels around
// a window output, and every byte of the source. The host's guard check after
// every command and the reference's copy of the output's rows judge it.
#include <cstddef>
#include <cstdint>

namespace tessaline::fuzz {

// Steps, renders and faults a session runs at most, whatever its length.
inline constexpr int kMaxSteps = 96;
inline constexpr int kMaxRenders = 24;
inline constexpr int kMaxFaults = 16;

void RunSession(const std::uint8_t* data, std::size_t size);

}  // namespace tessaline::fuzz
