#pragma once
// Writing bytes of output rows: in place, or with streaming stores in whole
// cache lines, and the rows of "Grid Only" frames that are all alike.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/Vectors.h"

namespace tessaline {

// Writes `bytes` bytes from `from` (zeros when null) to `to`. Without
// streaming stores the bytes are moved as one block, so source and
// destination may share bytes.
inline void WriteBytes(std::byte* to, const std::byte* from, std::size_t bytes, bool streaming) {
  if (bytes == 0) return;
  // Whole cache lines only: a line written partly with streaming stores is
  // written to memory partly, which costs a read of it there.
  const auto head = std::size_t((64 - reinterpret_cast<std::uintptr_t>(to) % 64) % 64);
  if (streaming && bytes >= head + 64) {
    WriteBytes(to, from, head, false);
    const std::size_t lines = (bytes - head) / 64;
    StreamLines(to + head, from != nullptr ? from + head : nullptr, lines);
    const std::size_t done = head + lines * 64;
    return WriteBytes(to + done, from != nullptr ? from + done : nullptr, bytes - done, false);
  }
  if (from != nullptr)
    std::memmove(to, from, bytes);
  else
    std::memset(to, 0, bytes);
}

// Writes a "Grid Only" row that no horizontal line touches, from `plain`,
// one like it: transparent zero but for the columns that vertical lines
// touch. Zeros written from registers, which read nothing, are faster than
// zeros copied; but each write costs about as much as copying this many
// bytes, so shorter gaps between lines are copied with the lines.
constexpr std::int64_t kMinZeroBytes = 4 * 1024;

template <typename Pixel, typename Spans>
void WritePlainRow(std::byte* to, const std::byte* plain, std::int32_t width,
                   const Spans& touched) {
  const auto rowBytes = std::int64_t(width) * std::int64_t{sizeof(Pixel)};
  const auto shift = std::int64_t(reinterpret_cast<std::uintptr_t>(to) % 64);
  std::int64_t first = 0, last = 0;  // the bytes to copy from `plain` so far
  // Zeros from `last` to `next`, where that pays.
  const auto zerosTo = [&](std::int64_t next) {
    if (next - last < kMinZeroBytes) return;
    WriteBytes(to + first, plain + first, std::size_t(last - first), true);
    WriteBytes(to + last, nullptr, std::size_t(next - last), true);
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
  WriteBytes(to + first, plain + first, std::size_t(rowBytes - first), true);
}

}  // namespace tessaline
