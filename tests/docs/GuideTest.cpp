// docs/guide.md against the effect as the host sees it: the controls table
// row by row from the definitions EffectMain registers, the preset sections
// with their committed pictures, and the reference resolutions; and the
// pictures of the guide and README.md, all used and small together.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/EffectMain.h"
#include "minihost/MiniHost.h"
#include "tools/Gallery.h"

namespace tessaline {
namespace {

const std::filesystem::path kDocs = TESSALINE_DOCS_DIR;

std::vector<std::string> Lines(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The lines of the section under this "## " heading, up to the next one.
std::vector<std::string> Section(const std::vector<std::string>& lines, std::string_view heading) {
  std::vector<std::string> section;
  bool inside = false;
  for (const std::string& line : lines) {
    if (line.starts_with("## "))
      inside = line == "## " + std::string(heading);
    else if (inside)
      section.push_back(line);
  }
  return section;
}

// The text after `prefix` on each line that starts with it.
std::vector<std::string> Items(const std::vector<std::string>& lines, std::string_view prefix) {
  std::vector<std::string> items;
  for (const std::string& line : lines) {
    if (line.starts_with(prefix)) items.push_back(line.substr(prefix.size()));
  }
  return items;
}

std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::stringstream in(row.substr(1));
  for (std::string cell; std::getline(in, cell, '|');) {
    const auto first = cell.find_first_not_of(' ');
    const auto last = cell.find_last_not_of(' ');
    cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
  }
  return cells;
}

// "2", "0.1", "10000": as the panel shows the number, without trailing zeros.
std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string out = text;
  while (out.back() == '0') out.pop_back();
  if (out.back() == '.') out.pop_back();
  return out;
}

std::string Range(double validMin, double validMax, double sliderMin, double sliderMax) {
  std::string range = Number(validMin) + " to " + Number(validMax);
  if (sliderMin != validMin || sliderMax != validMax) {
    range += " (slider " + Number(sliderMin) + " to " + Number(sliderMax) + ")";
  }
  return range;
}

// Control, range and default as the guide's table states them.
std::array<std::string, 3> Expected(const AddParamRecord& add,
                                    const std::vector<std::string>& choices) {
  const PF_ParamDef& def = add.def;
  switch (def.param_type) {
    case PF_Param_POPUP:
      return {add.name, std::to_string(def.u.pd.num_choices) + " choices",
              choices.at(std::size_t(def.u.pd.dephault) - 1)};
    case PF_Param_SLIDER:
      return {
          add.name,
          Range(def.u.sd.valid_min, def.u.sd.valid_max, def.u.sd.slider_min, def.u.sd.slider_max),
          Number(def.u.sd.dephault)};
    case PF_Param_FLOAT_SLIDER:
      return {add.name,
              Range(def.u.fs_d.valid_min, def.u.fs_d.valid_max, def.u.fs_d.slider_min,
                    def.u.fs_d.slider_max),
              Number(def.u.fs_d.dephault)};
    case PF_Param_CHECKBOX:
      return {add.name, "on or off", def.u.bd.dephault ? "on" : "off"};
    case PF_Param_COLOR: {
      char hex[8];
      std::snprintf(hex, sizeof hex, "#%02X%02X%02X", def.u.cd.dephault.red,
                    def.u.cd.dephault.green, def.u.cd.dephault.blue);
      return {add.name, "any color", hex};
    }
    default:
      return {add.name, "?", "?"};
  }
}

class Guide : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(host_.GlobalSetup(), PF_Err_NONE);
    ASSERT_EQ(host_.ParamsSetup(), PF_Err_NONE);
    ASSERT_FALSE(lines_.empty()) << kDocs / "guide.md";
  }
  std::vector<std::string> ChoicesOf(std::string_view label) const {
    return host_.Choices(host_.FindParam(label));
  }
  MiniHost host_{&EffectMain};
  std::vector<std::string> lines_ = Lines(kDocs / "guide.md");
};

TEST_F(Guide, ControlsTableStatesEveryRegisteredControlsRangeAndDefault) {
  std::vector<std::array<std::string, 3>> expected;
  for (const AddParamRecord& add : host_.Log().adds) {
    const PF_ParamType type = add.def.param_type;
    if (type == PF_Param_GROUP_START || type == PF_Param_GROUP_END) continue;
    expected.push_back(Expected(add, ChoicesOf(add.name)));
  }
  std::vector<std::array<std::string, 3>> stated;
  for (const std::string& row : Items(Section(lines_, "Controls"), "| ")) {
    const std::vector<std::string> cells = Cells("| " + row);
    ASSERT_EQ(cells.size(), 4u) << row;
    if (cells[0] == "Control") continue;  // the header row
    EXPECT_FALSE(cells[3].empty()) << cells[0] << ": what it changes";
    stated.push_back({cells[0], cells[1], cells[2]});
  }
  EXPECT_EQ(stated, expected);
}

TEST_F(Guide, ShowsEveryPresetsPictureAndListsEveryResolution) {
  const std::vector<std::string> section = Section(lines_, "Presets");
  const std::vector<GalleryEntry> entries = GalleryEntries(ChoicesOf("Preset"));
  std::vector<std::string> labels;
  for (const GalleryEntry& entry : entries) {
    labels.push_back(entry.label);
    const std::string picture = "![" + entry.label + "](presets/" + entry.file + ")";
    EXPECT_EQ(Items(section, picture).size(), 1u) << picture;
    EXPECT_TRUE(std::filesystem::is_regular_file(kDocs / "presets" / entry.file)) << entry.file;
  }
  EXPECT_EQ(Items(section, "### "), labels);
  EXPECT_EQ(Items(Section(lines_, "Reference resolution"), "- "), ChoicesOf("Resolution"));
}

// The pictures the guide and the README show, each with its folder: every
// picture in docs/ is one of them, and together they stay small enough for
// the repository and the guide's HTML page.
TEST(GuidePictures, AreAllUsedAndTogetherUnder600KB) {
  std::set<std::filesystem::path> used;
  for (const auto& [file, folder] : {std::pair{kDocs / "guide.md", kDocs},
                                     std::pair{kDocs / ".." / "README.md", kDocs / ".."}}) {
    for (const std::string& line : Lines(file)) {
      if (!line.starts_with("![")) continue;  // pictures stand on lines of their own
      const std::size_t target = line.find("](") + 2;
      used.insert(std::filesystem::weakly_canonical(
          folder / line.substr(target, line.find(')', target) - target)));
    }
  }
  std::set<std::filesystem::path> present;
  std::uintmax_t bytes = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(kDocs)) {
    if (entry.path().extension() != ".png") continue;
    present.insert(std::filesystem::weakly_canonical(entry.path()));
    bytes += entry.file_size();
  }
  EXPECT_EQ(used, present);
  EXPECT_LE(bytes, 600u * 1024u);
}

}  // namespace
}  // namespace tessaline
