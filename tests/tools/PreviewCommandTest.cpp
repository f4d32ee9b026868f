#include "tools/PreviewCommand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>

#include <sys/wait.h>

#include "tests/tools/PreviewTestSupport.h"
#include "tools/ImageCodecs.h"
#include "tools/PngCodec.h"
#include "tools/SourceImages.h"

namespace tessaline {
namespace {

using test::ReadAll;
using test::RunTool;
using test::TempDir;

// One pixel of a .raw frame, channels as doubles in their stored units.
struct RawPixel {
  double alpha, red, green, blue;
  bool operator==(const RawPixel&) const = default;
};

std::ostream& operator<<(std::ostream& os, const RawPixel& p) {
  return os << "(" << p.alpha << ", " << p.red << ", " << p.green << ", " << p.blue << ")";
}

RawPixel RawAt(const std::vector<std::uint8_t>& raw, PixelDepth depth, std::int32_t width,
               std::int32_t row, std::int32_t col) {
  const std::size_t size = std::size_t(PixelSize(depth));
  const std::uint8_t* p = raw.data() + (std::size_t(row) * std::size_t(width) + col) * size;
  double v[4];
  for (int ch = 0; ch < 4; ++ch) {
    switch (depth) {
      case PixelDepth::k8:
        v[ch] = p[ch];
        break;
      case PixelDepth::k16:
        v[ch] = double(p[2 * ch] | p[2 * ch + 1] << 8);
        break;
      default: {
        const std::uint32_t word = std::uint32_t(p[4 * ch]) | std::uint32_t(p[4 * ch + 1]) << 8 |
                                   std::uint32_t(p[4 * ch + 2]) << 16 |
                                   std::uint32_t(p[4 * ch + 3]) << 24;
        float f;
        std::memcpy(&f, &word, sizeof f);
        v[ch] = f;
      }
    }
  }
  return RawPixel{v[0], v[1], v[2], v[3]};
}

// A line color laid with full coverage over any pixel, at each depth.
RawPixel Solid(PixelDepth depth, double r, double g, double b) {
  switch (depth) {
    case PixelDepth::k8:
      return {255, std::round(r * 255.0), std::round(g * 255.0), std::round(b * 255.0)};
    case PixelDepth::k16:
      return {32768, std::round(r * 32768.0), std::round(g * 32768.0), std::round(b * 32768.0)};
    default:
      return {1.0, double(float(r)), double(float(g)), double(float(b))};
  }
}

// The "neutral gray" source pixel.
RawPixel Gray(PixelDepth depth) {
  switch (depth) {
    case PixelDepth::k8:
      return {255, 128, 128, 128};
    case PixelDepth::k16:
      return {32768, 16384, 16384, 16384};
    default:
      return {1.0, 0.5, 0.5, 0.5};
  }
}

constexpr PixelDepth kDepths[] = {PixelDepth::k8, PixelDepth::k16, PixelDepth::kFloat};

std::string DepthArg(PixelDepth depth) {
  return std::to_string(int(depth));
}

// "Thirds" over gray at 1920 x 1080, width 3 lines: the center cross at 960
// and 540 covers 959, 960 (and 539, 540) fully, the outer lines at 640,
// 1280 and 360, 720 likewise; color 1 is 255, 220, 64.
TEST(PreviewCommand, RawOutputHasTheGridAtKnownPixelsInEveryDepth) {
  TempDir dir;
  for (PixelDepth depth : kDepths) {
    for (const char* render : {"smart", "legacy"}) {
      SCOPED_TRACE(DepthArg(depth) + " " + render);
      const std::string out = dir / "thirds.raw";
      const auto r = RunTool(
          {"--preset", "Thirds", "--depth", DepthArg(depth), "--render", render, "-o", out});
      ASSERT_EQ(r.code, 0) << r.err;
      const std::vector<std::uint8_t> raw = ReadAll(out);
      ASSERT_EQ(raw.size(), std::size_t(1920) * 1080 * PixelSize(depth));
      const RawPixel white = Solid(depth, 1.0, 1.0, 1.0);
      const RawPixel color1 = Solid(depth, 255 / 255.0, 220 / 255.0, 64 / 255.0);
      const auto at = [&](std::int32_t row, std::int32_t col) {
        return RawAt(raw, depth, 1920, row, col);
      };
      EXPECT_EQ(at(100, 100), Gray(depth));
      EXPECT_EQ(at(100, 957), Gray(depth));
      EXPECT_EQ(at(100, 959), white);  // vertical center line
      EXPECT_EQ(at(100, 960), white);
      EXPECT_EQ(at(1000, 100), Gray(depth));
      EXPECT_EQ(at(539, 100), white);  // horizontal center line
      EXPECT_EQ(at(540, 1919), white);
      EXPECT_EQ(at(100, 639), color1);  // vertical "Thirds" lines
      EXPECT_EQ(at(1079, 1280), color1);
      EXPECT_EQ(at(359, 0), color1);  // horizontal "Thirds" lines, drawn last
      EXPECT_EQ(at(720, 959), color1);
      EXPECT_EQ(at(539, 959), white);  // the center crossing
      EXPECT_EQ(at(100, 636), Gray(depth));
      // Half coverage at 641: the gray moved halfway toward color 1.
      const RawPixel half = at(100, 641);
      const RawPixel gray = Gray(depth);
      EXPECT_GT(half.green, gray.green);
      EXPECT_LT(half.green, color1.green);
      EXPECT_LT(half.blue, gray.blue);
    }
  }
}

TEST(PreviewCommand, DownsampleRendersADraftWithTheLinesInPlace) {
  TempDir dir;
  const std::string out = dir / "draft.raw";
  // Alpha over a transparent layer shows exactly where lines are.
  const auto columnsWithLines = [&](std::int32_t width, std::int32_t row) {
    const std::vector<std::uint8_t> raw = ReadAll(out);
    std::set<std::int32_t> cols;
    for (std::int32_t c = 0; c < width; ++c) {
      if (RawAt(raw, PixelDepth::k8, width, row, c).alpha > 0) cols.insert(c);
    }
    return cols;
  };
  auto r =
      RunTool({"--preset", "Thirds", "--source", "transparent", "--downsample", "2", "-o", out});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadAll(out).size(), std::size_t(960) * 540 * 4);
  // Lines at 320 (1/3), 480 (center) and 640 (2/3), each 1.5 pixels wide.
  EXPECT_EQ(columnsWithLines(960, 100), (std::set<std::int32_t>{319, 320, 479, 480, 639, 640}));

