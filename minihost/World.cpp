#include "minihost/World.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tessaline {
namespace {

// Guard byte k of the zone below (0) or above (1) the rows.
std::uint8_t GuardByte(int zone, std::int64_t k) {
  return std::uint8_t(0xC3u ^ std::uint64_t(k) * 0x9Du ^ (zone != 0 ? 0x5Au : 0u));
}

// Byte `offset` of row `row` outside a world's pixels (a padding byte counted
// from its row's start, a foreign one from the window's pixel 0).
// The same in every world, so that a copy of a world's rows (pixels and
// padding) compares equal to the world.
std::uint8_t OutsideByte(bool padding, std::int32_t row, std::int64_t offset) {
  std::uint32_t h = (std::uint32_t(row) * 2654435761u) ^ (std::uint32_t(offset) * 40503u) ^
                    (padding ? 0x6Bu : 0x96u);
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return std::uint8_t(h ^ h >> 13);
}

std::int32_t ChannelSize(PixelDepth depth) {
  return PixelSize(depth) / 4;
}

}  // namespace

std::int32_t PixelSize(PF_PixelFormat format) {
  return format == PF_PixelFormat_ARGB128 ? 16 : format == PF_PixelFormat_ARGB64 ? 8 : 4;
}

std::int32_t PixelSize(PixelDepth depth) {
  switch (depth) {
    case PixelDepth::k16:
      return std::int32_t(sizeof(PF_Pixel16));
    case PixelDepth::kFloat:
      return std::int32_t(sizeof(PF_PixelFloat));
    default:
      return std::int32_t(sizeof(PF_Pixel));
  }
}

PF_PixelFormat PixelFormatOf(PixelDepth depth) {
  switch (depth) {
    case PixelDepth::k16:
      return PF_PixelFormat_ARGB64;
    case PixelDepth::kFloat:
      return PF_PixelFormat_ARGB128;
    default:
      return PF_PixelFormat_ARGB32;
  }
}

void GuardReport::Add(const GuardReport& other) {
  if (firstBefore < 0) firstBefore = other.firstBefore;
  if (firstAfter < 0) firstAfter = other.firstAfter;
  if (firstPaddingRow < 0) {
    firstPaddingRow = other.firstPaddingRow;
    firstPaddingByte = other.firstPaddingByte;
  }
  if (firstForeignRow < 0) {
    firstForeignRow = other.firstForeignRow;
    firstForeignByte = other.firstForeignByte;
  }
  before += other.before;
  after += other.after;
  padding += other.padding;
  foreign += other.foreign;
}

std::string GuardReport::Describe() const {
  char text[384];
  std::snprintf(text, sizeof text,
                "guard below rows: %lld changed (first at %lld); guard above rows: %lld changed "
                "(first at %lld); row padding: %lld changed (first in row %d at byte %lld); "
                "foreign pixels: %lld changed (first in row %d at byte %lld)",
                static_cast<long long>(before), static_cast<long long>(firstBefore),
                static_cast<long long>(after), static_cast<long long>(firstAfter),
                static_cast<long long>(padding), int(firstPaddingRow),
                static_cast<long long>(firstPaddingByte), static_cast<long long>(foreign),
                int(firstForeignRow), static_cast<long long>(firstForeignByte));
  return text;
}

World::World(PixelDepth depth, std::int32_t width, std::int32_t height, std::int32_t rowbytes,
             WorldMargins margins)
    : depth_(depth),
      format_(PixelFormatOf(depth)),
      width_(width > 0 ? width : 0),
      height_(height > 0 ? height : 0),
      margins_{margins.left > 0 ? margins.left : 0, margins.top > 0 ? margins.top : 0,
               margins.right > 0 ? margins.right : 0, margins.bottom > 0 ? margins.bottom : 0} {
  const std::int64_t pixel = pixelSize();
  const std::int64_t rowPixels = (std::int64_t{margins_.left} + width_ + margins_.right) * pixel;
  const std::int64_t rows = std::int64_t{margins_.top} + height_ + margins_.bottom;
  const std::int64_t channel = ChannelSize(depth);
  std::int64_t stride = rowbytes == 0 ? rowPixels : std::llabs(std::int64_t{rowbytes});
  if (stride < rowPixels) stride = rowPixels;
  stride = (stride + channel - 1) / channel * channel;
  stride_ = stride;
  rowbytes_ = std::int32_t(rowbytes < 0 ? -stride : stride);
  size_ = 2 * kGuardBytes + stride_ * rows;
  bytes_.reset(new std::byte[std::size_t(size_)]());
  armed_.reset(new std::byte[std::size_t(size_)]);
  std::byte* lowest = bytes_.get() + kGuardBytes;
  // Allocation row `top` holds window row 0; a window without rows points at
  // the lowest row.
  row0_ = height_ > 0 ? AllocationRow(margins_.top) + margins_.left * pixel : lowest;
  RearmGuards();

  def_.world_flags = PF_WorldFlag_WRITEABLE;
  if (depth == PixelDepth::k16) def_.world_flags |= PF_WorldFlag_DEEP;
  def_.data = reinterpret_cast<decltype(def_.data)>(row0_);
  def_.rowbytes = rowbytes_;
  def_.width = width_;
  def_.height = height_;
  def_.extent_hint = PF_LRect{0, 0, width_, height_};
  def_.pix_aspect_ratio = PF_RationalScale{1, 1};
}

void World::SetOrigin(std::int32_t x, std::int32_t y) {
  // Renders on several threads place one world at one origin: only a change
  // is written, so that they do not race on it.
  if (def_.origin_x != x) def_.origin_x = x;
  if (def_.origin_y != y) def_.origin_y = y;
}

