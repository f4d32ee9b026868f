#pragma once
// Rows that no horizontal line touches, written with streaming stores in one
// pass over their cache lines: the lines that vertical lines touch are
// staged (laid from the source, or as zeros, and drawn) in a buffer that
// stays in the cache; every other line goes from the source to the output
// with nothing in between, or is written as zeros from registers.
//
// Rows whose first pixel lies at the same place in a cache line share their
// layout of lines, made once, and so do the stretches whose pixels end as
// the same values whatever they were (lines drawn at full strength with full
// coverage). In "Grid Only" such rows are alike: what is staged for one
// serves them all.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/Kernels.h"
#include "core/StreamedWrites.h"
#include "core/TileDrawer.h"

namespace tessaline {

template <typename Pixel>
class StagedRows {
 public:
  using Drawer = TileDrawer<Pixel>;

  StagedRows(Drawer& drawer, const Kernels& kernels, std::byte* staging, std::size_t capacity,
             std::int32_t width)
      : drawer_(drawer),
        kernels_(kernels),
        staging_(staging),
        rowBytes_(std::int64_t{width} * std::int64_t{sizeof(Pixel)}),
        capacityLines_(std::int32_t(std::min<std::size_t>(capacity / 64, INT16_MAX))) {}

  // Lays out rows whose pixel 0 lies `shift` bytes past the start of a
  // cache line. False when they cannot be staged: a shift that is not a
  // whole number of pixels, rows with no whole line, or more touched lines
  // than the staging buffer holds.
  bool Prepare(std::int32_t shift) {
    if (shift == shift_) return ready_;
    shift_ = shift;
    stagedZeros_ = false;
    ready_ = Layout();
    return ready_;
  }

  // Writes row `row` to `to` from `from`, its source's pixel of column 0
  // (every column of the row held; null for zeros), through `out` for the
  // partial lines at its ends. Rows of zeros in a row share what is staged.
  // `next`, where not null, is the source of the next row: its staged lines
  // are fetched meanwhile.
  // False, with nothing written, for a float row whose lines made once do
  // not hold for it (see Drawer::kFillsFiniteOnly).
  bool Write(StreamedWrites& out, Pixel* to, const Pixel* from, const Pixel* next,
             std::int32_t row) {
    const auto* source = reinterpret_cast<const std::byte*>(from);
    if constexpr (Drawer::kFillsFiniteOnly)
      if (source != nullptr && fixedLines_ > 0 &&
          !FiniteUnderMerges(source, reinterpret_cast<const std::byte*>(next)))
        return false;
    if (source != nullptr || !stagedZeros_)
      Stage(source, reinterpret_cast<const std::byte*>(next), row);
    stagedZeros_ = source == nullptr;
    auto* at = reinterpret_cast<std::byte*>(to);
    const std::int64_t first = firstLine_ * 64 - shift_;  // the row's first whole line
    if (shift_ != 0) out.Write(at, PartSource(source, 0, head_), first);
    kernels_.streamPieces(at + first, source != nullptr ? source + first : nullptr, staging_,
                          pieces_, std::size_t(pieceCount_));
    const std::int64_t last = endLine_ * 64 - shift_;
    out.Write(at + last, PartSource(source, last, tail_), std::size_t(rowBytes_ - last));
    return true;
  }

  // The stretches, or the staging buffer, have been used for other rows.
  void Forget() { shift_ = -1; }

 private:
  using Stretch = typename Drawer::Stretch;
  static constexpr std::int32_t kMaxPieces = 2 * Drawer::kMaxStretches + 1;
  // Stretches of this many lines at most may be made once for all rows.
  static constexpr std::int32_t kMaxFixedLines = 4;
  static constexpr auto kLinePixels = std::int32_t(64 / sizeof(Pixel));

