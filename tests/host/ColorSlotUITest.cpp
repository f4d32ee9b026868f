#include "host/ColorSlotUI.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/HostRules.h"
#include "tests/support/PluginHost.h"

namespace tessaline {
namespace {

using test::PluginHost;

// Disabled bits sent for 12 to 19, in call order.
std::vector<bool> DisabledSent(const PluginHost& host) {
  std::vector<bool> disabled;
  for (const UpdateParamUIRecord& u : host.Log().uiUpdates)
    disabled.push_back((u.def.ui_flags & PF_PUI_DISABLED) != 0);
  return disabled;
}

// Every update keeps the color slot rule (HostRules.h); the bits it sends,
// stated here as they should read, and what it answers without the suites or
// when the host refuses an update.
TEST(UpdateColorSlotUI, GreysOutTheSlotsBeyondTheCount) {
  constexpr Fault kNone{.call = HostCall::kCount};
  struct Case {
    std::int32_t count;
    std::vector<bool> disabled;
    bool basic = true, paramUtils = true;
    Fault fault = kNone;
    PF_Err expected = PF_Err_NONE;
  };
  const Case cases[] = {
      {4, {false, false, false, false, false, false, false, false}},
      {1, {false, false, true, true, true, true, true, true}},
      {2, {false, false, false, false, true, true, true, true}},
      {3, {false, false, false, false, false, false, true, true}},
      {0, {false, false, true, true, true, true, true, true}},
      {-7, {false, false, true, true, true, true, true, true}},
      {5, {false, false, false, false, false, false, false, false}},
      // Stops at the first refusal and still releases the suite.
      {4,
       {false, false, false},
       true,
       true,
       {.call = HostCall::kUpdateParamUI, .error = 513, .arg = kUseColor2},
       513},
      // Without the suites nothing happens.
      {1, {}, false},
      {1, {}, true, false},
      {1, {}, true, true, {.call = HostCall::kAcquireSuite, .effect = FaultEffect::kNullResult}},
      {1, {}, true, true, {.call = HostCall::kAcquireSuite, .error = 13}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "count " << c.count << ", fault on " << HostCallName(c.fault.call));
    PluginHost host;
    host.Param(kOuterColorCount)->u.pd.value = c.count;
    host.Configure({.basicSuite = c.basic, .suites = {{true, c.paramUtils}}});
    if (c.fault.call != HostCall::kCount) host.AddFault(c.fault);
    host.ClearLog();
    const PF_Err err = host.UpdateParamsUI();
    PF_InData in = host.MakeInData();
    const test::Verdict v = test::JudgeColorSlotUI(host.Log(), in, host.Params());
    EXPECT_EQ(v.breach, "");
    EXPECT_EQ(err, v.expected);
    EXPECT_EQ(err, c.expected);
    EXPECT_EQ(DisabledSent(host), c.disabled);
    EXPECT_EQ(host.Log().SuiteImbalance(), 0);
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

}  // namespace
}  // namespace tessaline
