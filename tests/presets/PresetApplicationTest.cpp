#include "presets/PresetApplication.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/HostRules.h"
#include "tests/support/PluginHost.h"
#include "tests/support/PopupValues.h"

namespace tessaline {
namespace {

using test::PluginHost;
using test::Preset;
using test::Resolution;

const std::vector<PF_ParamIndex> kWritten(test::kPresetWrites.begin(), test::kPresetWrites.end());

TEST(UserChangedParam, ThirdsAtFullHdWritesTheWholeLayout) {
  PluginHost host;
  host.SetCheckbox(kUseColor3, 0);
  host.SetColor(kCenterLineColor, 0x000000FFu);
  ASSERT_EQ(host.SetPopup(kResolution, Resolution("1920x1080 Full HD")), PF_Err_NONE);
  ASSERT_EQ(host.SetPopup(kPreset, Preset("Thirds")), PF_Err_NONE);
  EXPECT_EQ(host.LastTakenOver(), kWritten);
  EXPECT_TRUE(host.LastIgnoredWrites().empty());
  EXPECT_EQ(host.FloatValue(kXSpacing), 320.0);
  EXPECT_EQ(host.FloatValue(kYSpacing), 180.0);
  EXPECT_EQ(host.IntValue(kXCount), 1);
  EXPECT_EQ(host.IntValue(kYCount), 1);
  EXPECT_EQ(host.IntValue(kOuterColorCount), 1);
  for (int slot = 0; slot < 4; ++slot) EXPECT_EQ(host.IntValue(UseColorParam(slot)), 1);
  EXPECT_EQ(host.ColorValue(kCenterLineColor), 0xFFFFFFFFu);
  EXPECT_EQ(host.ColorValue(kColor1), 0x40DCFFFFu);
  EXPECT_EQ(host.FloatValue(kLineWidth), 3.0);
  EXPECT_EQ(host.FloatValue(kCenterLineWidth), 3.0);
  EXPECT_EQ(host.FloatValue(kOpacity), 100.0);
  EXPECT_EQ(host.LastOutData().out_flags & test::kPresetOutFlags, test::kPresetOutFlags);
  // The color slot update follows, with the preset's count of one color.
  EXPECT_TRUE(host.IsDisabled(kColor2));
  EXPECT_FALSE(host.IsDisabled(kColor1));
}

TEST(UserChangedParam, CustomAndResolutionUnderCustomWriteNothing) {
  PluginHost host;
  host.SetFloat(kXSpacing, 33.0);
  host.ClearLog();
  ASSERT_EQ(host.SetPopup(kPreset, kPresetCustom), PF_Err_NONE);
  EXPECT_TRUE(host.LastTakenOver().empty());
  EXPECT_EQ(host.LastOutData().out_flags, 0);
  EXPECT_EQ(host.Count(HostCall::kUpdateParamUI), 8);
  ASSERT_EQ(host.SetPopup(kResolution, Resolution("3840x2160 UHD 4K")), PF_Err_NONE);
  EXPECT_TRUE(host.LastTakenOver().empty());
  EXPECT_EQ(host.FloatValue(kXSpacing), 33.0);
  EXPECT_EQ(host.Count(HostCall::kUpdateParamUI), 16);
}

TEST(UserChangedParam, ResolutionChangeReappliesThePreset) {
  PluginHost host;
  host.SetPopup(kResolution, Resolution("1920x1080 Full HD"));
  host.SetPopup(kPreset, Preset("Balanced Grid"));
  EXPECT_EQ(host.FloatValue(kXSpacing), 100.0);
  EXPECT_EQ(host.FloatValue(kLineWidth), 2.0);
  host.SetFloat(kXSpacing, 7.0);  // a manual edit, overwritten by the next application
  ASSERT_EQ(host.SetPopup(kResolution, Resolution("3840x2160 UHD 4K")), PF_Err_NONE);
  EXPECT_EQ(host.FloatValue(kXSpacing), 200.0);
  EXPECT_EQ(host.FloatValue(kYSpacing), 200.0);
  EXPECT_EQ(host.IntValue(kXCount), 10);
  EXPECT_EQ(host.IntValue(kYCount), 6);
  EXPECT_EQ(host.FloatValue(kLineWidth), 4.0);
  EXPECT_EQ(host.FloatValue(kCenterLineWidth), 4.0);
  EXPECT_EQ(host.IntValue(kPreset), 3);  // the popup keeps its value
}

TEST(UserChangedParam, CurrentSizeUsesTheLayer) {
  PluginHost host;
  host.SetLayer(PixelDepth::k8, 1000, 500);
  host.SetPopup(kPreset, Preset("Quadrants"));
  EXPECT_EQ(host.FloatValue(kXSpacing), 250.0);
  EXPECT_EQ(host.FloatValue(kYSpacing), 125.0);
}

TEST(UserChangedParam, OuterColorCountOnlyUpdatesTheColorSlots) {
  PluginHost host;
  host.SetPopup(kPreset, Preset("Fine Draft"));
  host.SetFloat(kXSpacing, 12.0);
  host.ClearLog();
  ASSERT_EQ(host.SetPopup(kOuterColorCount, 2), PF_Err_NONE);
  EXPECT_TRUE(host.LastTakenOver().empty());
  EXPECT_EQ(host.FloatValue(kXSpacing), 12.0);
  EXPECT_EQ(host.Count(HostCall::kUpdateParamUI), 8);
  EXPECT_TRUE(host.IsDisabled(kUseColor3));
  EXPECT_FALSE(host.IsDisabled(kUseColor2));
}

TEST(UserChangedParam, BlendModeSurvivesAnyPreset) {
  PluginHost host;
  host.SetPopup(kBlendMode, kBlendGridOnly);
  for (std::int32_t preset = Preset("Fine Draft"); preset <= Preset("Presentation"); ++preset) {
    host.SetPopup(kPreset, preset);
    EXPECT_EQ(host.IntValue(kBlendMode), kBlendGridOnly) << preset;
  }
}

TEST(UserChangedParam, ValuesAreWrittenAsComputedOutsideTheControlRanges) {
  struct Case {
    std::int32_t layerWidth, layerHeight, preset;
    double xSpacing;
  };
  const Case cases[] = {{30000, 100, Preset("Safe Area 90"), 13500.0},
                        {10, 10, Preset("Margin Frame"), 0.5}};
  for (const Case& c : cases) {
    PluginHost host;
    host.SetLayer(PixelDepth::k8, c.layerWidth, c.layerHeight);
    host.SetPopup(kPreset, c.preset);
    EXPECT_EQ(host.FloatValue(kXSpacing), c.xSpacing);
  }
}

}  // namespace
}  // namespace tessaline