  bool Layout() {
    if (shift_ % std::int32_t(sizeof(Pixel)) != 0) return false;
    stretches_ = drawer_.Stretches(shift_ / std::int32_t(sizeof(Pixel)), stretchCount_);
    firstLine_ = shift_ != 0 ? 1 : 0;
    endLine_ = std::int32_t((shift_ + rowBytes_) / 64);
    if (stretches_ == nullptr || endLine_ <= firstLine_ || endLine_ > UINT16_MAX) return false;
    // The whole lines, piece by piece; the partial lines at either end from
    // the staged lines where a stretch reaches them.
    head_ = tail_ = nullptr;
    pieceCount_ = lines_ = fixedLines_ = drawnCount_ = 0;
    std::int32_t line = firstLine_;
    for (std::int32_t k = 0; k < stretchCount_; ++k) {
      const Stretch& stretch = stretches_[k];
      const std::int32_t first = LineOf(stretch.first), end = LineOf(stretch.end, 63);
      if (first >= firstLine_ && end <= endLine_ && Fixed(stretch, first, end, line)) continue;
      if (lines_ + end - first > capacityLines_) return false;
      // The row's bytes in its lines.
      const std::int64_t lineStart = std::int64_t{first} * 64 - shift_;
      const std::int64_t byte = std::max<std::int64_t>(lineStart, 0);
      const std::int64_t until = std::min<std::int64_t>(std::int64_t{end} * 64 - shift_, rowBytes_);
      drawn_[drawnCount_++] =
          Drawn{std::int32_t(byte), std::int32_t(until - byte),
                std::int32_t(std::int64_t{lines_} * 64 + byte - lineStart), std::int16_t(k)};
      if (first < firstLine_) head_ = staging_ + std::int64_t{lines_} * 64 + shift_;
      if (end > endLine_) tail_ = staging_ + std::int64_t{lines_ + endLine_ - first} * 64;
      const std::int32_t from = std::max(first, firstLine_), to = std::min(end, endLine_);
      if (from < to) {
        if (!AddPiece(from - line, to - from, lines_ + from - first, LinePiece::kWholeLine))
          return false;
        line = to;
      }
      lines_ += end - first;
    }
    return AddPiece(endLine_ - line, 0, 0, LinePiece::kWholeLine);
  }

  bool AddPiece(std::int32_t sourceLines, std::int32_t lines, std::int32_t at,
                std::uint16_t merge) {
    if (pieceCount_ == kMaxPieces) return false;
    pieces_[pieceCount_++] =
        LinePiece{std::uint16_t(sourceLines), std::uint16_t(lines), std::uint16_t(at), merge};
    return true;
  }

  // A stretch whose every pixel that a line touches ends as one value
  // whatever it was (each last blended by a fill) is made once, drawn over
  // zeros: each of its lines is written merged with the source under the
  // mask of those pixels, and lines alike are kept once. False when the
  // stretch is not such a one, or does not fit.
  bool Fixed(const Stretch& stretch, std::int32_t first, std::int32_t end, std::int32_t& line) {
    const std::int32_t count = end - first;
    if (count > kMaxFixedLines || lines_ + count > capacityLines_) return false;
    // 0: no line; 1: last blended by a fill; 2: last blended otherwise.
    std::uint8_t last[kMaxFixedLines * kLinePixels] = {};
    drawer_.ForEachRun(stretch, [&](std::int32_t column, std::int32_t n, bool fills) {
      std::fill_n(last + (column - stretch.first), n, std::uint8_t(fills ? 1 : 2));
    });
    if (std::find(last, last + (stretch.end - stretch.first), 2) !=
        last + (stretch.end - stretch.first))
      return false;
    std::byte* lines = staging_ + std::int64_t{lines_} * 64;
    kernels_.copyBytes(lines, nullptr, std::size_t(count) * 64);
    const std::int64_t offset = std::int64_t{stretch.first} * std::int64_t{sizeof(Pixel)} + shift_ -
                                std::int64_t{first} * 64;
    drawer_.DrawStretch(
        Tile<Pixel>{reinterpret_cast<Pixel*>(lines + offset), 0, 0, 1, stretch.first, stretch.end},
        stretch);
    for (std::int32_t i = 0; i < count; ++i) {
      std::uint16_t merge = 0;
      for (std::int32_t word = 0; word < 16; ++word) {
        const std::int64_t column =
            (std::int64_t{first + i} * 64 + word * 4 - shift_) / std::int64_t{sizeof(Pixel)};
        if (column >= stretch.first && column < stretch.end && last[column - stretch.first] == 1)
          merge = std::uint16_t(merge | 1u << word);
      }
      // The same line made before, or this one kept.
      const std::byte* made = lines + std::int64_t{i} * 64;
      std::int32_t at = 0;
      while (at < fixedLines_ &&
             (fixedMerge_[at] != merge ||
              std::memcmp(staging_ + std::int64_t{fixedAt_[at]} * 64, made, 64) != 0))
        ++at;
      if (at == fixedLines_) {
        if (fixedLines_ == Drawer::kMaxStretches) return false;
        std::memmove(staging_ + std::int64_t{lines_} * 64, made, 64);
        fixedMerge_[fixedLines_] = merge;
        fixedAt_[fixedLines_++] = std::int16_t(lines_++);
      }
      if (!AddPiece(i == 0 ? first - line : 0, 1, fixedAt_[at], merge)) return false;
    }
    line = end;
    return true;
  }

