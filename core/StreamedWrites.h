#pragma once
// Writing bytes of output rows with streaming stores, in whole cache lines.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/Kernels.h"

namespace tessaline {

// Writes bytes of an output with streaming stores, in whole cache lines
// only: a line written partly with streaming stores is written to memory
// partly, which costs a read of it there, and a line written with ordinary
// stores is read first. So the part of a line that a write ends within is
// held, and the write that goes on from there (the next piece of a row, or
// the next row where rows follow each other in memory) completes it. What
// nothing completes is written with ordinary stores. The bytes written are
// in memory for other threads only after Finish().
class StreamedWrites {
 public:
  explicit StreamedWrites(const Kernels& kernels) : k_(kernels) {}
  StreamedWrites(const StreamedWrites&) = delete;
  StreamedWrites& operator=(const StreamedWrites&) = delete;

  // Writes `bytes` bytes from `from` (zeros when null) to `to`.
  void Write(std::byte* to, const std::byte* from, std::size_t bytes) {
    // Whole cache lines, with nothing held: most writes of a streamed row.
    if (held_ == 0 && ((reinterpret_cast<std::uintptr_t>(to) | bytes) % 64) == 0) {
      if (bytes != 0) k_.streamLines(to, from, bytes / 64);
      return;
    }
    WriteParts(to, from, bytes);
  }

  // Writes `bytes` bytes to `to` of 64 bytes repeated over them, the first
  // at `to`: `line` holds the 64 bytes twice over.
  void WriteRepeated(std::byte* to, const std::byte* line, std::size_t bytes) {
    const auto head =
        std::min(bytes, std::size_t((64 - reinterpret_cast<std::uintptr_t>(to) % 64) % 64));
    Write(to, line, head);
    Release();
    const std::size_t lines = (bytes - head) / 64;
    k_.streamRepeated(to + head, line + head % 64, lines);
    Write(to + head + lines * 64, line + head % 64, bytes - head - lines * 64);
  }

  // Writes what is held, and orders the streaming stores with other stores.
  void Finish() {
    Release();
    FinishStreaming();
  }

 private:
  [[gnu::noinline]] void WriteParts(std::byte* to, const std::byte* from, std::size_t bytes) {
    if (bytes == 0) return;
    if (held_ != 0) {
      if (to != at_ + held_) {
        Release();
      } else {
        const std::size_t n = std::min(bytes, 64 - held_);
        k_.copyBytes(line_ + held_, from, n);
        held_ += n;
        if (held_ < 64) return;
        k_.streamLines(at_, line_, 1);
        held_ = 0;
        to += n;
        from = from != nullptr ? from + n : nullptr;
        bytes -= n;
      }
    }
    const auto head =
        std::min(bytes, std::size_t((64 - reinterpret_cast<std::uintptr_t>(to) % 64) % 64));
    if (head != 0) k_.copyBytes(to, from, head);
    const std::size_t lines = (bytes - head) / 64;
    if (lines != 0) k_.streamLines(to + head, from != nullptr ? from + head : nullptr, lines);
    const std::size_t done = head + lines * 64;
    at_ = to + done;
    held_ = bytes - done;
    if (held_ != 0) k_.copyBytes(line_, from != nullptr ? from + done : nullptr, held_);
  }

  // Writes what is held where it goes, with ordinary stores.
  void Release() {
    if (held_ != 0) k_.copyBytes(at_, line_, held_);
    held_ = 0;
  }

  const Kernels& k_;
  alignas(64) std::byte line_[64];
  std::byte* at_ = nullptr;  // where line_ goes: the start of a cache line
  std::size_t held_ = 0;     // the bytes of line_ written so far
};

}  // namespace tessaline
