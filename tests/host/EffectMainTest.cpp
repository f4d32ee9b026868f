#include "host/EffectMain.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "host/PluginVersion.h"
#include "tests/support/CommandRecords.h"
#include "tests/support/HostRules.h"
#include "tests/support/PluginHost.h"
#include "tests/support/PopupValues.h"

namespace tessaline {
namespace {

using test::DrawnColumns;
using test::DrawnRows;
using test::PluginHost;

TEST(EffectMain, IgnoredSelectorsTouchNothing) {
  std::vector<PF_Cmd> ignored = {2,  3,  5,  6,  7,    8,  9,   10,       12,
                                 25, 26, 31, 34, 1000, -1, -24, INT32_MIN};
  for (PF_Cmd cmd = 15; cmd <= 22; ++cmd) ignored.push_back(cmd);
  PluginHost host;
  for (PF_Cmd cmd : ignored) {
    PF_InData in = host.MakeInData();
    PF_OutData out = host.MakeOutData();
    std::memset(out.return_msg, 'x', sizeof(out.return_msg));
    PF_ParamDef param{};
    PF_ParamDef* params[] = {&param, nullptr};
    PF_EffectWorld world{};
    unsigned char extra[64];
    std::memset(extra, 0x5A, sizeof(extra));
    const PF_InData inBefore = in;
    const PF_OutData outBefore = out;
    host.ClearLog();
    EXPECT_EQ(host.Send(cmd, &in, &out, params, &world, extra), PF_Err_NONE) << cmd;
    EXPECT_EQ(std::memcmp(&in, &inBefore, sizeof(in)), 0) << cmd;
    EXPECT_EQ(std::memcmp(&out, &outBefore, sizeof(out)), 0) << cmd;
    EXPECT_EQ(param.uu.change_flags, 0);
    for (unsigned char byte : extra) ASSERT_EQ(byte, 0x5A);
    EXPECT_EQ(host.Log().calls.size(), 1u) << cmd;  // the command alone, no callback
  }
}

TEST(EffectMain, AboutWritesTheTextTerminated) {
  PluginHost host;
  PF_OutData out{};
  std::memset(out.return_msg, 'x', sizeof(out.return_msg));
  ASSERT_EQ(host.Send(PF_Cmd_ABOUT, nullptr, &out, nullptr, nullptr, nullptr), PF_Err_NONE);
  EXPECT_EQ(std::memcmp(out.return_msg, test::kAboutText, sizeof(test::kAboutText)), 0);
  EXPECT_EQ(std::strlen(out.return_msg), 41u);
  EXPECT_EQ(out.return_msg[42], 'x');  // nothing written past the terminator
}

TEST(EffectMain, GlobalSetupAssignsVersionAndFlagsAndNothingElse) {
  PluginHost host;
  PF_OutData out{};
  out.num_params = 77;
  out.out_flags = 0x1;
  std::strcpy(out.return_msg, "kept");
  for (int call = 0; call < 3; ++call) {
    ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP, nullptr, &out, nullptr, nullptr, nullptr),
              PF_Err_NONE);
    EXPECT_EQ(out.my_version, test::kGlobalSetupOut.my_version);
    EXPECT_EQ(out.out_flags, test::kGlobalSetupOut.out_flags);
    EXPECT_EQ(out.out_flags2, test::kGlobalSetupOut.out_flags2);
    EXPECT_EQ(out.num_params, 77);
    EXPECT_STREQ(out.return_msg, "kept");
  }
  EXPECT_EQ(out.my_version, std::uint32_t(TESSALINE_VERSION));
}

// Each record a command needs, missing alone: the answer the contract gives,
// no call into the host, and no record written.
TEST(EffectMain, MissingRecordsPerCommand) {
  for (const test::NeededRecords& needs : test::kNeededRecords) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> missing;  // records, entries
    for (std::uint32_t bit = 1; bit != 0; bit <<= 1)
      if ((needs.records & bit) != 0) missing.push_back({bit, 0});
    for (ParamIndex i : needs.entries) missing.push_back({0, 1u << i});
    for (const auto& [records, entries] : missing) {
      SCOPED_TRACE(::testing::Message() << "command " << needs.cmd << ", records " << records
                                        << ", entries " << entries);
      PluginHost host;
      test::FillPattern(host.Layer());
      SmartFrame frame;
      ASSERT_EQ(host.SmartPreRender(&frame), PF_Err_NONE);
      test::CommandRecords r(host, records, entries);
      r.SetPreRenderData(frame.data());
      const PF_OutData out = r.out;
      const PF_PreRenderOutput preOutput = r.preOutput;
      const std::vector<std::uint8_t> layer = host.Layer().PackedPixels();
      const std::vector<std::uint8_t> output = host.Output().PackedPixels();
      host.ClearLog();
      EXPECT_EQ(r.Send(needs.cmd), needs.answer);
      EXPECT_EQ(test::CallsOf(host.Log()).size(), 0u);
      EXPECT_EQ(std::memcmp(&r.out, &out, sizeof out), 0);
      EXPECT_EQ(std::memcmp(&r.preOutput, &preOutput, sizeof preOutput), 0);
      EXPECT_EQ(host.Layer().PackedPixels(), layer);
      EXPECT_EQ(host.Output().PackedPixels(), output);
    }
  }
}