  // True when every four-byte word of the source that a merged line takes
  // from the staged line is a finite float.
  // Those of `next`, where not null, are fetched meanwhile: they lie too
  // far ahead of the row for the kernels' reading ahead.
  bool FiniteUnderMerges(const std::byte* source, const std::byte* next) const {
    std::int64_t line = firstLine_;
    bool finite = true;
    for (const LinePiece* p = pieces_; p != pieces_ + pieceCount_; ++p) {
      line += p->sourceLines;
      if (p->merge != LinePiece::kWholeLine) {
        const std::int64_t at = line * 64 - shift_;
        if (next != nullptr) __builtin_prefetch(next + at);
        finite = finite && (NotFinite(source + at) & p->merge) == 0;
      }
      line += p->stagedLines;
    }
    return finite;
  }

  // A bit for each of the 16 floats at `at` that is infinite or not a number.
  static unsigned NotFinite(const std::byte* at) {
    unsigned bits = 0;
#if TESSALINE_SSE2
    const __m128i exponent = _mm_set1_epi32(0x7F800000);
    for (int q = 0; q < 4; ++q) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * q));
      const __m128i all = _mm_cmpeq_epi32(_mm_and_si128(v, exponent), exponent);
      bits |= unsigned(_mm_movemask_ps(_mm_castsi128_ps(all))) << (4 * q);
    }
#else
    for (int w = 0; w < 16; ++w) {
      std::uint32_t v;
      std::memcpy(&v, at + 4 * w, 4);
      if ((v & 0x7F800000u) == 0x7F800000u) bits |= 1u << w;
    }
#endif
    return bits;
  }

  // The line of the row that holds the byte of column `column` (with
  // `round` 63, the line after the one that holds the byte before it).
  std::int32_t LineOf(std::int32_t column, std::int32_t round = 0) const {
    return std::int32_t((std::int64_t{column} * std::int64_t{sizeof(Pixel)} + shift_ + round) / 64);
  }

  // Lays and draws the staged lines of row `row`: the row's bytes that they
  // hold, from the source or as zeros, then every line over the stretches.
  void Stage(const std::byte* source, const std::byte* next, std::int32_t row) {
    for (const Drawn* s = drawn_; s != drawn_ + drawnCount_; ++s) {
      std::byte* at = staging_ + s->at;
      kernels_.copyBytes(at, source != nullptr ? source + s->from : nullptr, std::size_t(s->bytes));
      if (next != nullptr)
        for (std::int32_t b = 0; b < s->bytes; b += 64) __builtin_prefetch(next + s->from + b);
      const Stretch& stretch = stretches_[s->stretch];
      const std::int64_t first = std::int64_t{stretch.first} * std::int64_t{sizeof(Pixel)};
      drawer_.DrawStretch(Tile<Pixel>{reinterpret_cast<Pixel*>(at + (first - s->from)), 0, row,
                                      row + 1, stretch.first, stretch.end},
                          stretch);
    }
  }

  // The bytes of a partial line at `offset` in the row: staged, or the source's.
  static const std::byte* PartSource(const std::byte* source, std::int64_t offset,
                                     const std::byte* staged) {
    if (staged != nullptr) return staged;
    return source != nullptr ? source + offset : nullptr;
  }

  Drawer& drawer_;
  const Kernels& kernels_;
  std::byte* const staging_;
  const std::int64_t rowBytes_;
  std::int32_t shift_ = -1;
  bool ready_ = false;
  bool stagedZeros_ = false;  // the staged lines are those of a row of zeros
  const std::int32_t capacityLines_;
  const Stretch* stretches_ = nullptr;
  std::int32_t stretchCount_ = 0;
  std::int32_t firstLine_ = 0, endLine_ = 0;
  // The stretches drawn for each row: row bytes [from, from + bytes), staged
  // `at` bytes into the buffer.
  struct Drawn {
    std::int32_t from, bytes, at;
    std::int16_t stretch;
  };
  Drawn drawn_[Drawer::kMaxStretches];
  std::int32_t drawnCount_ = 0;
  LinePiece pieces_[kMaxPieces];
  std::int32_t pieceCount_ = 0, lines_ = 0;
  // The lines made once, where they are kept and their masks.
  std::int16_t fixedAt_[Drawer::kMaxStretches];
  std::uint16_t fixedMerge_[Drawer::kMaxStretches];
  std::int32_t fixedLines_ = 0;
  const std::byte* head_ = nullptr;  // the staged bytes of the partial first line, if any
  const std::byte* tail_ = nullptr;  // and of the partial last line
};

}  // namespace tessaline
