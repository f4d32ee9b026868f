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
  host.SetValue(kUseColor3, 0);
  host.SetValue(kCenterLineColor, 0x000000FFu);
  ASSERT_EQ(host.SetValue(kResolution, 3), PF_Err_NONE);  // "1920x1080 Full HD"
  ASSERT_EQ(host.SetValue(kPreset, 6), PF_Err_NONE);      // "Thirds"
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
  ASSERT_EQ(host.SetValue(kResolution, 5), PF_Err_NONE);
  EXPECT_TRUE(host.Log().takenOver.empty());
  EXPECT_EQ(host.Value(kXSpacing), 33.0);
  EXPECT_EQ(host.Log().Count(HostCall::kUpdateParamUI), 16);
}

TEST(UserChangedParam, ResolutionChangeReappliesThePreset) {
  PluginHost host;
  host.SetValue(kResolution, 3);
  host.SetValue(kPreset, 3);  // "Balanced Grid"
  EXPECT_EQ(host.Value(kXSpacing), 100.0);
  EXPECT_EQ(host.Value(kLineWidth), 2.0);
  host.SetValue(kXSpacing, 7.0);  // a manual edit, overwritten by the next application
  ASSERT_EQ(host.SetValue(kResolution, 5), PF_Err_NONE);  // "3840x2160 UHD 4K"
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
  host.SetValue(kPreset, 9);  // "Quadrants"
  EXPECT_EQ(host.Value(kXSpacing), 250.0);
  EXPECT_EQ(host.Value(kYSpacing), 125.0);
}

TEST(UserChangedParam, OuterColorCountOnlyUpdatesTheColorSlots) {
  PluginHost host;
  host.SetValue(kPreset, 2);
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
  for (std::int32_t preset = 2; preset <= 17; ++preset) {
    host.SetValue(kPreset, preset);
    EXPECT_EQ(host.Value(kBlendMode), kBlendGridOnly) << preset;
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
    host.Configure({.input = {PixelDepth::k8, c.layerWidth, c.layerHeight}});
    host.SetValue(kPreset, c.preset);
    EXPECT_EQ(host.Value(kXSpacing), c.xSpacing);
  }
}

TEST(UserChangedParam, ColorSlotErrorIsReturnedAfterTheWrites) {
  PluginHost host;
  host.AddFault(Fault{.call = HostCall::kUpdateParamUI, .error = 518});
  EXPECT_EQ(host.SetValue(kPreset, 6), 518);
  EXPECT_EQ(host.Value(kXSpacing), 160.0 / 6);  // "Current Size": the 160 x 90 layer
  EXPECT_EQ(host.Log().lastOut.out_flags & test::kPresetOutFlags, test::kPresetOutFlags);
}

TEST(UserChangedParam, MissingRecordsAreLeftAlone) {
  PluginHost host;
  host.SetValue(kPreset, 6);
  const double before = host.Value(kXSpacing);
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
  EXPECT_EQ(host.Log().Count(HostCall::kUpdateParamUI), 0);
}

}  // namespace
}  // namespace tessaline
