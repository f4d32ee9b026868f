#include "presets/PresetApplication.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/HostRules.h"
#include "tests/support/PluginHost.h"

namespace tessaline {
namespace {

using test::PluginHost;

const std::vector<PF_ParamIndex> kWritten(test::kPresetWrites.begin(), test::kPresetWrites.end());

TEST(UserChangedParam, ThirdsAtFullHdWritesTheWholeLayout) {
  PluginHost host;
  host.SetCheckbox(kUseColor3, 0);
  host.SetColor(kCenterLineColor, 0x000000FFu);
  ASSERT_EQ(host.SetPopup(kResolution, 3), PF_Err_NONE);  // "1920x1080 Full HD"
  ASSERT_EQ(host.SetPopup(kPreset, 6), PF_Err_NONE);      // "Thirds"
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
  ASSERT_EQ(host.SetPopup(kResolution, 5), PF_Err_NONE);
  EXPECT_TRUE(host.LastTakenOver().empty());
  EXPECT_EQ(host.FloatValue(kXSpacing), 33.0);
  EXPECT_EQ(host.Count(HostCall::kUpdateParamUI), 16);
}

TEST(UserChangedParam, ResolutionChangeReappliesThePreset) {
  PluginHost host;
  host.SetPopup(kResolution, 3);
  host.SetPopup(kPreset, 3);  // "Balanced Grid"
  EXPECT_EQ(host.FloatValue(kXSpacing), 100.0);
  EXPECT_EQ(host.FloatValue(kLineWidth), 2.0);
  host.SetFloat(kXSpacing, 7.0);  // a manual edit, overwritten by the next application
  ASSERT_EQ(host.SetPopup(kResolution, 5), PF_Err_NONE);  // "3840x2160 UHD 4K"
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
  host.SetPopup(kPreset, 9);  // "Quadrants"
  EXPECT_EQ(host.FloatValue(kXSpacing), 250.0);
  EXPECT_EQ(host.FloatValue(kYSpacing), 125.0);
}

TEST(UserChangedParam, OuterColorCountOnlyUpdatesTheColorSlots) {
  PluginHost host;
  host.SetPopup(kPreset, 2);
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
  for (std::int32_t preset = 2; preset <= 17; ++preset) {
    host.SetPopup(kPreset, preset);
    EXPECT_EQ(host.IntValue(kBlendMode), kBlendGridOnly) << preset;
  }
}

TEST(UserChangedParam, ValuesAreWrittenAsComputedOutsideTheControlRanges) {
  struct Case {
    std::int32_t layerWidth, layerHeight, preset;
    double xSpacing;
  };
  const Case cases[] = {{30000, 100, 10, 13500.0}, {10, 10, 12, 0.5}};
  for (const Case& c : cases) {
    PluginHost host;
    host.SetLayer(PixelDepth::k8, c.layerWidth, c.layerHeight);
    host.SetPopup(kPreset, c.preset);
    EXPECT_EQ(host.FloatValue(kXSpacing), c.xSpacing);
  }
}

TEST(UserChangedParam, ColorSlotErrorIsReturnedAfterTheWrites) {
  PluginHost host;
  host.AddFault(Fault{.call = HostCall::kUpdateParamUI, .error = 518});
  EXPECT_EQ(host.SetPopup(kPreset, 6), 518);
  EXPECT_EQ(host.FloatValue(kXSpacing), 160.0 / 6);  // "Current Size": the 160 x 90 layer
  EXPECT_EQ(host.LastOutData().out_flags & test::kPresetOutFlags, test::kPresetOutFlags);
}

TEST(UserChangedParam, MissingRecordsAreLeftAlone) {
  PluginHost host;
  host.SetPopup(kPreset, 6);
  const double before = host.FloatValue(kXSpacing);
  PF_InData in = host.MakeInData();
  PF_OutData out = host.MakeOutData();
  PF_UserChangedParamExtra extra{kPreset};
  host.Param(kPreset)->u.pd.value = 3;
  host.ClearLog();
  EXPECT_EQ(host.Send(PF_Cmd_USER_CHANGED_PARAM, nullptr, &out, host.Params(), nullptr, &extra), 0);
  EXPECT_EQ(host.Send(PF_Cmd_USER_CHANGED_PARAM, &in, nullptr, host.Params(), nullptr, &extra), 0);
  EXPECT_EQ(host.Send(PF_Cmd_USER_CHANGED_PARAM, &in, &out, nullptr, nullptr, &extra), 0);
  EXPECT_EQ(host.Send(PF_Cmd_USER_CHANGED_PARAM, &in, &out, host.Params(), nullptr, nullptr), 0);
  for (std::int32_t missing : {1, 2, 4, 13, 19, 24}) {
    std::vector<PF_ParamDef*> params(host.Params(), host.Params() + host.ParamCount());
    params[missing] = nullptr;
    EXPECT_EQ(host.Send(PF_Cmd_USER_CHANGED_PARAM, &in, &out, params.data(), nullptr, &extra), 0);
  }
  EXPECT_EQ(host.Param(kXSpacing)->u.fs_d.value, before);
  EXPECT_EQ(out.out_flags, 0);
  EXPECT_EQ(host.Count(HostCall::kUpdateParamUI), 0);
}

}  // namespace
}  // namespace tessaline