std::byte* World::AllocationRow(std::int64_t index) const {
  const std::int64_t rows = std::int64_t{margins_.top} + height_ + margins_.bottom;
  return bytes_.get() + kGuardBytes + stride_ * (rowbytes_ < 0 ? rows - 1 - index : index);
}

bool World::Holds(const void* p) const {
  const auto* b = static_cast<const std::byte*>(p);
  return p != nullptr && b >= bytes_.get() && b < bytes_.get() + size_;
}

template <typename F>
void World::ForEachOutsideByte(F&& f) const {
  const std::int64_t pixel = pixelSize();
  const std::int64_t left = std::int64_t{margins_.left} * pixel;
  const std::int64_t windowBytes = std::int64_t{width_} * pixel;
  const std::int64_t rowPixels = left + windowBytes + std::int64_t{margins_.right} * pixel;
  for (std::int32_t r = -margins_.top; r < height_ + margins_.bottom; ++r) {
    const std::byte* start = AllocationRow(r + margins_.top);
    const bool windowRow = r >= 0 && r < height_;
    for (std::int64_t o = 0; o < stride_; ++o) {
      const std::int64_t w = o - left;
      if (windowRow && w >= 0 && w < windowBytes) {
        o = left + windowBytes - 1;  // skip the window's pixels
        continue;
      }
      f(r, w, o >= rowPixels, o, start + o);
    }
  }
}

void World::Clear() {
  for (std::int32_t r = 0; r < height_; ++r) {
    std::memset(RowAddress(r), 0, std::size_t(width_) * std::size_t(pixelSize()));
  }
}

std::vector<std::uint8_t> World::PackedPixels() const {
  std::vector<std::uint8_t> packed;
  PackPixels(packed);
  return packed;
}

void World::PackPixels(std::vector<std::uint8_t>& packed) const {
  const std::size_t rowPixels = std::size_t(width_) * std::size_t(pixelSize());
  packed.resize(rowPixels * std::size_t(height_));
  for (std::int32_t r = 0; r < height_ && rowPixels > 0; ++r) {
    std::memcpy(packed.data() + rowPixels * std::size_t(r), RowAddress(r), rowPixels);
  }
}

bool World::OutsideAsArmed() const {
  const auto same = [&](std::int64_t from, std::int64_t to) {
    return to <= from ||
           std::memcmp(bytes_.get() + from, armed_.get() + from, std::size_t(to - from)) == 0;
  };
  if (!same(0, kGuardBytes) || !same(size_ - kGuardBytes, size_)) return false;
  const std::int64_t pixel = pixelSize();
  const std::int64_t left = std::int64_t{margins_.left} * pixel;
  const std::int64_t windowEnd = left + std::int64_t{width_} * pixel;
  for (std::int32_t r = -margins_.top; r < height_ + margins_.bottom; ++r) {
    const std::int64_t start = AllocationRow(r + margins_.top) - bytes_.get();
    const bool windowRow = r >= 0 && r < height_;
    if (!(windowRow ? same(start, start + left) && same(start + windowEnd, start + stride_)
                    : same(start, start + stride_)))
      return false;
  }
  return true;
}

GuardReport World::CheckGuards() const {
  GuardReport report;
  if (OutsideAsArmed()) return report;
  const auto* base = reinterpret_cast<const std::uint8_t*>(bytes_.get());
  const std::int64_t afterStart = size_ - kGuardBytes;
  for (std::int64_t k = 0; k < kGuardBytes; ++k) {
    if (base[k] != GuardByte(0, k)) {
      if (report.before++ == 0) report.firstBefore = k;
    }
    if (base[afterStart + k] != GuardByte(1, k)) {
      if (report.after++ == 0) report.firstAfter = k;
    }
  }
  ForEachOutsideByte(
      [&](std::int32_t r, std::int64_t w, bool padding, std::int64_t o, const std::byte* at) {
        if (std::uint8_t(*at) == OutsideByte(padding, r, padding ? o : w)) return;
        if (padding) {
          if (report.padding++ == 0) {
            report.firstPaddingRow = r;
            report.firstPaddingByte = w;
          }
        } else if (report.foreign++ == 0) {
          report.firstForeignRow = r;
          report.firstForeignByte = w;
        }
      });
  return report;
}

void World::RearmGuards() {
  auto* base = reinterpret_cast<std::uint8_t*>(bytes_.get());
  const std::int64_t afterStart = size_ - kGuardBytes;
  for (std::int64_t k = 0; k < kGuardBytes; ++k) {
    base[k] = GuardByte(0, k);
    base[afterStart + k] = GuardByte(1, k);
  }
  ForEachOutsideByte(
      [&](std::int32_t r, std::int64_t w, bool padding, std::int64_t o, const std::byte* at) {
        *const_cast<std::byte*>(at) = std::byte(OutsideByte(padding, r, padding ? o : w));
      });
  std::memcpy(armed_.get(), bytes_.get(), std::size_t(size_));
}

void World::CheckAccess(std::size_t askedSize, std::int32_t row, std::int32_t col) const {
  if (askedSize == std::size_t(pixelSize()) && row >= 0 && row < height_ && col >= 0 &&
      col < width_) {
    return;
  }
  std::fprintf(stderr, "World::At: %zu-byte pixel (%d, %d) in a %d x %d world of %d-byte pixels\n",
               askedSize, int(row), int(col), int(width_), int(height_), int(pixelSize()));
  std::abort();
}

}  // namespace tessaline
