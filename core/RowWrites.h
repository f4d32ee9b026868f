#pragma once
// Writing bytes of output rows: in place, or with streaming stores in whole
// cache lines, and the rows of "Grid Only" frames that are all alike.
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
  explicit StreamedWrites(const ByteKernels& kernels) : k_(kernels) {}
  StreamedWrites(const StreamedWrites&) = delete;
  StreamedWrites& operator=(const StreamedWrites&) = delete;

  // Writes `bytes` bytes from `from` (zeros when null) to `to`.
  void Write(std::byte* to, const std::byte* from, std::size_t bytes) {
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
    k_.copyBytes(to, from, head);
    const std::size_t lines = (bytes - head) / 64;
    k_.streamLines(to + head, from != nullptr ? from + head : nullptr, lines);
    const std::size_t done = head + lines * 64;
    at_ = to + done;
    held_ = bytes - done;
    k_.copyBytes(line_, from != nullptr ? from + done : nullptr, held_);
  }

  // Writes what is held, and orders the streaming stores with other stores.
  void Finish() {
    Release();
    FinishStreaming();
  }

 private:
  // Writes what is held where it goes, with ordinary stores.
  void Release() {
    k_.copyBytes(at_, line_, held_);
    held_ = 0;
  }

  const ByteKernels& k_;
  alignas(64) std::byte line_[64];
  std::byte* at_ = nullptr;  // where line_ goes: the start of a cache line
  std::size_t held_ = 0;     // the bytes of line_ written so far
};

// Writes a "Grid Only" row that no horizontal line touches, from `plain`,
// one like it: transparent zero but for the columns that vertical lines
// touch. Zeros written from registers, which read nothing, are faster than
// zeros copied; but each write costs about as much as copying this many
// bytes, so shorter gaps between lines are copied with the lines.
constexpr std::int64_t kMinZeroBytes = 4 * 1024;

template <typename Pixel, typename Spans>
void WritePlainRow(StreamedWrites& out, std::byte* to, const std::byte* plain, std::int32_t width,
                   const Spans& touched) {
  const auto rowBytes = std::int64_t(width) * std::int64_t{sizeof(Pixel)};
  const auto shift = std::int64_t(reinterpret_cast<std::uintptr_t>(to) % 64);
  std::int64_t first = 0, last = 0;  // the bytes to copy from `plain` so far
  // Zeros from `last` to `next`, where that pays.
  const auto zerosTo = [&](std::int64_t next) {
    if (next - last < kMinZeroBytes) return;
    out.Write(to + first, plain + first, std::size_t(last - first));
    out.Write(to + last, nullptr, std::size_t(next - last));
    first = last = next;
  };
  touched.ForEach(
      0, width,
      [&](std::int32_t, std::int32_t from, std::int32_t end) {
        // The span's bytes, widened to the cache lines of `to` that hold them.
        zerosTo(std::max<std::int64_t>(
            (from * std::int64_t{sizeof(Pixel)} + shift) / 64 * 64 - shift, 0));
        last =
            std::min(rowBytes, (end * std::int64_t{sizeof(Pixel)} + shift + 63) / 64 * 64 - shift);
      },
      [](std::int32_t, std::int32_t) {});
  zerosTo(rowBytes);
  out.Write(to + first, plain + first, std::size_t(rowBytes - first));
}

}  // namespace tessaline
