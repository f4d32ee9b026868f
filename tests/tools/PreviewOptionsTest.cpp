#include "tools/PreviewOptions.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <iterator>

#include "tests/tools/PreviewTestSupport.h"
#include "tools/ImageCodecs.h"
#include "tools/PngCodec.h"
#include "tools/PreviewError.h"

namespace tessaline {
namespace {

using test::RunTool;
using test::TempDir;

PreviewOptions Parse(std::vector<std::string_view> args) {
  return ParseOptions(args);
}

TEST(PreviewOptions, ReadsEveryOptionInBothSpellings) {
  const PreviewOptions o = Parse({"--size",
                                  "640x480",
                                  "--depth=16",
                                  "--render",
                                  "legacy",
                                  "--preset",
                                  "Thirds",
                                  "--resolution=3",
                                  "--set",
                                  "X Spacing=12.5",
                                  "--set=Color 1=#FF0000",
                                  "--source",
                                  "checker",
                                  "-o",
                                  "out.RAW",
                                  "--print-params",
                                  "--downsample",
                                  "2x3",
                                  "--region",
                                  "-5,0,10,7",
                                  "--grow=1,0,30,2"});
  ASSERT_TRUE(o.size.has_value());
  EXPECT_EQ(*o.size, (FrameSize{640, 480}));
  EXPECT_EQ(o.depth, PixelDepth::k16);
  EXPECT_EQ(o.render, RenderPath::kLegacy);
  EXPECT_EQ(o.preset, "Thirds");
  EXPECT_EQ(o.resolution, "3");
  ASSERT_EQ(o.edits.size(), 2u);
  EXPECT_EQ(o.edits[0].label, "X Spacing");
  EXPECT_EQ(o.edits[0].value, "12.5");
  EXPECT_EQ(o.edits[1].label, "Color 1");
  EXPECT_EQ(o.edits[1].value, "#FF0000");
  EXPECT_EQ(o.source.kind, SourceKind::kChecker);
  EXPECT_EQ(o.output, "out.RAW");
  EXPECT_TRUE(o.printParams);
  EXPECT_EQ(o.downsample, (FrameSize{2, 3}));
  EXPECT_EQ(o.region, (PixelRect{-5, 0, 10, 7}));
  EXPECT_EQ((std::vector{o.grow.left, o.grow.top, o.grow.right, o.grow.bottom}),
            (std::vector{1, 0, 30, 2}));
}

TEST(PreviewOptions, DefaultsAreAFullHdGrayEightBitSmartRender) {
  const PreviewOptions o = Parse({"--print-params"});
  EXPECT_FALSE(o.size.has_value());
  EXPECT_EQ(kDefaultSize, (FrameSize{1920, 1080}));
  EXPECT_EQ(o.depth, PixelDepth::k8);
  EXPECT_EQ(o.render, RenderPath::kSmart);
  EXPECT_EQ(o.source.kind, SourceKind::kGray);
  EXPECT_EQ(o.downsample, (FrameSize{1, 1}));
  EXPECT_FALSE(o.region.has_value());
  EXPECT_EQ(o.grow.left + o.grow.top + o.grow.right + o.grow.bottom, 0);
  EXPECT_EQ(Parse({"--print-params", "--downsample", "4"}).downsample, (FrameSize{4, 4}));
  EXPECT_EQ(Parse({"--print-params", "--source", "scan.PNG"}).source.kind, SourceKind::kPngFile);
  EXPECT_EQ(Parse({"--print-params", "--source", "a.raw"}).source.path, "a.raw");
}

// Every error: exit code 2, one line on stderr naming the problem, nothing
// on stdout and no file left in the folder but the inputs made for the test.
// A warning: one line, and the command goes on (here to list the controls).
TEST(PreviewOptions, ErrorsAndWarningsPrintOneLine) {
  TempDir dir;
  const std::string out = dir / "out.png";
  test::WriteAll(dir / "garbage.png", {'n', 'o', 't', ' ', 'p', 'n', 'g'});
  const std::vector<std::uint8_t> png =
      EncodePng(RgbaImage{4, 4, 8, std::vector<std::uint16_t>(64, 200)});
  test::WriteAll(dir / "small.png", png);
  test::WriteAll(dir / "cut.png", std::vector<std::uint8_t>(png.begin(), png.begin() + 50));
  test::WriteAll(dir / "short.raw", std::vector<std::uint8_t>(4 * 4 * 4 - 1));
  std::filesystem::create_directories(dir.path() / "taken.png");  // a folder in the way
  // A header that declares 100000 x 100000, its checksum intact.
  std::vector<std::uint8_t> huge = png;
  for (std::size_t at : {16u, 20u}) {
    const std::uint8_t side[] = {0x00, 0x01, 0x86, 0xA0};
    std::copy(std::begin(side), std::end(side), huge.begin() + std::ptrdiff_t(at));
  }
  const std::uint32_t crc = std::uint32_t(crc32(0, huge.data() + 12, 17));
  for (int i = 0; i < 4; ++i) huge[std::size_t(29 + i)] = std::uint8_t(crc >> (24 - 8 * i));
  test::WriteAll(dir / "huge.png", huge);
  const std::vector<std::string> inputs = dir.Files();

  struct Case {
    std::vector<std::string> args;
    std::string message;  // part of the line
    int code = 2;
  };
  const std::vector<Case> cases = {
      {{"--bogus", "-o", out}, "unknown option '--bogus'"},
      {{"-o"}, "-o: needs a value"},
      {{"--size", "640", "-o", out}, "--size: '640' is not WIDTHxHEIGHT"},
      {{"--size", "0x480", "-o", out}, "--size: '0x480'"},
      {{"--size", "30001x10", "-o", out}, "--size: '30001x10'"},
      {{"--size", "20000x20000", "--depth", "32", "-o", out}, "more than the 2 GiB"},
      {{"--depth", "24", "-o", out}, "--depth: '24' is not 8, 16 or 32"},
      {{"--render", "fast", "-o", out}, "--render: 'fast' is not smart or legacy"},
      {{"--downsample", "0", "-o", out}, "--downsample: '0'"},
      {{"--downsample", "2x", "-o", out}, "--downsample: '2x'"},
      {{"--print-params=yes"}, "--print-params: takes no value"},
      {{"--region", "5,0,5,9", "-o", out}, "--region: '5,0,5,9' is not L,T,R,B with L < R"},
      {{"--region", "0,0,4", "-o", out}, "--region: '0,0,4'"},
      {{"--region", "0,0,4,4,", "-o", out}, "--region: '0,0,4,4,'"},
      {{"--region", "-30001,0,4,4", "-o", out}, "--region: '-30001,0,4,4'"},
      {{"--region", "-30000,-30000,30000,30000", "-o", out}, "--region: the region at 8 bits"},
      {{"--grow", "0,-1,0,0", "-o", out}, "--grow: '0,-1,0,0' is not L,T,R,B"},
      {{"--grow", "30000,0,0,0", "-o", out},
       "--grow: the grown frame is too large: 31920x1080 has more than the 30000 pixels a side"},
      {{"-o", out, "-o", dir / "b.png"}, "-o: given more than once"},
      {{"-o", out, "--output=" + (dir / "b.png")}, "--output: given more than once"},
      {{"--depth", "8", "--size", "8x8", "--depth=16", "-o", out}, "--depth: given more than once"},
      {{"--print-params", "--print-params"}, "--print-params: given more than once"},
      {{"--gallery", dir / "small.png"}, "small.png: cannot make the folder (Not a directory)"},
      {{"--source", dir / "huge.png", "-o", out},
       "huge.png: is too large: 100000x100000 has more than the 30000 pixels a side"},
      {{"--set", "X Spacing=0", "--print-params"},
       "warning: \"X Spacing\": 0 is outside the range 1 to 10000; clamped to 1",
       0},
      {{"--set", "Opacity=-5", "--print-params"},
       "\"Opacity\": -5 is outside the range 0 to 100",
       0},
      {{"--set", "X Count=1e3", "--print-params"}, "'1e3' is not a whole number"},
      {{"--set", "X Count=1000", "--print-params"}, "0 to 200; clamped to 200", 0},
      {{"--set", "Line Width=0.01", "--print-params"}, "0.1 to 20; clamped to 0.1", 0},
      {{"--gallery", dir / "g", "--grow", "1,1,1,1"}, "--gallery: renders whole frames"},
      {{"--set", "X Spacing", "-o", out}, "--set: 'X Spacing' is not LABEL=VALUE"},
      {{"--set", "Grid Size=3", "-o", out}, "unknown control \"Grid Size\""},
      {{"--set", "Layout=1", "-o", out}, "\"Layout\" is a group"},
      {{"--set", "X Spacing=wide", "-o", out}, "\"X Spacing\": 'wide' is not a number"},
      {{"--set", "Opacity=nan", "-o", out}, "\"Opacity\": 'nan' is not a number"},
      {{"--set", "X Count=1.5", "-o", out}, "\"X Count\": '1.5' is not a whole number"},
      {{"--set", "Use Color 1=yes", "-o", out}, "\"Use Color 1\": 'yes' is not on or off"},
      {{"--set", "Blend Mode=Overlay", "-o", out}, "\"Blend Mode\": 'Overlay' is no choice"},
      {{"--set", "Color 2=#12345G", "-o", out}, "\"Color 2\": '#12345G' is not a color"},
      {{"--set", "Color 2=123456", "-o", out}, "\"Color 2\": '123456' is not a color"},
      {{"--preset", "0", "-o", out}, "\"Preset\": '0' is no choice"},
      {{"--preset", "Golden", "-o", out}, "\"Preset\": 'Golden' is no choice"},
      {{"--resolution", "21", "-o", out}, "\"Resolution\": '21' is no choice"},
      {{"--source", "plasma", "-o", out}, "--source: unknown source 'plasma'"},
      {{"--source", dir / "missing.png", "-o", out}, "missing.png: cannot be read"},
      {{"--source", dir / "garbage.png", "-o", out}, "garbage.png: is not a PNG file"},
      {{"--source", dir / "cut.png", "-o", out}, "cut.png: is a damaged PNG file"},
      {{"--source", dir / "small.png", "--size", "8x8", "-o", out}, "is 4x4, not the --size 8x8"},
      {{"--source", dir / "short.raw", "--size", "4x4", "-o", out}, "holds 63 bytes"},
      {{"--source", dir / "short.raw", "-o", out}, "a 1920x1080 frame at 8 bits needs 8294400"},
      {{"-o", dir / "out.tif"}, "-o: '" + (dir / "out.tif") + "' does not end in .png or .raw"},
      {{"-o", dir / "no/such/folder/out.png"}, "cannot be written"},
      {{"-o", dir / "taken.png"}, "taken.png: cannot be written"},
      {{}, "nothing to do"},
      {{"--gallery", dir / "g", "--preset", "Thirds"}, "--gallery: renders every preset"},
      {{"--gallery", dir / "g", "-o", out}, "--gallery: writes its own files"},
  };
  for (const Case& c : cases) {
    const test::RunResult r = RunTool(c.args);
    SCOPED_TRACE(c.message);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.out.empty(), c.code != 0);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;  // exactly one line
    EXPECT_TRUE(r.err.starts_with("tessaline-preview: ")) << r.err;
    EXPECT_EQ(dir.Files(), inputs);
  }
}

TEST(PreviewOptions, HelpListsTheOptions) {
  const test::RunResult r = RunTool({"--help"});
  EXPECT_EQ(r.code, 0);
  for (const char* option :
       {"--size", "--depth", "--render", "--preset", "--resolution", "--set", "--source",
        "--downsample", "--region", "--grow", "-o", "--print-params", "--gallery"}) {
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace tessaline
