#include "core/GridComposition.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/LineOrder.h"
#include "core/LinePlan.h"
#include "core/LineStamp.h"
#include "core/SpanBlend.h"
#include "core/Vectors.h"

// A frame is rendered in one pass over bands of rows small enough to stay in
// the cache: each band gets its base (the source's pixels, or transparent
// zero) and then every line of the grid that touches it, one line after the
// other in drawing order (see LinePlan).
//
// Where bands do not apply, the frame is drawn as the stamps draw it: the
// base of the whole frame first, then each line over the whole frame in turn.
// That is the case for output rows that share bytes, a source that shares
// bytes with the output, and line sets too large for the plan on the stack.

namespace tessaline {
namespace {

// ---------------------------------------------------------------------------
// Writing

// Output frames of at least this many bytes are written with streaming stores
// where they are written once: they do not read the output's memory first,
// and do not fill the cache with a frame larger than it.
constexpr std::size_t kStreamingBytes = std::size_t{8} << 20;

// Writes `bytes` bytes from `from` (zeros when null) to `to`. Without
// streaming stores the bytes are moved as one block, so source and
// destination may share bytes.
void Write(std::byte* to, const std::byte* from, std::size_t bytes, bool streaming) {
#if TESSALINE_SSE2
  // Whole cache lines only: a line written partly with streaming stores is
  // written to memory partly, which costs a read of it there.
  const auto head = std::size_t((64 - reinterpret_cast<std::uintptr_t>(to) % 64) % 64);
  if (streaming && bytes >= head + 64) {
    Write(to, from, head, false);
    const std::size_t lines = (bytes - head) / 64;
    StreamLines(to + head, from != nullptr ? from + head : nullptr, lines);
    const std::size_t done = head + lines * 64;
    return Write(to + done, from != nullptr ? from + done : nullptr, bytes - done, false);
  }
#endif
  (void)streaming;
  if (from != nullptr)
    std::memmove(to, from, bytes);
  else
    std::memset(to, 0, bytes);
}

// Streaming stores are not ordered with other stores: the frame is complete
// for other threads only after this.
void FinishWrites([[maybe_unused]] bool streaming) {
#if TESSALINE_SSE2
  if (streaming) _mm_sfence();
#endif
}

// ---------------------------------------------------------------------------
// The base

bool HasPixels(const PixelBuffer* buffer) {
  return buffer != nullptr && buffer->data != nullptr && buffer->width > 0 && buffer->height > 0;
}

// The base of the output's pixels: the source's pixels that land in the
// output (columns [first, last) of rows that the source holds), transparent
// zero elsewhere. With no source, or in "Grid Only", all of it is zero.
template <typename Pixel>
class Base {
 public:
  Base(const PixelBuffer* source, const PixelBuffer& output, const LayerPlacement& p)
      : source_(HasPixels(source) ? source : nullptr), sourceX_(p.sourceX), sourceY_(p.sourceY) {
    if (source_ == nullptr) return;
    first_ = std::max<std::int64_t>(p.sourceX, 0);
    last_ = std::min<std::int64_t>(p.sourceX + source_->width, output.width);
    if (first_ >= last_) source_ = nullptr;
  }

  bool copies() const { return source_ != nullptr; }

  // Columns [first, end) of output row `row`, written to `to` (their first
  // pixel): the source's pixels first, as one block (as moving rows does,
  // where source and output share bytes), then the zeros beside them.
  void Lay(Pixel* to, std::int32_t row, std::int32_t first, std::int32_t end,
           bool streaming) const {
    auto* out = reinterpret_cast<std::byte*>(to);
    const std::int64_t sourceRow = row - sourceY_;
    std::int64_t from = first, until = first;  // the columns the source holds
    if (source_ != nullptr && sourceRow >= 0 && sourceRow < source_->height) {
      from = std::clamp<std::int64_t>(first_, first, end);
      until = std::clamp<std::int64_t>(last_, from, end);
    }
    if (from < until) {
      const Pixel* in = PixelRow<Pixel>(*source_, std::int32_t(sourceRow)) + (from - sourceX_);
      Write(out + (from - first) * sizeof(Pixel), reinterpret_cast<const std::byte*>(in),
            std::size_t(until - from) * sizeof(Pixel), streaming);
    }
    Write(out, nullptr, std::size_t(from - first) * sizeof(Pixel), streaming);
    Write(out + (until - first) * sizeof(Pixel), nullptr, std::size_t(end - until) * sizeof(Pixel),
          streaming);
  }

