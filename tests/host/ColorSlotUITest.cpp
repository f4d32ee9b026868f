#include "host/ColorSlotUI.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/PluginHost.h"

namespace tessaline {
namespace {

using test::PluginHost;

const std::vector<std::int32_t> kSlotControls = {12, 13, 14, 15, 16, 17, 18, 19};

// Disabled bits sent for 12 to 19, in call order.
std::vector<bool> DisabledSent(const PluginHost& host) {
  std::vector<bool> disabled;
  for (const UpdateParamUIRecord& u : host.Log().uiUpdates)
    disabled.push_back((u.def.ui_flags & PF_PUI_DISABLED) != 0);
  return disabled;
}

struct CountCase {
  std::int32_t count;
  std::vector<bool> disabled;
};

TEST(UpdateColorSlotUI, GreysOutTheSlotsBeyondTheCount) {
  const CountCase cases[] = {
      {4, {false, false, false, false, false, false, false, false}},
      {1, {false, false, true, true, true, true, true, true}},
      {2, {false, false, false, false, true, true, true, true}},
      {3, {false, false, false, false, false, false, true, true}},
      {0, {false, false, true, true, true, true, true, true}},
      {-7, {false, false, true, true, true, true, true, true}},
      {5, {false, false, false, false, false, false, false, false}},
  };
  for (const CountCase& c : cases) {
    PluginHost host;
    host.Param(kOuterColorCount)->u.pd.value = c.count;
    host.ClearLog();
    ASSERT_EQ(host.UpdateParamsUI(), PF_Err_NONE);
    EXPECT_EQ(host.Log().ArgsOf(HostCall::kUpdateParamUI), kSlotControls) << c.count;
    EXPECT_EQ(DisabledSent(host), c.disabled) << c.count;
    EXPECT_EQ(host.Log().SuiteImbalance(), 0);
    EXPECT_EQ(host.Log().releases[HostSuite::kParamUtils], 1);
  }
}

TEST(UpdateColorSlotUI, SendsTheWholeDefinitionWithOnlyTheDisabledBitDecided) {
  PluginHost host;
  host.SetValue(kUseColor2, 0);  // off, but within the count: stays enabled
  host.Param(kOuterColorCount)->u.pd.value = 2;
  host.Param(kColor2)->ui_flags = PF_PUI_ECW_SEPARATOR | PF_PUI_DISABLED;
  host.Param(kUseColor4)->ui_flags = PF_PUI_INVISIBLE;
  host.ClearLog();
  ASSERT_EQ(host.UpdateParamsUI(), PF_Err_NONE);
  const std::vector<UpdateParamUIRecord> updates = host.Log().uiUpdates;
  ASSERT_EQ(updates.size(), 8u);
  EXPECT_EQ(updates[2].def.ui_flags, 0);  // "Use Color 2"
  EXPECT_EQ(updates[2].def.u.bd.value, 0);
  EXPECT_EQ(updates[3].def.ui_flags, PF_PUI_ECW_SEPARATOR);  // "Color 2"
  EXPECT_EQ(updates[6].def.ui_flags, PF_PUI_INVISIBLE | PF_PUI_DISABLED);
  EXPECT_EQ(updates[7].def.u.cd.value.blue, 0);  // "Color 4" yellow, copied whole
  EXPECT_EQ(updates[7].def.u.cd.value.green, 255);
  EXPECT_EQ(std::string(updates[7].def.name), "Color 4");
  // Nothing is written into the host's own records.
  EXPECT_EQ(host.Param(kColor2)->ui_flags, PF_PUI_ECW_SEPARATOR | PF_PUI_DISABLED);
}

TEST(UpdateColorSlotUI, StopsAtTheFirstRefusalAndStillReleasesTheSuite) {
  PluginHost host;
  host.AddFault(Fault{.call = HostCall::kUpdateParamUI, .error = 513, .arg = kUseColor2});
  host.ClearLog();
  EXPECT_EQ(host.UpdateParamsUI(), 513);
  EXPECT_EQ(host.Log().ArgsOf(HostCall::kUpdateParamUI), (std::vector<std::int32_t>{12, 13, 14}));
  EXPECT_EQ(host.Log().releases[HostSuite::kParamUtils], 1);
  EXPECT_EQ(host.Log().SuiteImbalance(), 0);
}

TEST(UpdateColorSlotUI, WithoutTheSuitesNothingHappens) {
  struct Case {
    bool basic, paramUtils;
    Fault fault;
  };
  const Case cases[] = {
      {false, true, {}},
      {true, false, {}},
      {true, true, {.call = HostCall::kAcquireSuite, .effect = FaultEffect::kNullResult}},
      {true, true, {.call = HostCall::kAcquireSuite, .error = 13}},
  };
  for (const Case& c : cases) {
    PluginHost host;
    host.Configure({.basicSuite = c.basic, .suites = {true, c.paramUtils}});
    if (c.fault.call == HostCall::kAcquireSuite) host.AddFault(c.fault);
    host.ClearLog();
    EXPECT_EQ(host.UpdateParamsUI(), PF_Err_NONE);
    EXPECT_EQ(host.Log().Count(HostCall::kUpdateParamUI), 0);
    EXPECT_EQ(host.Log().Count(HostCall::kReleaseSuite), 0);
  }
}

TEST(UpdateColorSlotUI, MissingRecordsAreLeftAlone) {
  PluginHost host;
  PF_InData in = host.MakeInData();
  host.ClearLog();
  EXPECT_EQ(host.Send(PF_Cmd_UPDATE_PARAMS_UI, &in, nullptr, nullptr, nullptr, nullptr),
            PF_Err_NONE);
  EXPECT_EQ(host.Send(PF_Cmd_UPDATE_PARAMS_UI, nullptr, nullptr, host.Params(), nullptr, nullptr),
            PF_Err_NONE);
  for (std::int32_t missing : {11, 12, 19}) {
    std::vector<PF_ParamDef*> params(host.Params(), host.Params() + host.ParamCount());
    params[missing] = nullptr;
    EXPECT_EQ(host.Send(PF_Cmd_UPDATE_PARAMS_UI, &in, nullptr, params.data(), nullptr, nullptr),
              PF_Err_NONE);
  }
  EXPECT_EQ(host.Log().Count(HostCall::kUpdateParamUI), 0);
  EXPECT_EQ(host.Log().SuiteImbalance(), 0);
}

}  // namespace
}  // namespace tessaline
