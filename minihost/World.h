#pragma once
// A host world (PF_EffectWorld) owned by the in-process host: pixels of one of
// the three depths, any width, height and stride, and guard zones that show
// any write outside the pixels.
//
// A world may be a window into a larger image, as the host hands out views
// into bigger buffers: margins of foreign pixels on any side of the window's
// width x height pixels. The allocation's rows are then margin rows, the
// window's rows and margin rows again, each one left margin, window pixels,
// right margin and padding; `data` points at the window's pixel (0, 0) and
// `rowbytes` is the allocation's stride.
//
// Memory, lowest address first: kGuardBytes of guard, the rows, kGuardBytes of
// guard. Row r starts at data + r * rowbytes; with a negative rowbytes row 0
// is the last row in memory and data points at it. The bytes of each row past
// its pixels (the padding) and the foreign pixels hold patterns of their row
// and byte, the same in every world: a row copied into another row, or past a
// row's pixels, shows in them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/HostSdk.h"

namespace tessaline {

// Bits per channel, as the host's pre-render records give them.
enum class PixelDepth : std::int32_t { k8 = 8, k16 = 16, kFloat = 32 };

// Bytes per pixel: 4 (PF_Pixel), 8 (PF_Pixel16), 16 (PF_PixelFloat).
std::int32_t PixelSize(PixelDepth depth);
// PF_PixelFormat_ARGB32, _ARGB64 or _ARGB128.
PF_PixelFormat PixelFormatOf(PixelDepth depth);
// Bytes per pixel of a format: 16 for _ARGB128, 8 for _ARGB64, else 4.
std::int32_t PixelSize(PF_PixelFormat format);

// What a guard check found: changed bytes per zone, and where the first was.
struct GuardReport {
  std::int64_t before = 0;             // guard below the lowest row in memory
  std::int64_t after = 0;              // guard above the highest row in memory
  std::int64_t padding = 0;            // row bytes past the allocation's pixels
  std::int64_t foreign = 0;            // bytes of the margins around a window
  std::int64_t firstBefore = -1;       // offset in the zone of the first changed byte
  std::int64_t firstAfter = -1;        // offset in the zone of the first changed byte
  std::int32_t firstPaddingRow = -1;   // row index of the first changed padding byte
  std::int64_t firstPaddingByte = -1;  // its offset from the start of that row
  std::int32_t firstForeignRow = -1;   // window row of the first changed foreign byte
  std::int64_t firstForeignByte = -1;  // its offset from the window's pixel 0 in that row

  // Nothing outside the world's pixels changed (the padding left out when
  // asked, for a check that judges it on its own).
  bool Intact(bool checkPadding = true) const {
    return before == 0 && after == 0 && foreign == 0 && (!checkPadding || padding == 0);
  }
  void Add(const GuardReport& other);
  std::string Describe() const;
};

// Foreign pixels around a window, in pixels on each side (negative counts as 0).
struct WorldMargins {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const WorldMargins&, const WorldMargins&) = default;
};

class World {
 public:
  static constexpr std::int64_t kGuardBytes = 256;

  // rowbytes 0 packs the allocation's rows; a negative rowbytes stores row 0
  // last in memory. A stride shorter than an allocation row's pixels, or not
  // a multiple of the channel size, is widened to the next valid one, keeping
  // its sign. Negative sizes count as 0. Pixels start as zero.
  World(PixelDepth depth, std::int32_t width, std::int32_t height, std::int32_t rowbytes = 0,
        WorldMargins margins = {});
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  // The record handed to the effect. A test may change its fields (its data,
  // its world_flags); the world's own accessors and checks keep using the
  // allocation's true geometry.
  PF_EffectWorld* def() { return &def_; }
  const PF_EffectWorld* def() const { return &def_; }

  PixelDepth depth() const { return depth_; }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  std::int32_t rowbytes() const { return rowbytes_; }
  std::int32_t pixelSize() const { return PixelSize(depth_); }
  const WorldMargins& margins() const { return margins_; }

  // Where the world's pixel (0, 0) lies in layer coordinates, as smart-render
  // check-outs report it in origin_x / origin_y; 0, 0 unless set.
  void SetOrigin(std::int32_t x, std::int32_t y);

  // The format that PF_GetPixelFormat reports for this world: the depth's own
  // unless set to any other value.
  PF_PixelFormat pixelFormat() const { return format_; }
  void setPixelFormat(PF_PixelFormat format) { format_ = format; }

  // True when `p` is this world's data pointer, as in a copy of its record.
  bool OwnsData(const void* p) const { return p != nullptr && p == row0_; }
  // True when `p` lies in this world's allocation, as the data of a view into it.
  bool Holds(const void* p) const;

  std::byte* RowAddress(std::int32_t row) { return row0_ + std::int64_t{row} * rowbytes_; }
  const std::byte* RowAddress(std::int32_t row) const {
    return row0_ + std::int64_t{row} * rowbytes_;
  }

  // Pixel access; Pixel is PF_Pixel, PF_Pixel16 or PF_PixelFloat and must
  // match the depth. A wrong type or position stops the program.
  template <typename Pixel>
  Pixel& At(std::int32_t row, std::int32_t col) {
    CheckAccess(sizeof(Pixel), row, col);
    return reinterpret_cast<Pixel*>(RowAddress(row))[col];
  }
  template <typename Pixel>
  const Pixel& At(std::int32_t row, std::int32_t col) const {
    CheckAccess(sizeof(Pixel), row, col);
    return reinterpret_cast<const Pixel*>(RowAddress(row))[col];
  }
  template <typename Pixel>
  void Fill(const Pixel& pixel) {
    for (std::int32_t r = 0; r < height_; ++r)
      for (std::int32_t c = 0; c < width_; ++c) At<Pixel>(r, c) = pixel;
  }
  // Sets every pixel byte to zero; foreign pixels, padding and guards are kept.
  void Clear();

  // The pixels only: rows top to bottom, width * pixel size bytes each.
  std::vector<std::uint8_t> PackedPixels() const;
  // The same into `packed`, reusing its memory.
  void PackPixels(std::vector<std::uint8_t>& packed) const;

  GuardReport CheckGuards() const;
  // Writes the guard, foreign and padding patterns again, after a check has been read.
  void RearmGuards();

 private:
  void CheckAccess(std::size_t askedSize, std::int32_t row, std::int32_t col) const;
  // The start of the allocation's row `index`, 0 the top margin's first, in
  // row order (bottom-up worlds keep it highest).
  std::byte* AllocationRow(std::int64_t index) const;
  // Visits every foreign and padding byte: f(window row, offset from the
  // window's pixel 0, is padding, offset from its allocation row's start, address).
  template <typename F>
  void ForEachOutsideByte(F&& f) const;
  // Every byte outside the pixels is as the last arming left it: compared
  // with the copy taken then, so that an intact world is checked at memcmp's
  // speed and only a changed one byte by byte.
  bool OutsideAsArmed() const;

  PixelDepth depth_;
  PF_PixelFormat format_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t rowbytes_ = 0;
  WorldMargins margins_;
  std::int64_t stride_ = 0;  // |rowbytes_|
  std::int64_t size_ = 0;    // whole allocation, guards included
  std::unique_ptr<std::byte[]> bytes_;
  std::unique_ptr<std::byte[]> armed_;  // bytes_ as the last arming left them
  std::byte* row0_ = nullptr;
  PF_EffectWorld def_{};
};

}  // namespace tessaline
