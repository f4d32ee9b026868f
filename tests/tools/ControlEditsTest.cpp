#include "tools/ControlEdits.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tests/tools/PreviewTestSupport.h"

namespace tessaline {
namespace {

using test::RunTool;

struct Shown {
  std::string value;
  bool greyedOut = false;
};

// The --print-params listing as label -> value; group names have no value.
std::map<std::string, Shown> Listing(const std::vector<std::string>& edits) {
  std::vector<std::string> args = {"--size", "640x360", "--print-params"};
  for (const std::string& e : edits) {
    args.push_back("--set");
    args.push_back(e);
  }
  const test::RunResult r = RunTool(args);
  EXPECT_EQ(r.code, 0) << r.err;
  std::map<std::string, Shown> shown;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t start = line.find_first_not_of(' ');
    const std::size_t gap = line.find("  ", start);
    if (gap == std::string::npos) {
      shown[line.substr(start)] = Shown{};
      continue;
    }
    std::string value = line.substr(line.find_first_not_of(' ', gap));
    const std::string mark = "  (greyed out)";
    const bool grey = value.ends_with(mark);
    if (grey) value.resize(value.size() - mark.size());
    shown[line.substr(start, gap - start)] = Shown{value, grey};
  }
  return shown;
}

TEST(ControlEdits, ListsEveryControlInPanelOrderWithGroupsIndented) {
  const test::RunResult r = RunTool({"--print-params"});
  ASSERT_EQ(r.code, 0);
  EXPECT_TRUE(
      r.out.starts_with("Preset               Custom\n"
                        "Resolution           Current Size\n"
                        "Layout\n"
                        "  X Spacing          100.00\n"))
      << r.out;
  EXPECT_NE(r.out.find("Style\n  Line Width         2.00\n"), std::string::npos) << r.out;
  EXPECT_TRUE(r.out.ends_with("  Blend Mode         Composite Over Source\n")) << r.out;
  EXPECT_EQ(Listing({}).size(), 23u);  // 20 controls and 3 groups
}

// Each control type, set as typed and read back as the panel shows it.
TEST(ControlEdits, SetRoundTripsEveryControlType) {
  struct Case {
    std::string label, typed, shown;
  };
  const std::vector<Case> cases = {
      {"X Spacing", "123.25", "123.25"},  // float slider
      {"Y Spacing", "0.5", "1.00"},       // limited to the valid range, as typed in the host
      {"Opacity", "55.556", "55.56"},     // shown with two decimals
      {"Line Width", "0.1", "0.10"},
      {"Center Line Width", "20", "20.00"},
      {"X Count", "7", "7"},  // slider
      {"Y Count", "500", "200"},
      {"Use Color 2", "off", "off"},  // checkbox
      {"Use Color 3", "OFF", "off"},
      {"Blend Mode", "grid only", "Grid Only"},     // popup by label, any case
      {"Resolution", "14", "640x480 4:3 SD"},       // popup by number
      {"Center Line Color", "#abcdef", "#ABCDEF"},  // color
      {"Color 1", "#102030", "#102030"},
      {"Color 4", "#A0B0C0D0", "#A0B0C0D0"},  // with alpha
      {"x spacing", "42", "42.00"},           // labels ignore case
  };
  for (const Case& c : cases) {
    const auto shown = Listing({c.label + "=" + c.typed});
    std::string label = c.label == "x spacing" ? "X Spacing" : c.label;
    ASSERT_TRUE(shown.count(label)) << label;
    EXPECT_EQ(shown.at(label).value, c.shown) << c.label << "=" << c.typed;
  }
  // Edits apply in order: the last one wins.
  EXPECT_EQ(Listing({"Use Color 1=off", "Use Color 1=on"}).at("Use Color 1").value, "on");
}

TEST(ControlEdits, SupervisedControlsSendTheirChangeCommand) {
  // Picking a preset rewrites the layout for the layer size (640 x 360).
  auto shown = Listing({"Preset=Thirds"});
  EXPECT_EQ(shown.at("Preset").value, "Thirds");
  EXPECT_EQ(shown.at("X Spacing").value, "106.67");
  EXPECT_EQ(shown.at("Y Spacing").value, "60.00");
  EXPECT_EQ(shown.at("X Count").value, "1");
  EXPECT_EQ(shown.at("Outer Color Count").value, "1 Color");
  EXPECT_EQ(shown.at("Color 1").value, "#FFDC40");
  EXPECT_FALSE(shown.at("Color 1").greyedOut);
  for (const char* label :
       {"Use Color 2", "Color 2", "Use Color 3", "Color 3", "Use Color 4", "Color 4"}) {
    EXPECT_TRUE(shown.at(label).greyedOut) << label;
  }

  // A reference resolution while a preset is chosen recomputes it.
  shown = Listing({"Preset=6", "Resolution=1920x1080 Full HD"});
  EXPECT_EQ(shown.at("X Spacing").value, "320.00");

  // Later edits stay; the outer color count greys out the slots above it.
  shown = Listing({"Preset=Thirds", "X Spacing=50", "Outer Color Count=3 Colors"});
  EXPECT_EQ(shown.at("Preset").value, "Thirds");
  EXPECT_EQ(shown.at("X Spacing").value, "50.00");
  EXPECT_FALSE(shown.at("Color 3").greyedOut);
  EXPECT_TRUE(shown.at("Use Color 4").greyedOut);
  EXPECT_TRUE(shown.at("Color 4").greyedOut);

  // Unsupervised controls greyed out by nobody: all enabled at the start.
  for (const auto& [label, s] : Listing({})) EXPECT_FALSE(s.greyedOut) << label;
}

}  // namespace
}  // namespace tessaline