 private:
  const PixelBuffer* source_;
  std::int64_t sourceX_, sourceY_;
  std::int64_t first_ = 0, last_ = 0;
};

// The bytes [first, last) of `rows` rows of `length` bytes each.
struct ByteRange {
  std::uintptr_t first = 0, last = 0;
};

ByteRange RowsRange(const PixelBuffer& buffer, std::int32_t rows, std::size_t length) {
  if (rows <= 0 || length == 0) return {};
  const auto row0 = reinterpret_cast<std::uintptr_t>(RowAddress(buffer, 0));
  const auto rowN = reinterpret_cast<std::uintptr_t>(RowAddress(buffer, rows - 1));
  return ByteRange{row0 < rowN ? row0 : rowN, (row0 < rowN ? rowN : row0) + length};
}

bool Overlap(const ByteRange& a, const ByteRange& b) {
  return a.first < b.last && b.first < a.last;
}

template <typename Pixel>
bool SharesBytes(const PixelBuffer& a, const PixelBuffer& b) {
  return Overlap(RowsRange(a, a.height, std::size_t(a.width) * sizeof(Pixel)),
                 RowsRange(b, b.height, std::size_t(b.width) * sizeof(Pixel)));
}

// True when one output row reaches into the pixels of another: then the order
// in which rows are written matters and only the literal order is right.
template <typename Pixel>
bool RowsShareBytes(const PixelBuffer& output) {
  return output.height > 1 &&
         std::llabs(output.rowbytes) < std::int64_t{output.width} * std::int64_t{sizeof(Pixel)};
}

// ---------------------------------------------------------------------------
// The passes

// A band of rows: small enough to stay in the cache while the lines are
// blended into it.
constexpr std::size_t kBandBytes = 256 * 1024;
// The pixels of the touched columns of a band, blended apart from the rest.
constexpr std::size_t kSpanBufferBytes = 16 * 1024;
// The average stretch of a row between vertical lines from which rows are
// written in pieces.
constexpr std::size_t kMinStretchBytes = 2048;

// The composition as stamped line by line over the whole frame.
template <typename Pixel>
void StampLineByLine(const PixelBuffer& output, const GridSettings& s, double cx, double cy) {
  const auto styles = LineStyles(s);
  ForEachLine(s, output.width, output.height, cx, cy, [&](const GridLine& line) {
    const LineStyle& style = styles[std::size_t(line.style)];
    if (line.axis == Axis::kVertical)
      StampVerticalLine<Pixel>(output, line.position, style.width, *style.color, s.opacity);
    else
      StampHorizontalLine<Pixel>(output, line.position, style.width, *style.color, s.opacity);
  });
}

template <typename Pixel, typename Blend>
ErrorCode RenderGrid(const PixelBuffer* source, const PixelBuffer& output, const GridSettings& s,
                     const LayerPlacement& placement) {
  if (output.width <= 0 || output.height <= 0) return kErrNone;
  if (output.data == nullptr) return kErrBadCallbackParam;
  const Base<Pixel> base(s.blendMode == kBlendGridOnly ? nullptr : source, output, placement);

  LinePlan<Pixel, Blend> plan;
  alignas(64) Pixel spanBuffer[kSpanBufferBytes / sizeof(Pixel)];
  if (RowsShareBytes<Pixel>(output) || (base.copies() && SharesBytes<Pixel>(*source, output)) ||
      !plan.Build(s, output.width, output.height, placement.centerX, placement.centerY)) {
    for (std::int32_t r = 0; r < output.height; ++r)
      base.Lay(PixelRow<Pixel>(output, r), r, 0, output.width, false);
    if (s.opacity > 0.0) StampLineByLine<Pixel>(output, s, placement.centerX, placement.centerY);
    return kErrNone;
  }

  // Bands of rows small enough to stay in the cache between their base and
  // their lines.
  const std::size_t fit = kBandBytes / (std::size_t(output.width) * sizeof(Pixel));
  const auto bandRows = std::int32_t(std::clamp<std::size_t>(fit, 1, plan.kMaxBandRows));
  // Rows that no horizontal line touches are written once per byte: the
  // columns no vertical line touches straight from the source (or as zeros),
  // the others from a small buffer in which the vertical lines are blended.
  // In "Grid Only" all such rows are alike: they are written from the first.
  // Frames larger than the cache are written so with streaming stores.
  // Many short pieces of a row write no faster than whole rows blended in
  // the cache: only rows with long stretches between the lines go so.
  const std::size_t rowBytes = std::size_t(output.width) * sizeof(Pixel);
  // ("Grid Only" rows need no buffer for the touched columns.)
  const bool streaming = rowBytes * std::size_t(output.height) >= kStreamingBytes &&
                         rowBytes / std::size_t(plan.SpanCount() + 1) >= kMinStretchBytes;
  const bool writesRows =
      streaming && (s.blendMode == kBlendGridOnly ||
                    std::size_t(plan.WidestSpan()) * sizeof(Pixel) * std::size_t(bandRows) <=
                        sizeof(spanBuffer));
  const Pixel* plainRow = nullptr;
  for (std::int32_t firstRow = 0; firstRow < output.height; firstRow += bandRows) {
    const std::int32_t endRow = std::min(firstRow + bandRows, output.height);
    if (!writesRows || plan.RowsTouched(firstRow, endRow)) {
      for (std::int32_t r = firstRow; r < endRow; ++r)
        base.Lay(PixelRow<Pixel>(output, r), r, 0, output.width, false);
      plan.Draw(Band<Pixel>{PixelRow<Pixel>(output, firstRow), output.rowbytes, firstRow, endRow});
      continue;
    }
    std::int32_t r = firstRow;
    if (s.blendMode == kBlendGridOnly && plainRow == nullptr) {
      base.Lay(PixelRow<Pixel>(output, r), r, 0, output.width, false);
      plan.Draw(Band<Pixel>{PixelRow<Pixel>(output, r), output.rowbytes, r, r + 1});
      plainRow = PixelRow<Pixel>(output, r++);
    }
    plan.ForEachSpan(
        [&](std::int32_t k, std::int32_t first, std::int32_t end) {
          const auto bytes = std::size_t(end - first) * sizeof(Pixel);
          const Band<Pixel> band{spanBuffer, std::int64_t(bytes), r, endRow, first};
          if (plainRow == nullptr) {
            for (std::int32_t row = r; row < endRow; ++row)
              base.Lay(band.Row(row), row, first, end, false);
            plan.DrawSpan(band, k);
          }
          for (std::int32_t row = r; row < endRow; ++row)
            std::memcpy(PixelRow<Pixel>(output, row) + first,
                        plainRow != nullptr ? plainRow + first : band.Row(row), bytes);
        },
        [](std::int32_t, std::int32_t) {});
    for (; r < endRow; ++r) {
      plan.ForEachSpan([](std::int32_t, std::int32_t, std::int32_t) {},
                       [&](std::int32_t first, std::int32_t end) {
                         base.Lay(PixelRow<Pixel>(output, r) + first, r, first, end, streaming);
                       });
    }
  }
  FinishWrites(streaming);
  return kErrNone;
}

// Renders run on the caller's stack (the host's render threads); keep the plan
// well inside it.
static_assert(sizeof(LinePlan<Pixel8, SpanBlend<Pixel8>>) + kSpanBufferBytes < 80 * 1024);
static_assert(sizeof(LinePlan<PixelFloat, SpanBlend<PixelFloat>>) + kSpanBufferBytes < 64 * 1024);

}  // namespace

LayerPlacement CenteredPlacement(const PixelBuffer& output) {
  return LayerPlacement{output.width * 0.5, output.height * 0.5, 0, 0};
}

ErrorCode RenderGrid8(const PixelBuffer* source, const PixelBuffer& output,
                      const GridSettings& settings, const LayerPlacement& placement) {
  return RenderGrid<Pixel8, SpanBlend<Pixel8>>(source, output, settings, placement);
}

ErrorCode RenderGrid16(const PixelBuffer* source, const PixelBuffer& output,
                       const GridSettings& settings, const LayerPlacement& placement) {
  return RenderGrid<Pixel16, SpanBlend<Pixel16>>(source, output, settings, placement);
}

ErrorCode RenderGridFloat(const PixelBuffer* source, const PixelBuffer& output,
                          const GridSettings& settings, const LayerPlacement& placement) {
  return RenderGridFloat(source, output, settings, placement, WidestFloatVectors());
}

ErrorCode RenderGridFloat(const PixelBuffer* source, const PixelBuffer& output,
                          const GridSettings& settings, const LayerPlacement& placement,
                          FloatVectors vectors) {
#if TESSALINE_AVX512
  if (vectors == FloatVectors::kAvx512 && WidestFloatVectors() == FloatVectors::kAvx512)
    return RenderGrid<PixelFloat, SpanBlendAvx512>(source, output, settings, placement);
#endif
  (void)vectors;
  return RenderGrid<PixelFloat, SpanBlend<PixelFloat>>(source, output, settings, placement);
}

}  // namespace tessaline