  // Only the horizontal factor: the rows keep their full-resolution places.
  r = RunTool({"--preset", "Thirds", "--source", "transparent", "--downsample", "2x1", "-o", out});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<std::uint8_t> raw = ReadAll(out);
  ASSERT_EQ(raw.size(), std::size_t(960) * 1080 * 4);
  std::set<std::int32_t> rows;
  for (std::int32_t row = 0; row < 1080; ++row) {
    if (RawAt(raw, PixelDepth::k8, 960, row, 100).alpha > 0) rows.insert(row);
  }
  EXPECT_EQ(rows, (std::set<std::int32_t>{359, 360, 539, 540, 719, 720}));

  // Sizes that do not divide round up.
  r = RunTool({"--size", "101x51", "--downsample", "4", "-o", out});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadAll(out).size(), std::size_t(26) * 13 * 4);
}

TEST(PreviewCommand, PngSourcesAndOutputsConvertBetweenDepths) {
  TempDir dir;
  RgbaImage image{16, 8, 8, {}};
  for (int i = 0; i < 16 * 8; ++i) {
    for (int ch = 0; ch < 3; ++ch) image.samples.push_back(std::uint16_t((i * 7 + ch * 50) % 256));
    image.samples.push_back(std::uint16_t(i % 3 == 0 ? 255 : i * 37 % 256));  // translucent too
  }
  test::WriteAll(dir / "in.png", EncodePng(image));

  // Opacity 0 leaves the copied source: the PNG's own size, each sample
  // converted on its own (straight color, whatever the alpha).
  const std::string raw = dir / "out.raw";
  auto r = RunTool({"--source", dir / "in.png", "--depth", "16", "--set", "Opacity=0", "-o", raw});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<std::uint8_t> bytes = ReadAll(raw);
  ASSERT_EQ(bytes.size(), std::size_t(16) * 8 * 8);
  for (int i = 0; i < 16 * 8; ++i) {
    const RawPixel p = RawAt(bytes, PixelDepth::k16, 16, i / 16, i % 16);
    EXPECT_EQ(p.red, std::round(image.samples[4 * i] * 32768.0 / 255.0));
    EXPECT_EQ(p.blue, std::round(image.samples[4 * i + 2] * 32768.0 / 255.0));
    EXPECT_EQ(p.alpha, std::round(image.samples[4 * i + 3] * 32768.0 / 255.0));
  }

  // An 8-bit frame written as PNG reads back as that PNG.
  const std::string png = dir / "out.png";
  r = RunTool({"--source", dir / "in.png", "--set", "Opacity=0", "-o", png});
  ASSERT_EQ(r.code, 0) << r.err;
  const RgbaImage back = DecodePng(ReadAll(png));
  EXPECT_EQ(back.bits, 8);
  EXPECT_EQ(back.samples, image.samples);

  // 16-bit and float frames become 16-bit PNGs.
  for (const char* depth : {"16", "32"}) {
    r = RunTool({"--size", "32x16", "--depth", depth, "--preset", "Quadrants", "-o", png});
    ASSERT_EQ(r.code, 0) << r.err;
    const RgbaImage deep = DecodePng(ReadAll(png));
    EXPECT_EQ(deep.bits, 16);
    EXPECT_EQ(deep.width, 32);
    EXPECT_EQ(deep.samples[3], 65535);
  }
}

