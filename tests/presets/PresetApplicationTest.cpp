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
  host.SetValue(kUseColor3, 0);
  host.SetValue(kCenterLineColor, 0x000000FFu);
  ASSERT_EQ(host.SetValue(kResolution, Resolution("1920x1080 Full HD")), PF_Err_NONE);
  ASSERT_EQ(host.SetValue(kPreset, Preset("Thirds")), PF_Err_NONE);
  EXPECT_EQ(host.Log().takenOver, kWritten);
  EXPECT_TRUE(host.Log().ignoredWrites.empty());
  EXPECT_EQ(host.Value(kXSpacing), 320.0);
  EXPECT_EQ(host.Value(kYSpacing), 180.0);
  EXPECT_EQ(host.Value(kXCount), 1);
  EXPECT_EQ(host.Value(kYCount), 1);
  EXPECT_EQ(host.Value(kOuterColorCount), 1);
  for (int slot = 0; slot < 4; ++slot) EXPECT_EQ(host.Value(UseColorParam(slot)), 1);
  EXPECT_EQ(host.Value(kCenterLineColor), 0xFFFFFFFFu);
  EXPECT_EQ(host.Value(kColor1), 0x40DCFFFFu);
  EXPECT_EQ(host.Value(kLineWidth), 3.0);
  EXPECT_EQ(host.Value(kCenterLineWidth), 3.0);
  EXPECT_EQ(host.Value(kOpacity), 100.0);
  EXPECT_EQ(host.Log().lastOut.out_flags & test::kPresetOutFlags, test::kPresetOutFlags);
  // The color slot update follows, with the preset's count of one color.
  EXPECT_TRUE(host.IsDisabled(kColor2));
  EXPECT_FALSE(host.IsDisabled(kColor1));
}

TEST(UserChangedParam, CustomAndResolutionUnderCustomWriteNothing) {
  PluginHost host;
  host.SetValue(kXSpacing, 33.0);
  host.ClearLog();
  ASSERT_EQ(host.SetValue(kPreset, kPresetCustom), PF_Err_NONE);
  EXPECT_TRUE(host.Log().takenOver.empty());
  EXPECT_EQ(host.Log().lastOut.out_flags, 0);
  EXPECT_EQ(host.Log().Count(HostCall::kUpdateParamUI), 8);
  ASSERT_EQ(host.SetValue(kResolution, Resolution("3840x2160 UHD 4K")), PF_Err_NONE);
  EXPECT_TRUE(host.Log().takenOver.empty());
  EXPECT_EQ(host.Value(kXSpacing), 33.0);
  EXPECT_EQ(host.Log().Count(HostCall::kUpdateParamUI), 16);
}

TEST(UserChangedParam, ResolutionChangeReappliesThePreset) {
  PluginHost host;
  host.SetValue(kResolution, Resolution("1920x1080 Full HD"));
  host.SetValue(kPreset, Preset("Balanced Grid"));
  EXPECT_EQ(host.Value(kXSpacing), 100.0);
  EXPECT_EQ(host.Value(kLineWidth), 2.0);
  host.SetValue(kXSpacing, 7.0);  // a manual edit, overwritten by the next application
  ASSERT_EQ(host.SetValue(kResolution, Resolution("3840x2160 UHD 4K")), PF_Err_NONE);
  EXPECT_EQ(host.Value(kXSpacing), 200.0);
  EXPECT_EQ(host.Value(kYSpacing), 200.0);
  EXPECT_EQ(host.Value(kXCount), 10);
  EXPECT_EQ(host.Value(kYCount), 6);
  EXPECT_EQ(host.Value(kLineWidth), 4.0);
  EXPECT_EQ(host.Value(kCenterLineWidth), 4.0);
  EXPECT_EQ(host.Value(kPreset), 3);  // the popup keeps its value
}

TEST(UserChangedParam, CurrentSizeUsesTheLayer) {
  PluginHost host;
  host.Configure({.input = {PixelDepth::k8, 1000, 500}});
  host.SetValue(kPreset, Preset("Quadrants"));
  EXPECT_EQ(host.Value(kXSpacing), 250.0);
  EXPECT_EQ(host.Value(kYSpacing), 125.0);
}

TEST(UserChangedParam, OuterColorCountOnlyUpdatesTheColorSlots) {
  PluginHost host;
  host.SetValue(kPreset, Preset("Fine Draft"));
  host.SetValue(kXSpacing, 12.0);
  host.ClearLog();
  ASSERT_EQ(host.SetValue(kOuterColorCount, 2), PF_Err_NONE);
  EXPECT_TRUE(host.Log().takenOver.empty());
  EXPECT_EQ(host.Value(kXSpacing), 12.0);
  EXPECT_EQ(host.Log().Count(HostCall::kUpdateParamUI), 8);
  EXPECT_TRUE(host.IsDisabled(kUseColor3));
  EXPECT_FALSE(host.IsDisabled(kUseColor2));
}

TEST(UserChangedParam, BlendModeSurvivesAnyPreset) {
  PluginHost host;
  host.SetValue(kBlendMode, kBlendGridOnly);
  for (std::int32_t preset = Preset("Fine Draft"); preset <= Preset("Presentation"); ++preset) {
    host.SetValue(kPreset, preset);
    EXPECT_EQ(host.Value(kBlendMode), kBlendGridOnly) << preset;
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
    host.Configure({.input = {PixelDepth::k8, c.layerWidth, c.layerHeight}});
    host.SetValue(kPreset, c.preset);
    EXPECT_EQ(host.Value(kXSpacing), c.xSpacing);
  }
}

}  // namespace
}  // namespace tessaline
