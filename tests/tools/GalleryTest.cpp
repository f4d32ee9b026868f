#include "tools/Gallery.h"

#include <gtest/gtest.h>

#include "presets/PopupLabels.h"
#include "tests/tools/PreviewTestSupport.h"
#include "tools/PngCodec.h"

namespace tessaline {
namespace {

using test::ReadAll;
using test::RunTool;
using test::TempDir;

std::vector<std::string> PresetLabels() {
  return std::vector<std::string>(kPresetLabels.begin(), kPresetLabels.end());
}

TEST(Gallery, EntriesAreTheSixteenReadyMadePresets) {
  const std::vector<GalleryEntry> entries = GalleryEntries(PresetLabels());
  ASSERT_EQ(entries.size(), 16u);
  EXPECT_EQ(entries.front().preset, 2);
  EXPECT_EQ(entries.front().label, "Fine Draft");
  EXPECT_EQ(entries.front().file, "02-fine-draft.png");
  EXPECT_EQ(entries[8].file, "10-safe-area-90.png");
  EXPECT_EQ(entries.back().preset, 17);
  EXPECT_EQ(entries.back().file, "17-presentation.png");
}

TEST(Gallery, WritesSixteenImagesAndAnIndexThatNamesThem) {
  TempDir dir;
  const std::string gallery = dir / "gallery";
  const auto r = RunTool({"--size", "192x108", "--source", "sample", "--gallery", gallery});
  ASSERT_EQ(r.code, 0) << r.err;

  const std::vector<GalleryEntry> entries = GalleryEntries(PresetLabels());
  std::vector<std::string> expected = {"index.html"};
  for (const GalleryEntry& e : entries) expected.push_back(e.file);
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> files;
  for (const auto& f : std::filesystem::directory_iterator(gallery)) {
    files.push_back(f.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, expected);

  const std::vector<std::uint8_t> html = ReadAll(gallery + "/index.html");
  const std::string index(html.begin(), html.end());
  for (const GalleryEntry& e : entries) {
    EXPECT_NE(index.find(std::string(">") + std::to_string(e.preset) + ". " + e.label + "<"),
              std::string::npos)
        << e.label;
    EXPECT_NE(index.find(std::string("src=\"") + e.file + "\""), std::string::npos) << e.file;
    const RgbaImage image = DecodePng(ReadAll(gallery + "/" + e.file));
    EXPECT_EQ(image.width, 192);
    EXPECT_EQ(image.height, 108);
  }
  EXPECT_EQ(index.find("Custom"), std::string::npos);

  // Under each picture, the seventeen values its preset wrote at this size.
  std::size_t shown = 0;
  for (std::size_t at = index.find("<dt>"); at != std::string::npos;
       at = index.find("<dt>", at + 1)) {
    ++shown;
  }
  EXPECT_EQ(shown, entries.size() * 17);
  const std::size_t thirds = index.find(">6. Thirds<");
  EXPECT_NE(index.find("<dt>X Spacing</dt><dd>32.00</dd><dt>Y Spacing</dt><dd>18.00</dd>", thirds),
            std::string::npos);

  // Different presets draw different frames.
  EXPECT_NE(ReadAll(gallery + "/06-thirds.png"), ReadAll(gallery + "/09-quadrants.png"));
}

TEST(Gallery, AppliesResolutionEditsAndDownsampleToEveryImage) {
  TempDir dir;
  const std::string gallery = dir / "g";
  const auto r = RunTool({"--size", "96x54", "--resolution", "1920x1080 Full HD", "--set",
                          "Blend Mode=Grid Only", "--set", "Line Width=5", "--downsample", "2",
                          "--gallery", gallery});
  ASSERT_EQ(r.code, 0) << r.err;
  const RgbaImage image = DecodePng(ReadAll(gallery + "/06-thirds.png"));
  EXPECT_EQ(image.width, 48);
  EXPECT_EQ(image.height, 27);
  EXPECT_EQ(image.samples[3], 0);  // "Grid Only": the corner is transparent
  const std::vector<std::uint8_t> html = ReadAll(gallery + "/index.html");
  const std::string index(html.begin(), html.end());
  EXPECT_NE(index.find("1920x1080 Full HD"), std::string::npos);
  EXPECT_NE(index.find("Blend Mode = Grid Only"), std::string::npos);
  // The values listed are the preset's for the reference size, not the edits.
  EXPECT_NE(index.find("<dt>X Spacing</dt><dd>320.00</dd>", index.find(">6. Thirds<")),
            std::string::npos);
  EXPECT_EQ(index.find("<dt>Line Width</dt><dd>5.00</dd>"), std::string::npos);
}

}  // namespace
}  // namespace tessaline