TEST(PreviewCommand, RawSourcesPassThroughExactly) {
  TempDir dir;
  for (PixelDepth depth : kDepths) {
    Frame source(depth, 12, 6);
    std::mt19937 random{std::uint32_t(depth)};
    WithPixelType(depth, [&]<typename Pixel>(Pixel) {
      for (std::int32_t row = 0; row < 6; ++row) {
        for (std::int32_t col = 0; col < 12; ++col) {
          const double v = double(random() % 1000) / 999.0;
          source.Row<Pixel>(row)[col] = Pixel{
              ToChannel<Pixel>(kFullOf<Pixel>), ToChannel<Pixel>(v * kFullOf<Pixel>),
              ToChannel<Pixel>((1 - v) * kFullOf<Pixel>), ToChannel<Pixel>(v * kFullOf<Pixel>)};
        }
      }
    });
    const std::vector<std::uint8_t> bytes = EncodeRaw(source.View());
    test::WriteAll(dir / "in.raw", bytes);
    const auto r = RunTool({"--size", "12x6", "--depth", DepthArg(depth), "--source",
                            dir / "in.raw", "--set", "Opacity=0", "-o", dir / "out.raw"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadAll(dir / "out.raw"), bytes) << DepthArg(depth);
  }
}

// The file holds the region (else the whole grown input) in layer pixels of
// the rendered frame: the source where the layer has it, transparent around.
TEST(PreviewCommand, RegionAndGrowChooseWhatTheFileHolds) {
  TempDir dir;
  struct Case {
    std::vector<std::string> args;
    std::int32_t left, top, width, height;  // the file's extent in the layer
    std::int32_t factor;                    // --downsample
  };
  const Case cases[] = {
      {{"--region", "2,1,7,4"}, 2, 1, 5, 3, 1},
      {{"--region", "-2,-1,3,2", "--render", "legacy"}, -2, -1, 5, 3, 1},
      {{"--region", "10,4,15,9"}, 10, 4, 5, 5, 1},
      {{"--region", "20,0,25,3"}, 20, 0, 5, 3, 1},  // misses the layer
      {{"--grow", "3,0,0,2"}, -3, 0, 15, 8, 1},
      {{"--grow", "1,2,3,4", "--render", "legacy"}, -1, -2, 16, 12, 1},
      {{"--grow", "1,2,3,4", "--region", "-1,-2,4,4"}, -1, -2, 5, 6, 1},
      {{"--downsample", "2", "--region", "1,1,4,3", "--grow", "0,0,1,0"}, 1, 1, 3, 2, 2},
  };
  for (PixelDepth depth : kDepths) {
    std::vector<std::uint8_t> bytes(std::size_t(FrameBytes(depth, 12, 6)));
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i * 7 + 1);
    if (depth == PixelDepth::kFloat) {  // small floats: every fourth byte 0x3C
      for (std::size_t i = 3; i < bytes.size(); i += 4) bytes[i] = 0x3C;
    }
    test::WriteAll(dir / "in.raw", bytes);
    const std::size_t pixel = std::size_t(PixelSize(depth));
    for (const Case& c : cases) {
      std::vector<std::string> args = {"--size",   "12x6",         "--depth", DepthArg(depth),
                                       "--source", dir / "in.raw", "--set",   "Opacity=0",
                                       "-o",       dir / "out.raw"};
      args.insert(args.end(), c.args.begin(), c.args.end());
      SCOPED_TRACE(DepthArg(depth) + " " + c.args[0] + " " + c.args[1]);
      const auto r = RunTool(args);
      ASSERT_EQ(r.code, 0) << r.err;
      const std::vector<std::uint8_t> out = ReadAll(dir / "out.raw");
      ASSERT_EQ(out.size(), std::size_t(c.width) * std::size_t(c.height) * pixel);
      const std::int32_t layerWidth = (12 + c.factor - 1) / c.factor;
      const std::int32_t layerHeight = (6 + c.factor - 1) / c.factor;
      int wrong = 0;
      for (std::int32_t row = 0; row < c.height; ++row) {
        for (std::int32_t col = 0; col < c.width; ++col) {
          const std::int32_t x = c.left + col, y = c.top + row;
          const bool inside = x >= 0 && y >= 0 && x < layerWidth && y < layerHeight;
          const std::uint8_t* seen = out.data() + (std::size_t(row) * c.width + col) * pixel;
          const std::size_t at =
              (std::size_t(y) * c.factor * 12 + std::size_t(x) * c.factor) * pixel;
          for (std::size_t b = 0; b < pixel; ++b) wrong += seen[b] != (inside ? bytes[at + b] : 0);
        }
      }
      EXPECT_EQ(wrong, 0);
    }
  }
  // With the grid drawn, a region of the layer is that part of the whole
  // frame, and so is the layer in a grown frame: growing moves nothing.
  struct Part {
    std::vector<std::string> args;
    std::int32_t fileWidth, fileHeight;
    std::int32_t x, y;                      // where the part lies in the file
    std::int32_t left, top, width, height;  // the part of the whole frame
  };
  const Part parts[] = {{{"--region", "40,20,60,30"}, 20, 10, 0, 0, 40, 20, 20, 10},
                        {{"--grow", "7,3,2,5"}, 105, 62, 7, 3, 0, 0, 96, 54}};
  for (const char* render : {"smart", "legacy"}) {
    const std::vector<std::string> common = {"--size", "96x54",    "--render",
                                             render,   "--preset", "Quadrants"};
    std::vector<std::string> whole = common;
    whole.insert(whole.end(), {"-o", dir / "whole.raw"});
    ASSERT_EQ(RunTool(whole).code, 0);
    const std::vector<std::uint8_t> full = ReadAll(dir / "whole.raw");
    for (const Part& p : parts) {
      SCOPED_TRACE(std::string(render) + " " + p.args[0]);
      std::vector<std::string> args = common;
      args.insert(args.end(), p.args.begin(), p.args.end());
      args.insert(args.end(), {"-o", dir / "part.raw"});
      ASSERT_EQ(RunTool(args).code, 0);
      const std::vector<std::uint8_t> file = ReadAll(dir / "part.raw");
      ASSERT_EQ(file.size(), std::size_t(p.fileWidth) * std::size_t(p.fileHeight) * 4);
      for (std::int32_t row = 0; row < p.height; ++row) {
        const auto at = file.begin() + ((p.y + row) * p.fileWidth + p.x) * 4;
        const auto from = full.begin() + ((p.top + row) * 96 + p.left) * 4;
        EXPECT_TRUE(std::equal(at, at + p.width * 4, from)) << row;
      }
    }
  }
}

