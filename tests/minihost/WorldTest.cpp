#include "minihost/World.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace tessaline {
namespace {

struct Geometry {
  std::int32_t paddingBytes;  // past the row's pixels
  bool bottomUp;              // negative rowbytes
};

constexpr PixelDepth kDepths[] = {PixelDepth::k8, PixelDepth::k16, PixelDepth::kFloat};
constexpr Geometry kGeometries[] = {{0, false}, {48, false}, {0, true}, {48, true}};

constexpr std::int32_t kWidth = 5;
constexpr std::int32_t kHeight = 4;

std::int32_t RowbytesFor(PixelDepth depth, const Geometry& g) {
  const std::int32_t stride = kWidth * PixelSize(depth) + g.paddingBytes;
  return g.bottomUp ? -stride : stride;
}

// The byte value written at pixel byte b of row r.
std::uint8_t PixelByte(std::int32_t r, std::int64_t b) {
  return std::uint8_t(1 + r * 37 + b);
}

// Calls f(world, depth, geometry) for a world of every depth and geometry.
template <typename F>
void ForEachWorld(F&& f) {
  for (const PixelDepth depth : kDepths) {
    for (const Geometry& g : kGeometries) {
      SCOPED_TRACE(::testing::Message() << "depth " << int(depth) << " padding " << g.paddingBytes
                                        << (g.bottomUp ? " bottom-up" : ""));
      World world(depth, kWidth, kHeight, RowbytesFor(depth, g));
      f(world, depth, g);
    }
  }
}

TEST(World, RowsLieWhereTheStrideSaysAtEveryDepthAndStride) {
  ForEachWorld([](World& world, PixelDepth depth, const Geometry& g) {
    const PF_EffectWorld& def = *world.def();
    EXPECT_EQ(def.rowbytes, RowbytesFor(depth, g));
    EXPECT_EQ(def.width, kWidth);
    EXPECT_EQ(def.height, kHeight);
    EXPECT_EQ((def.world_flags & PF_WorldFlag_DEEP) != 0, depth == PixelDepth::k16);
    EXPECT_EQ(world.pixelFormat(), PixelFormatOf(depth));
    EXPECT_EQ(static_cast<void*>(def.data), world.RowAddress(0));

    // Rows step by rowbytes from data; bottom-up worlds keep row 0 highest.
    auto* data = reinterpret_cast<std::byte*>(def.data);
    for (std::int32_t r = 0; r < kHeight; ++r) {
      EXPECT_EQ(world.RowAddress(r), data + std::int64_t{r} * def.rowbytes);
    }
    EXPECT_EQ(world.RowAddress(kHeight - 1) < world.RowAddress(0), g.bottomUp);

    // Writing every pixel byte through the record touches no guard.
    const std::int64_t rowPixels = std::int64_t{kWidth} * PixelSize(depth);
    std::vector<std::uint8_t> expected;
    for (std::int32_t r = 0; r < kHeight; ++r) {
      auto* row = reinterpret_cast<std::uint8_t*>(data + std::int64_t{r} * def.rowbytes);
      for (std::int64_t b = 0; b < rowPixels; ++b) {
        row[b] = PixelByte(r, b);
        expected.push_back(PixelByte(r, b));
      }
    }
    EXPECT_TRUE(world.CheckGuards().Intact()) << world.CheckGuards().Describe();
    EXPECT_EQ(world.PackedPixels(), expected);
  });
}

TEST(World, GuardCheckReportsEachZoneApart) {
  ForEachWorld([](World& world, PixelDepth depth, const Geometry& g) {
    const std::int64_t stride = std::abs(world.rowbytes());
    std::byte* lowest = world.RowAddress(g.bottomUp ? kHeight - 1 : 0);
    std::byte* highest = world.RowAddress(g.bottomUp ? 0 : kHeight - 1);

    lowest[-1] ^= std::byte{0xFF};
    GuardReport r = world.CheckGuards();
    EXPECT_EQ(r.before, 1);
    EXPECT_EQ(r.firstBefore, World::kGuardBytes - 1);
    world.RearmGuards();

    highest[stride] ^= std::byte{0xFF};
    r = world.CheckGuards();
    EXPECT_EQ(r.after, 1);
    EXPECT_EQ(r.firstAfter, 0);
    world.RearmGuards();

    if (g.paddingBytes > 0) {
      world.RowAddress(2)[kWidth * PixelSize(depth)] ^= std::byte{0xFF};
      r = world.CheckGuards();
      EXPECT_EQ(r.padding, 1);
      EXPECT_EQ(r.firstPaddingRow, 2);
      EXPECT_EQ(r.firstPaddingByte, kWidth * PixelSize(depth));
      world.RearmGuards();
    }
    EXPECT_TRUE(world.CheckGuards().Intact());
  });
}

TEST(World, RowsCopiedPastTheirPixelsOrToAnotherRowShowInThePadding) {
  World source(PixelDepth::k8, 4, 3, 32);
  World same(PixelDepth::k8, 4, 3, -32);
  World narrower(PixelDepth::k8, 2, 3, 32);  // its padding starts where the source's pixels go on
  for (std::int32_t r = 0; r < 3; ++r) {
    std::memcpy(same.RowAddress(r), source.RowAddress(r), 32);
    std::memcpy(narrower.RowAddress(r), source.RowAddress(r), 32);
  }
  EXPECT_TRUE(same.CheckGuards().Intact());  // the same row, whole: as it was
  GuardReport r = narrower.CheckGuards();
  EXPECT_EQ(r.before + r.after + r.foreign, 0);
  EXPECT_EQ(r.padding, 3 * 2 * 4);  // the source's pixels 2 and 3 of every row
  std::memcpy(same.RowAddress(1), source.RowAddress(0), 32);  // one row down
  r = same.CheckGuards();
  EXPECT_GT(r.padding, 16 / 2);
  EXPECT_EQ(r.firstPaddingRow, 1);
}

TEST(World, AWindowKeepsEveryByteAroundItsPixelsGuarded) {
  constexpr WorldMargins kMargins{2, 1, 3, 2};
  struct Poke {
    std::int32_t row, col;  // window pixel; outside the window for foreign ones
    std::int32_t byteOffset;
    bool padding;
  };
  const Poke pokes[] = {{0, -1, 0, false},
                        {0, -2, 3, false},
                        {kHeight - 1, kWidth, 0, false},
                        {-1, 0, 0, false},
                        {kHeight + 1, 4, 1, false},
                        {-1, -2, 0, false},
                        {kHeight + 1, kWidth + 2, 2, false},
                        {2, kWidth + 3, 0, true}};
  for (const PixelDepth depth : kDepths) {
    for (const bool bottomUp : {false, true}) {
      SCOPED_TRACE(::testing::Message()
                   << "depth " << int(depth) << (bottomUp ? " bottom-up" : ""));
      const std::int32_t pixel = PixelSize(depth);
      const std::int32_t stride = (kMargins.left + kWidth + kMargins.right) * pixel + 16;
      World world(depth, kWidth, kHeight, bottomUp ? -stride : stride, kMargins);
      EXPECT_EQ(world.def()->width, kWidth);
      EXPECT_EQ(world.rowbytes(), bottomUp ? -stride : stride);
      EXPECT_EQ(static_cast<void*>(world.def()->data), world.RowAddress(0));
      // Every pixel of the window is the world's own.
      for (std::int32_t r = 0; r < kHeight; ++r)
        std::memset(world.RowAddress(r), 0xEE, std::size_t(kWidth * pixel));
      EXPECT_TRUE(world.CheckGuards().Intact()) << world.CheckGuards().Describe();
      world.Clear();
      EXPECT_TRUE(world.CheckGuards().Intact());
      EXPECT_EQ(world.PackedPixels(), std::vector<std::uint8_t>(kWidth * kHeight * pixel, 0));
      for (const Poke& p : pokes) {
        world.RowAddress(p.row)[std::int64_t{p.col} * pixel + p.byteOffset] ^= std::byte{0x5A};
        const GuardReport r = world.CheckGuards();
        EXPECT_EQ(r.foreign, p.padding ? 0 : 1) << p.row << "," << p.col;
        EXPECT_EQ(r.padding, p.padding ? 1 : 0) << p.row << "," << p.col;
        EXPECT_EQ(r.before + r.after, 0);
        if (!p.padding) {
          EXPECT_EQ(r.firstForeignRow, p.row);
          EXPECT_EQ(r.firstForeignByte, std::int64_t{p.col} * pixel + p.byteOffset);
        }
        world.RearmGuards();
      }
    }
  }
}

TEST(World, InvalidStridesAreWidenedAndEmptyWorldsHaveGuardsOnly) {
  EXPECT_EQ(World(PixelDepth::k16, 10, 2, 7).rowbytes(), 80);       // shorter than a row
  EXPECT_EQ(World(PixelDepth::kFloat, 3, 2, -50).rowbytes(), -52);  // not whole channels
  EXPECT_EQ(World(PixelDepth::k8, 3, 2, 13).rowbytes(), 13);        // bytes are whole channels
  World empty(PixelDepth::kFloat, 0, -3);
  EXPECT_EQ(empty.width(), 0);
  EXPECT_EQ(empty.height(), 0);
  EXPECT_TRUE(empty.PackedPixels().empty());
  EXPECT_TRUE(empty.CheckGuards().Intact());
  // Windows without pixels in images with margins only, either way up.
  for (const std::int32_t rowbytes : {64, -64}) {
    for (const WorldMargins& m : {WorldMargins{1, 2, 1, 0}, WorldMargins{0, 0, 3, 2}}) {
      World window(PixelDepth::k8, 3, 0, rowbytes, m);
      EXPECT_TRUE(window.CheckGuards().Intact()) << window.CheckGuards().Describe();
      EXPECT_TRUE(window.Holds(window.def()->data));
    }
  }
}

}  // namespace
}  // namespace tessaline
