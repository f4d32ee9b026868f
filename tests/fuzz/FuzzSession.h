#pragma once
// Runs one decoded session (SessionScript.h) against EffectMain through the
// in-process host, checking after every command that the plug-in kept the
// host's rules: the result each table gives for the nulls and faults of that
// command, check-outs balanced, every suite released, pre-render data freed
// exactly once, guard zones and row padding intact, the source unchanged, and
// every rendered frame equal to the literal reference to the bit. A broken
// rule prints what was seen and aborts, which the fuzzer reports as a crash.
#include <cstddef>
#include <cstdint>

namespace tessaline::fuzz {

// Steps, renders and faults a session runs at most, whatever its length.
inline constexpr int kMaxSteps = 96;
inline constexpr int kMaxRenders = 24;
inline constexpr int kMaxFaults = 16;

void RunSession(const std::uint8_t* data, std::size_t size);

}  // namespace tessaline::fuzz