TEST(PreviewCommand, BuiltInSourcesAtEveryDepth) {
  for (PixelDepth depth : kDepths) {
    const Frame gray = MakeBuiltInSource(SourceKind::kGray, depth, {40, 40});
    const Frame checker = MakeBuiltInSource(SourceKind::kChecker, depth, {40, 40});
    const Frame clear = MakeBuiltInSource(SourceKind::kTransparent, depth, {40, 40});
    const Frame sample = MakeBuiltInSource(SourceKind::kSample, depth, {160, 90});
    const auto pixel = [&](const Frame& f, std::int32_t row, std::int32_t col) {
      const std::vector<std::uint8_t> raw = EncodeRaw(f.View());
      return RawAt(raw, depth, f.width(), row, col);
    };
    EXPECT_EQ(pixel(gray, 39, 39), Gray(depth));
    EXPECT_EQ(pixel(checker, 0, 0), Solid(depth, 0.8, 0.8, 0.8));
    EXPECT_EQ(pixel(checker, 0, kCheckerCell), Solid(depth, 0.6, 0.6, 0.6));
    EXPECT_EQ(pixel(checker, kCheckerCell, kCheckerCell), Solid(depth, 0.8, 0.8, 0.8));
    EXPECT_EQ(pixel(clear, 20, 20), (RawPixel{0, 0, 0, 0}));
    // The sample is opaque and not flat: sky above, hills below.
    const RawPixel sky = pixel(sample, 2, 2);
    const RawPixel hills = pixel(sample, 88, 2);
    EXPECT_EQ(sky.alpha, Gray(depth).alpha);
    EXPECT_EQ(hills.alpha, Gray(depth).alpha);
    EXPECT_NE(sky, hills);
  }
}