// A user's session: apply the effect, pick "Margin Frame", switch the
// reference resolution, lower the outer color count, render at each depth.
TEST(EffectMain, WholeSessionAsAUserPlaysIt) {
  PluginHost host;
  EXPECT_EQ(host.ParamCount(), 27);
  EXPECT_EQ(host.Log().lastOut.num_params, 27);
  host.Configure({.input = {PixelDepth::k8, 1920, 1080}});
  host.SetValue(kBlendMode, kBlendGridOnly);

  ASSERT_EQ(host.SetValue(kPreset, test::Preset("Margin Frame")), PF_Err_NONE);  // "Current Size"
  EXPECT_EQ(host.Value(kXSpacing), 96.0);
  EXPECT_EQ(host.Value(kOuterColorCount), 2);
  EXPECT_FALSE(host.IsDisabled(kColor2));
  EXPECT_TRUE(host.IsDisabled(kUseColor3));
  EXPECT_TRUE(host.IsDisabled(kColor4));

  ASSERT_EQ(host.SetValue(kResolution, test::Resolution("1280x720 HD")), PF_Err_NONE);
  EXPECT_EQ(host.Value(kXSpacing), 64.0);
  EXPECT_EQ(host.Value(kYSpacing), 36.0);

  ASSERT_EQ(host.SetValue(kOuterColorCount, 1), PF_Err_NONE);
  EXPECT_TRUE(host.IsDisabled(kUseColor2));
  EXPECT_TRUE(host.IsDisabled(kColor2));
  EXPECT_FALSE(host.IsDisabled(kColor1));
  ASSERT_EQ(host.UpdateParamsUI(), PF_Err_NONE);
  EXPECT_TRUE(host.IsDisabled(kColor2));

  // Two frames around the center at 8 and 9 spacings of 64 x 36, width 2.0,
  // both in color 1 now that one color cycles.
  const std::vector<std::int32_t> columns = {383, 384, 447, 448, 1471, 1472, 1535, 1536};
  const std::vector<std::int32_t> rows = {215, 216, 251, 252, 827, 828, 863, 864};
  for (PixelDepth depth : {PixelDepth::k8, PixelDepth::k16, PixelDepth::kFloat}) {
    for (bool smart : {true, false}) {
      host.Configure({.input = {depth, 1920, 1080}});
      ASSERT_EQ(smart ? host.RenderSmart() : host.RenderLegacy(), PF_Err_NONE);
      // Which pixels of a few rows and columns are drawn, as an 8-bit mask.
      World as8(PixelDepth::k8, 1920, 1080);
      const auto mark = [&](std::int32_t r, std::int32_t c) {
        const bool drawn = depth == PixelDepth::k8 ? host.Output().At<PF_Pixel>(r, c).alpha != 0
                           : depth == PixelDepth::k16
                               ? host.Output().At<PF_Pixel16>(r, c).alpha != 0
                               : host.Output().At<PF_PixelFloat>(r, c).alpha != 0;
        as8.At<PF_Pixel>(r, c).alpha = drawn ? 1 : 0;
      };
      for (std::int32_t c = 0; c < 1920; ++c) mark(540, c);
      for (std::int32_t r = 0; r < 1080; ++r) mark(r, 960);
      EXPECT_EQ(DrawnColumns(as8, 540), columns) << int(depth);  // no center cross
      EXPECT_EQ(DrawnRows(as8, 960), rows) << int(depth);
    }
  }
  // "Color 1" of the preset, 0x8CE650FF: red 80, green 230, blue 140.
  host.Configure({.input = {PixelDepth::k8, 1920, 1080}});
  ASSERT_EQ(host.RenderSmart(), PF_Err_NONE);
  const PF_Pixel p = host.Output().At<PF_Pixel>(540, 448);
  EXPECT_EQ(p.red, 80);
  EXPECT_EQ(p.green, 230);
  EXPECT_EQ(p.blue, 140);
  EXPECT_EQ(host.Log().CheckoutBalance(), 0);
  EXPECT_EQ(host.Log().SuiteImbalance(), 0);
  EXPECT_EQ(host.Log().preRenderKept, host.Log().preRenderDeleted);
  EXPECT_TRUE(host.Log().guardFailures.empty());
}

}  // namespace
}  // namespace tessaline