TEST(PreviewCommand, ExistingOutputIsReplacedWholeOrLeftAlone) {
  TempDir dir;
  const std::string out = dir / "frame.raw";
  test::WriteAll(out, {1, 2, 3});
  auto r = RunTool({"--set", "X Spacing=oops", "-o", out});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(ReadAll(out), (std::vector<std::uint8_t>{1, 2, 3}));
  r = RunTool({"--size", "8x4", "-o", out});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadAll(out).size(), 8u * 4u * 4u);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"frame.raw"});
}

// The built program: the exit code and the one line reach the shell.
TEST(PreviewCommand, TheProgramExitsWithTwoOnErrors) {
  TempDir dir;
  const std::string err = dir / "err.txt";
  const std::string command = std::string("\"") + TESSALINE_PREVIEW_PATH +
                              "\" --set \"Blend Mode=9\" -o \"" + (dir / "x.png") + "\" 2>\"" +
                              err + "\"";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  const std::vector<std::uint8_t> text = ReadAll(err);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"err.txt"});

  const std::string ok =
      std::string("\"") + TESSALINE_PREVIEW_PATH + "\" --size 64x36 -o \"" + (dir / "x.png") + "\"";
  const int okStatus = std::system(ok.c_str());
  ASSERT_TRUE(WIFEXITED(okStatus));
  EXPECT_EQ(WEXITSTATUS(okStatus), 0);
  EXPECT_EQ(DecodePng(ReadAll(dir / "x.png")).width, 64);
}

}  // namespace
}  // namespace tessaline
