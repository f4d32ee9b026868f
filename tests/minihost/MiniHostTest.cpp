#include "minihost/MiniHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "tests/support/Reconfigure.h"

namespace tessaline {
namespace {

using test::Reconfigure;

// ---- A small effect that uses every host service the plug-in uses ---------

enum FakeParam : PF_ParamIndex { kMode = 1, kGain, kShow, kTint, kStray, kFakeParamCount };

// Writes outside the output's pixels that "Stray" makes the effect do.
enum Stray : std::int32_t { kNoStray, kIntoPadding, kBelowRows, kAboveRows };

constexpr const char* kModeChoices = "Copy|Mark|Grey Tint";

struct FrameSettings {
  double gain;
  std::int32_t stray;
};

void DeleteSettings(void* data) {
  delete static_cast<FrameSettings*>(data);
}

// The red channel of pixel (0, 0) after a render.
template <typename Pixel>
auto Marker(double gain) {
  if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
    return float(gain / 255.0);
  } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
    return A_u_short(std::min(gain * 128.0, 32768.0));
  } else {
    return A_u_char(std::min(gain, 255.0));
  }
}

PF_ParamDef Def(PF_ParamType type, const char* name, PF_ParamFlags flags = 0) {
  PF_ParamDef def{};
  def.param_type = type;
  std::snprintf(def.name, sizeof def.name, "%s", name);
  def.flags = flags;
  return def;
}

PF_Err SetupParams(PF_InData* in, PF_OutData* out) {
  PF_ParamDef defs[] = {Def(PF_Param_POPUP, "Mode", PF_ParamFlag_SUPERVISE),
                        Def(PF_Param_FLOAT_SLIDER, "Gain"), Def(PF_Param_CHECKBOX, "Show"),
                        Def(PF_Param_COLOR, "Tint"), Def(PF_Param_SLIDER, "Stray")};
  defs[0].u.pd.num_choices = 3;
  defs[0].u.pd.dephault = 1;
  defs[0].u.pd.value = 1;
  defs[0].u.pd.u.namesptr = kModeChoices;
  defs[1].u.fs_d.dephault = 10.0f;  // value left 0: the host starts from the default
  defs[1].u.fs_d.valid_max = 1000.0f;
  defs[2].u.bd.dephault = 1;
  defs[2].u.bd.value = 1;
  defs[2].u.bd.u.nameptr = "visible";
  defs[3].u.cd.dephault = PF_Pixel{255, 255, 0, 0};
  defs[3].u.cd.value = defs[3].u.cd.dephault;
  defs[4].u.sd.valid_max = kAboveRows;
  for (PF_ParamIndex i = 0; i < kFakeParamCount - 1; ++i) {
    defs[i].uu.id = i + 1;
    if (const PF_Err err = in->inter.add_param(in->effect_ref, -1, &defs[i])) return err;
  }
  out->num_params = kFakeParamCount;
  return PF_Err_NONE;
}

// Greys out "Tint" in mode 3.
PF_Err UpdateTint(PF_InData* in, PF_ParamDef** params) {
  const void* suite = nullptr;
  if (in->pica_basicP == nullptr ||
      in->pica_basicP->AcquireSuite(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3, &suite) !=
          kSPNoError ||
      suite == nullptr) {
    return PF_Err_NONE;
  }
  PF_ParamDef copy = *params[kTint];
  copy.ui_flags &= ~PF_PUI_DISABLED;
  if (params[kMode]->u.pd.value == 3) copy.ui_flags |= PF_PUI_DISABLED;
  const PF_Err err = static_cast<const PF_ParamUtilsSuite3*>(suite)->PF_UpdateParamUI(
      in->effect_ref, kTint, &copy);
  in->pica_basicP->ReleaseSuite(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3);
  return err;
}

// A change of "Mode" sets "Gain" (flagged) and "Show" (not flagged).
PF_Err UserChanged(PF_InData* in, PF_OutData* out, PF_ParamDef** params,
                   const PF_UserChangedParamExtra* extra) {
  if (extra->param_index != kMode) return PF_Err_NONE;
  params[kGain]->u.fs_d.value = params[kMode]->u.pd.value * 100.0;
  params[kGain]->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
  params[kShow]->u.bd.value = 0;
  out->out_flags |= PF_OutFlag_REFRESH_UI | PF_OutFlag_FORCE_RERENDER;
  return UpdateTint(in, params);
}

PF_PixelFormat FormatOf(PF_InData* in, const PF_EffectWorld& world) {
  PF_PixelFormat format = PF_PixelFormat_INVALID;
  const void* suite = nullptr;
  if (in != nullptr && in->pica_basicP != nullptr &&
      in->pica_basicP->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &suite) == kSPNoError &&
      suite != nullptr) {
    if (static_cast<const PF_WorldSuite2*>(suite)->PF_GetPixelFormat(&world, &format)) {
      format = PF_PixelFormat_INVALID;
    }
    in->pica_basicP->ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
  }
  if (format != PF_PixelFormat_INVALID) return format;
  return (world.world_flags & PF_WorldFlag_DEEP) ? PF_PixelFormat_ARGB64 : PF_PixelFormat_ARGB32;
}

std::uint8_t* RowOf(const PF_EffectWorld& w, std::int32_t r) {
  return reinterpret_cast<std::uint8_t*>(w.data) + std::int64_t{r} * w.rowbytes;
}

// Copies the source's pixels, marks pixel (0, 0), then makes the stray write.
template <typename Pixel>
void Draw(const PF_EffectWorld& src, const PF_EffectWorld& out, const FrameSettings& s) {
  for (std::int32_t r = 0; r < std::min(src.height, out.height); ++r) {
    for (std::int32_t c = 0; c < std::min(src.width, out.width); ++c) {
      reinterpret_cast<Pixel*>(RowOf(out, r))[c] = reinterpret_cast<const Pixel*>(RowOf(src, r))[c];
    }
  }
  if (out.width > 0 && out.height > 0) {
    reinterpret_cast<Pixel*>(RowOf(out, 0))[0].red = Marker<Pixel>(s.gain);
  }
  const bool bottomUp = out.rowbytes < 0;
  const std::int64_t stride = bottomUp ? -std::int64_t{out.rowbytes} : out.rowbytes;
  switch (s.stray) {
    case kIntoPadding:
      RowOf(out, 0)[out.width * sizeof(Pixel)] ^= 0xFF;
      break;
    case kBelowRows:
      RowOf(out, bottomUp ? out.height - 1 : 0)[-1] ^= 0xFF;
      break;
    case kAboveRows:
      RowOf(out, bottomUp ? 0 : out.height - 1)[stride] ^= 0xFF;
      break;
    default:
      break;
  }
}

PF_Err DrawAtDepth(PF_InData* in, const PF_EffectWorld& src, const PF_EffectWorld& out,
                   const FrameSettings& s) {
  switch (FormatOf(in, out)) {
    case PF_PixelFormat_ARGB128:
      Draw<PF_PixelFloat>(src, out, s);
      break;
    case PF_PixelFormat_ARGB64:
      Draw<PF_Pixel16>(src, out, s);
      break;
    default:
      Draw<PF_Pixel>(src, out, s);
      break;
  }
  return PF_Err_NONE;
}

// What the effect was handed in its last commands, for the geometry tests.
struct Seen {
  PF_InData in{};
  PF_CheckoutResult checkout{};
  bool inputNull = false;
  PF_EffectWorld input{};
  PF_EffectWorld output{};
};
Seen g_seen;

PF_Err PreRender(PF_InData* in, PF_PreRenderExtra* extra) {
  if (in == nullptr || extra == nullptr || extra->input == nullptr || extra->output == nullptr ||
      extra->cb == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  auto checkout = [in](PF_ParamIndex index, PF_ParamDef* def) {
    return in->inter.checkout_param(in->effect_ref, index, in->current_time, in->time_step,
                                    in->time_scale, def);
  };
  PF_ParamDef gain{};
  PF_ParamDef stray{};
  if (const PF_Err err = checkout(kGain, &gain)) return err;
  PF_Err err = checkout(kStray, &stray);
  if (err == PF_Err_NONE) {
    PF_RenderRequest req = extra->input->output_request;
    PF_CheckoutResult result{};
    err = extra->cb->checkout_layer(in->effect_ref, 0, 0, &req, in->current_time, in->time_step,
                                    in->time_scale, &result);
    g_seen.checkout = result;
    if (err == PF_Err_NONE) {
      extra->output->result_rect = result.result_rect;
      extra->output->max_result_rect = result.max_result_rect;
      extra->output->pre_render_data = new FrameSettings{gain.u.fs_d.value, stray.u.sd.value};
      extra->output->delete_pre_render_data_func = &DeleteSettings;
    }
    in->inter.checkin_param(in->effect_ref, &stray);
  }
  in->inter.checkin_param(in->effect_ref, &gain);
  return err;
}

PF_Err SmartRender(PF_InData* in, PF_SmartRenderExtra* extra) {
  if (in == nullptr || extra == nullptr || extra->input == nullptr || extra->cb == nullptr ||
      extra->input->pre_render_data == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const auto& settings = *static_cast<const FrameSettings*>(extra->input->pre_render_data);
  PF_EffectWorld* src = nullptr;
  PF_EffectWorld* out = nullptr;
  if (const PF_Err err = extra->cb->checkout_layer_pixels(in->effect_ref, 0, &src)) return err;
  if (const PF_Err err = extra->cb->checkout_output(in->effect_ref, &out)) return err;
  g_seen.in = *in;
  g_seen.inputNull = src == nullptr;
  if (src != nullptr) g_seen.input = *src;
  if (out != nullptr) g_seen.output = *out;
  if (src == nullptr || src->data == nullptr || out == nullptr || out->data == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  return DrawAtDepth(in, *src, *out, settings);
}

PF_Err LegacyRender(PF_InData* in, PF_ParamDef** params, PF_LayerDef* output) {
  if (params == nullptr || output == nullptr || output->data == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const FrameSettings settings{params[kGain]->u.fs_d.value, params[kStray]->u.sd.value};
  g_seen.in = *in;
  g_seen.input = params[0]->u.ld;
  g_seen.output = *output;
  return DrawAtDepth(in, params[0]->u.ld, *output, settings);
}

PF_Err FakeEffect(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef** params,
                  PF_LayerDef* output, void* extra) {
  switch (cmd) {
    case PF_Cmd_ABOUT:
      if (out == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
      std::snprintf(out->return_msg, sizeof out->return_msg, "Fake\rfor the host's tests");
      return PF_Err_NONE;
    case PF_Cmd_PARAMS_SETUP:
      return in != nullptr && out != nullptr ? SetupParams(in, out) : PF_Err_BAD_CALLBACK_PARAM;
    case PF_Cmd_USER_CHANGED_PARAM:
      if (in == nullptr || out == nullptr || params == nullptr || extra == nullptr) return 0;
      return UserChanged(in, out, params, static_cast<PF_UserChangedParamExtra*>(extra));
    case PF_Cmd_UPDATE_PARAMS_UI:
      return in != nullptr && params != nullptr ? UpdateTint(in, params) : PF_Err_NONE;
    case PF_Cmd_SMART_PRE_RENDER:
      return PreRender(in, static_cast<PF_PreRenderExtra*>(extra));
    case PF_Cmd_SMART_RENDER:
      return SmartRender(in, static_cast<PF_SmartRenderExtra*>(extra));
    case PF_Cmd_RENDER:
      return LegacyRender(in, params, output);
    default:
      return PF_Err_NONE;
  }
}

// ---- Helpers ---------------------------------------------------------------

template <typename F>
void ForEachDepth(F&& f) {
  f.template operator()<PF_Pixel>(PixelDepth::k8);
  f.template operator()<PF_Pixel16>(PixelDepth::k16);
  f.template operator()<PF_PixelFloat>(PixelDepth::kFloat);
}

template <typename Pixel>
void FillSample(World& world) {
  using Channel = decltype(Pixel{}.alpha);
  for (std::int32_t r = 0; r < world.height(); ++r) {
    for (std::int32_t c = 0; c < world.width(); ++c) {
      world.At<Pixel>(r, c) =
          Pixel{Channel(200), Channel(3 * r + 1), Channel(5 * c + 2), Channel(r + c)};
    }
  }
}

// The output holds the layer's pixels, with pixel (0, 0) marked.
template <typename Pixel>
void ExpectMarkedCopy(const World& layer, const World& output, double gain) {
  ASSERT_EQ(output.width(), layer.width());
  ASSERT_EQ(output.height(), layer.height());
  int wrong = 0;
  for (std::int32_t r = 0; r < layer.height(); ++r) {
    for (std::int32_t c = 0; c < layer.width(); ++c) {
      Pixel expected = layer.At<Pixel>(r, c);
      if (r == 0 && c == 0) expected.red = Marker<Pixel>(gain);
      wrong += std::memcmp(&expected, &output.At<Pixel>(r, c), sizeof(Pixel)) != 0;
    }
  }
  EXPECT_EQ(wrong, 0);
}

std::vector<std::pair<HostCall, std::int32_t>> CallsAndArgs(const MiniHost& host) {
  std::vector<std::pair<HostCall, std::int32_t>> out;
  for (const CallRecord& r : host.Log().calls) out.emplace_back(r.call, r.arg);
  return out;
}

bool SameRect(const PF_LRect& a, const PF_LRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class HostSession : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(host.ParamsSetup(), PF_Err_NONE);
    host.ClearLog();
  }
  MiniHost host{&FakeEffect};
};

// ---- Session ---------------------------------------------------------------

TEST(MiniHostSetup, RecordsEveryAddAndBuildsTheValuesFromTheDefaults) {
  MiniHost host(&FakeEffect);
  ASSERT_EQ(host.ParamsSetup(), PF_Err_NONE);
  const std::vector<AddParamRecord> adds = host.Log().adds;
  ASSERT_EQ(adds.size(), 5u);
  for (std::size_t i = 0; i < adds.size(); ++i) {
    EXPECT_EQ(adds[i].index, -1);
    EXPECT_EQ(adds[i].def.uu.id, PF_ParamIndex(i + 1));
    EXPECT_EQ(adds[i].result, PF_Err_NONE);
  }
  EXPECT_EQ(adds[0].name, "Mode");
  EXPECT_EQ(adds[0].text, kModeChoices);
  EXPECT_EQ(adds[2].text, "visible");
  EXPECT_EQ(host.Log().lastOut.num_params, kFakeParamCount);

  ASSERT_EQ(host.ParamCount(), kFakeParamCount);
  EXPECT_EQ(host.Params()[kFakeParamCount], nullptr);
  const PF_ParamDef& layer = *host.Params()[0];
  EXPECT_EQ(layer.param_type, PF_Param_LAYER);
  EXPECT_EQ(layer.u.ld.data, host.Layer().def()->data);
  EXPECT_EQ(layer.u.ld.width, host.Layer().width());
  EXPECT_EQ(host.Value(kGain), 10.0);  // the default, not the value passed
  EXPECT_EQ(host.Value(kMode), 1);
  EXPECT_EQ(host.Value(kShow), 1);
  EXPECT_EQ(host.Value(kTint), 0x0000FFFFu);
  EXPECT_STREQ(host.Param(kMode)->u.pd.u.namesptr, kModeChoices);
  EXPECT_NE(host.Param(kMode)->u.pd.u.namesptr, kModeChoices);  // the host's own copy

  EXPECT_EQ(host.FindParam("Gain"), kGain);
  EXPECT_EQ(host.FindParam("Nope"), -1);
  EXPECT_EQ(host.FindParam(""), -1);
  EXPECT_EQ(host.ParamName(kTint), "Tint");
  EXPECT_EQ(host.Choices(kMode), (std::vector<std::string>{"Copy", "Mark", "Grey Tint"}));
  EXPECT_EQ(host.Choices(kShow), std::vector<std::string>{"visible"});

  // A new layer reaches the layer parameter; a second setup registers afresh.
  host.Configure({.input = {PixelDepth::k16, 9, 3}});
  EXPECT_EQ(host.Param(0)->u.ld.data, host.Layer().def()->data);
  ASSERT_EQ(host.ParamsSetup(), PF_Err_NONE);
  EXPECT_EQ(host.ParamCount(), kFakeParamCount);
  EXPECT_EQ(host.Log().adds.size(), 10u);
  EXPECT_EQ(host.Param(0)->u.ld.width, 9);

  EXPECT_EQ(host.About(), PF_Err_NONE);
  EXPECT_EQ(host.Log().AboutText(), "Fake\rfor the host's tests");
}

TEST_F(HostSession, SupervisedChangeTakesOverOnlyTheFlaggedValues) {
  ASSERT_EQ(host.SetValue(kMode, 3), PF_Err_NONE);
  EXPECT_EQ(host.Log().ArgsOf(HostCall::kCommand),
            std::vector<std::int32_t>{PF_Cmd_USER_CHANGED_PARAM});
  EXPECT_EQ(host.Value(kMode), 3);
  EXPECT_EQ(host.Value(kGain), 300.0);
  EXPECT_EQ(host.Param(kGain)->uu.change_flags, PF_ChangeFlag_NONE);
  EXPECT_EQ(host.Value(kShow), 1);  // written without the flag: undone
  EXPECT_EQ(host.Log().takenOver, std::vector<PF_ParamIndex>{kGain});
  EXPECT_EQ(host.Log().ignoredWrites, std::vector<PF_ParamIndex>{kShow});
  EXPECT_EQ(host.Log().lastOut.out_flags, PF_OutFlag_REFRESH_UI | PF_OutFlag_FORCE_RERENDER);

  const std::vector<UpdateParamUIRecord> updates = host.Log().uiUpdates;
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].index, kTint);
  EXPECT_EQ(updates[0].def.param_type, PF_Param_COLOR);
  EXPECT_EQ(updates[0].def.ui_flags, PF_PUI_DISABLED);
  EXPECT_TRUE(host.IsDisabled(kTint));
  EXPECT_EQ(host.Log().acquires[HostSuite::kParamUtils], 1);
  EXPECT_EQ(host.Log().SuiteImbalance(), 0);

  ASSERT_EQ(host.SetValue(kMode, 2), PF_Err_NONE);
  EXPECT_FALSE(host.IsDisabled(kTint));
  EXPECT_EQ(host.Value(kGain), 200.0);
}

TEST_F(HostSession, UnsupervisedChangesSendNothingAndWrongTargetsAreRefused) {
  EXPECT_EQ(host.SetValue(kGain, 42.5), PF_Err_NONE);
  EXPECT_EQ(host.SetValue(kShow, 0), PF_Err_NONE);
  EXPECT_EQ(host.SetValue(kStray, 2), PF_Err_NONE);
  EXPECT_EQ(host.SetValue(kTint, 0x11223344u), PF_Err_NONE);
  EXPECT_EQ(host.Value(kGain), 42.5);
  EXPECT_EQ(host.Value(kShow), 0);
  EXPECT_EQ(host.Value(kStray), 2);
  const PF_Pixel tint = host.Param(kTint)->u.cd.value;
  EXPECT_EQ(tint.alpha, 0x44);
  EXPECT_EQ(tint.red, 0x33);
  EXPECT_EQ(tint.green, 0x22);
  EXPECT_EQ(tint.blue, 0x11);

  EXPECT_EQ(host.SetValue(0, 1.0), PF_Err_UNRECOGNIZED_PARAM_TYPE);  // the layer
  EXPECT_EQ(host.SetValue(kMode, 1.5), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.SetValue(kTint, -1.0), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.SetValue(kFakeParamCount, 1), PF_Err_INVALID_INDEX);
  EXPECT_EQ(host.SetValue(-1, 1), PF_Err_INVALID_INDEX);
  EXPECT_EQ(host.Value(kMode), 1);
  EXPECT_EQ(host.Log().Count(HostCall::kCommand), 0);
}

// ---- Rendering -------------------------------------------------------------

TEST_F(HostSession, SmartRenderAtEveryDepthServesTheFrameAndReleasesItsDataOnce) {
  ForEachDepth([&]<typename Pixel>(PixelDepth depth) {
    SCOPED_TRACE(int(depth));
    host.Configure({.input = {depth, 7, 5}});
    FillSample<Pixel>(host.Layer());
    host.ClearLog();
    ASSERT_EQ(host.RenderSmart(), PF_Err_NONE);
    ExpectMarkedCopy<Pixel>(host.Layer(), host.Output(), 10.0);

    using C = HostCall;
    const std::vector<std::pair<HostCall, std::int32_t>> expected = {
        {C::kCommand, PF_Cmd_SMART_PRE_RENDER},
        {C::kCheckoutParam, kGain},
        {C::kCheckoutParam, kStray},
        {C::kCheckoutLayer, 0},
        {C::kCheckinParam, kStray},
        {C::kCheckinParam, kGain},
        {C::kCommand, PF_Cmd_SMART_RENDER},
        {C::kCheckoutLayerPixels, 0},
        {C::kCheckoutOutput, 0},
        {C::kAcquireSuite, std::int32_t(HostSuite::kWorld)},
        {C::kGetPixelFormat, 0},
        {C::kReleaseSuite, std::int32_t(HostSuite::kWorld)},
        {C::kDeletePreRenderData, 0}};
    EXPECT_EQ(CallsAndArgs(host), expected);
    EXPECT_EQ(host.Log().CheckoutBalance(), 0);
    EXPECT_EQ(host.Log().SuiteImbalance(), 0);
    EXPECT_EQ(host.Log().preRenderKept, 1);
    EXPECT_EQ(host.Log().preRenderDeleted, 1);
    EXPECT_TRUE(host.Log().guardFailures.empty());

    const std::vector<ParamCheckoutRecord> params = host.Log().paramCheckouts;
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0].what_time, 1001);
    EXPECT_EQ(params[0].time_step, 1001);
    EXPECT_EQ(params[0].time_scale, 30000u);
    const std::vector<LayerCheckoutRecord> layers = host.Log().layerCheckouts;
    ASSERT_EQ(layers.size(), 1u);
    EXPECT_EQ(layers[0].checkout_id, 0);
    EXPECT_TRUE(SameRect(layers[0].request.rect, PF_LRect{0, 0, 7, 5}));
    EXPECT_TRUE(SameRect(host.Log().lastPreRender.result_rect, PF_LRect{0, 0, 7, 5}));
  });
}

TEST_F(HostSession, LegacyRenderWritesThroughEveryStrideAtEveryDepth) {
  ForEachDepth([&]<typename Pixel>(PixelDepth depth) {
    for (const std::int32_t padding : {0, 24}) {
      for (const std::int32_t sign : {1, -1}) {
        SCOPED_TRACE(::testing::Message()
                     << int(depth) << " padding " << padding << " sign " << sign);
        const std::int32_t rowbytes = sign * (6 * std::int32_t(sizeof(Pixel)) + padding);
        host.Configure(
            {.input = {depth, 6, 4, -rowbytes}, .output = WorldGeometry{depth, 6, 4, rowbytes}});
        FillSample<Pixel>(host.Layer());
        ASSERT_EQ(host.SetValue(kGain, 77.0), PF_Err_NONE);
        ASSERT_EQ(host.RenderLegacy(), PF_Err_NONE);
        ExpectMarkedCopy<Pixel>(host.Layer(), host.Output(), 77.0);
      }
    }
  });
  EXPECT_TRUE(host.Log().guardFailures.empty());
}

TEST_F(HostSession, StrayWritesShowInTheGuardCheckAfterTheCommand) {
  struct Case {
    Stray stray;
    std::int64_t GuardReport::*zone;  // of a world of its own
  };
  const Case cases[] = {{kIntoPadding, &GuardReport::padding},
                        {kBelowRows, &GuardReport::before},
                        {kAboveRows, &GuardReport::after}};
  for (const Case& c : cases) {
    for (const std::int32_t rowbytes : {24, -24}) {
      // A world of its own, then windows into larger images: every stray
      // write lands on a foreign pixel.
      for (const bool window : {false, true}) {
        SCOPED_TRACE(::testing::Message()
                     << "stray " << c.stray << " rowbytes " << rowbytes << " window " << window);
        HostConfig config{.input = {PixelDepth::k8, 4, 3}};
        if (window) {
          config.output = FollowingOutput{{1, 1, 1, 1}, rowbytes < 0 ? -40 : 40};
        } else {
          config.output = WorldGeometry{PixelDepth::k8, 4, 3, rowbytes};
        }
        host.Configure(config);
        ASSERT_EQ(host.SetValue(kStray, c.stray), PF_Err_NONE);
        host.ClearLog();
        ASSERT_EQ(host.RenderSmart(), PF_Err_NONE);
        const std::vector<GuardFailure> failures = host.Log().guardFailures;
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].cmd, PF_Cmd_SMART_RENDER);
        EXPECT_TRUE(failures[0].output);
        const GuardReport& r = failures[0].report;
        EXPECT_EQ(window ? r.foreign : r.*c.zone, 1) << r.Describe();
        EXPECT_EQ(r.before + r.after + r.padding + r.foreign, 1);
      }
    }
  }
}

// ---- Geometry: rectangles, views and origins --------------------------------

TEST_F(HostSession, SmartRenderHandsViewsOfTheInputAndOutputsAtTheResultRect) {
  struct Case {
    const char* name;
    PF_LRect input;  // the input world's extent: origin and size
    PF_LRect request;
    PF_LRect result, max;  // checkout_layer's answer, the fake's own result
    PF_LRect view;         // what checkout_layer_pixels covers
  };
  const PF_LRect none{};
  const Case cases[] = {
      {"whole layer", {0, 0, 8, 6}, {0, 0, 8, 6}, {0, 0, 8, 6}, {0, 0, 8, 6}, {0, 0, 8, 6}},
      {"grown left", {-3, 0, 8, 6}, {-3, 0, 8, 6}, {-3, 0, 8, 6}, {-3, 0, 8, 6}, {-3, 0, 8, 6}},
      {"grown, a tile", {-3, -1, 8, 6}, {2, 1, 5, 4}, {2, 1, 5, 4}, {-3, -1, 8, 6}, {2, 1, 5, 4}},
      {"offset, wider request",
       {4, 2, 12, 8},
       {0, 0, 8, 6},
       {4, 2, 8, 6},
       {4, 2, 12, 8},
       {4, 2, 8, 6}},
      {"request beside", {0, 0, 8, 6}, {20, 0, 30, 6}, none, {0, 0, 8, 6}, none},
      {"empty request", {0, 0, 8, 6}, none, none, {0, 0, 8, 6}, none},
      {"empty input", {5, 5, 5, 5}, {0, 0, 8, 6}, none, none, none},
  };
  for (const EmptyInput delivery : {EmptyInput::kEmptyWorld, EmptyInput::kNullWorld}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message()
                   << c.name << (delivery == EmptyInput::kNullWorld ? " null" : ""));
      PF_RenderRequest request{};
      request.rect = c.request;
      host.Configure(
          {.input = {PixelDepth::k16, c.input.right - c.input.left, c.input.bottom - c.input.top},
           .inputOrigin = {c.input.left, c.input.top},
           .emptyInput = delivery,
           .outputRequest = request});
      g_seen = Seen{};
      const bool empty = c.view.right == 0 && c.view.left == 0;
      const PF_Err err = host.RenderSmart();
      EXPECT_TRUE(SameRect(g_seen.checkout.result_rect, c.result));
      EXPECT_TRUE(SameRect(g_seen.checkout.max_result_rect, c.max));
      // The fake refuses a null input, as it draws from it.
      ASSERT_EQ(err, empty && delivery == EmptyInput::kNullWorld ? PF_Err_BAD_CALLBACK_PARAM
                                                                 : PF_Err_NONE);
      EXPECT_EQ(g_seen.inputNull, empty && delivery == EmptyInput::kNullWorld);
      const PF_EffectWorld& in = g_seen.input;
      if (!g_seen.inputNull) {
        EXPECT_EQ(in.origin_x, c.view.left);
        EXPECT_EQ(in.origin_y, c.view.top);
        EXPECT_EQ(in.width, c.view.right - c.view.left);
        EXPECT_EQ(in.height, c.view.bottom - c.view.top);
        EXPECT_EQ(in.rowbytes, host.Layer().rowbytes());
      }
      if (!empty) {
        const World& layer = host.Layer();
        EXPECT_EQ(static_cast<const void*>(in.data),
                  static_cast<const void*>(
                      &layer.At<PF_Pixel16>(c.view.top - c.input.top, c.view.left - c.input.left)));
      }
      // The output covers the effect's result_rect and is Output().
      const PF_EffectWorld& out = g_seen.output;
      EXPECT_EQ(out.data, host.Output().def()->data);
      EXPECT_EQ(out.origin_x, c.result.left);
      EXPECT_EQ(out.origin_y, c.result.top);
      EXPECT_EQ(out.width, c.result.right - c.result.left);
      EXPECT_EQ(out.height, c.result.bottom - c.result.top);
      EXPECT_EQ(host.Output().depth(), PixelDepth::k16);
      EXPECT_TRUE(host.Log().guardFailures.empty());
    }
  }
}

TEST_F(HostSession, LegacyRenderAndInDataTellTheLayerAndTheSourceOrigin) {
  host.Configure({.input = {PixelDepth::k8, 10, 7},
                  .output = FollowingOutput{{3, 1, 0, 2}},
                  .inputOrigin = {-2, -1}});
  FillSample<PF_Pixel>(host.Layer());
  ASSERT_EQ(host.RenderLegacy(), PF_Err_NONE);
  EXPECT_EQ(g_seen.in.pre_effect_source_origin_x, 2);
  EXPECT_EQ(g_seen.in.pre_effect_source_origin_y, 1);
  EXPECT_EQ(g_seen.in.width, 10);  // the input's size until the layer's is set
  EXPECT_EQ(g_seen.input.data, host.Layer().def()->data);
  // The output has the input's geometry, origins are for smart check-outs only.
  EXPECT_EQ(g_seen.output.width, 10);
  EXPECT_EQ(g_seen.output.height, 7);
  EXPECT_EQ(g_seen.output.origin_x, 0);
  ExpectMarkedCopy<PF_Pixel>(host.Layer(), host.Output(), 10.0);
  EXPECT_TRUE(host.Log().guardFailures.empty());

  // Half resolution of a 17 x 13 layer: the full size in in_data, whatever the worlds.
  Reconfigure(host, [](auto& c) {
    c.layerSize = {{17, 13}};
    c.downsample = {{1, 2}, {1, 2}};
  });
  ASSERT_EQ(host.RenderSmart(), PF_Err_NONE);
  EXPECT_EQ(g_seen.in.width, 17);
  EXPECT_EQ(g_seen.in.height, 13);
  EXPECT_EQ(g_seen.output.origin_x, -2);
  Reconfigure(host, [](auto& c) { c.layerSize.reset(); });
  EXPECT_EQ(host.MakeInData().width, 10);

  // An output the host cannot make: no render command is sent.
  const PF_LRect huge{0, 0, 1 << 20, 1 << 20};
  Reconfigure(host, [&](auto& c) { c.checkoutRects = {{huge, huge}}; });
  host.ClearLog();
  EXPECT_EQ(host.RenderSmart(), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(host.Log().ArgsOf(HostCall::kCommand),
            std::vector<std::int32_t>{PF_Cmd_SMART_PRE_RENDER});
  EXPECT_EQ(host.Log().preRenderDeleted, 1);
}

TEST_F(HostSession, OneFrameRendersOnSeveralThreadsBesideAnotherHost) {
  host.Configure({.input = {PixelDepth::k16, 33, 17}});
  FillSample<PF_Pixel16>(host.Layer());
  SmartFrame frame;
  ASSERT_EQ(host.SmartPreRender(&frame), PF_Err_NONE);
  ASSERT_EQ(host.SmartRender(frame), PF_Err_NONE);
  const std::vector<std::uint8_t> reference = host.Output().PackedPixels();

  constexpr int kThreads = 4;
  constexpr int kFrames = 8;
  std::vector<std::unique_ptr<World>> outputs;
  for (int t = 0; t < kThreads; ++t) {
    outputs.push_back(std::make_unique<World>(PixelDepth::k16, 33, 17, -(33 * 8 + 16)));
  }
  std::vector<PF_Err> results(kThreads * kFrames, -1);
  MiniHost other(&FakeEffect);
  PF_Err otherResult = -1;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int f = 0; f < kFrames; ++f) {
        outputs[t]->Clear();
        results[t * kFrames + f] = host.SmartRender(frame, outputs[t].get());
        if (outputs[t]->PackedPixels() != reference) results[t * kFrames + f] = -2;
      }
    });
  }
  threads.emplace_back([&] {
    otherResult = other.ParamsSetup();
    for (int f = 0; f < kFrames && otherResult == PF_Err_NONE; ++f)
      otherResult = other.RenderSmart();
  });
  for (std::thread& t : threads) t.join();
  frame.Release();
  frame.Release();

  EXPECT_EQ(std::count(results.begin(), results.end(), PF_Err_NONE), kThreads * kFrames);
  EXPECT_EQ(otherResult, PF_Err_NONE);
  EXPECT_EQ(host.Log().Count(HostCall::kCommand), 2 + kThreads * kFrames);
  EXPECT_EQ(host.Log().preRenderDeleted, 1);
  EXPECT_EQ(host.Log().SuiteImbalance(), 0);
  EXPECT_EQ(host.Log().badEffectRefs, 0);
  EXPECT_EQ(other.Log().Count(HostCall::kCommand), 1 + 2 * kFrames);
  EXPECT_EQ(other.Log().preRenderDeleted, kFrames);
  EXPECT_TRUE(host.Log().guardFailures.empty());
}

// ---- Faults ----------------------------------------------------------------

TEST_F(HostSession, EachFaultHitsItsCallAndTheFrameIsStillCleanedUp) {
  struct Case {
    const char* name;
    Fault fault;
    PF_Err result;     // of RenderSmart
    HostCall counted;  // a call whose count shows where the effect stopped
    std::int64_t count;
  };
  using C = HostCall;
  using E = FaultEffect;
  const std::int32_t world = std::int32_t(HostSuite::kWorld);
  const Case cases[] = {
      {"second check-out", {C::kCheckoutParam, 2, E::kFail, 9}, 9, C::kCheckinParam, 1},
      {"check-out of Stray", {C::kCheckoutParam, 1, E::kFail, 9, kStray}, 9, C::kCheckoutLayer, 0},
      {"layer check-out", {C::kCheckoutLayer, 1, E::kFail, 12}, 12, C::kCheckinParam, 2},
      {"no input world", {C::kCheckoutLayerPixels, 1, E::kNullResult}, 516, C::kCheckoutOutput, 1},
      {"input without data", {C::kCheckoutLayerPixels, 1, E::kNoData}, 516, C::kGetPixelFormat, 0},
      {"output check-out", {C::kCheckoutOutput, 1, E::kFail, 13}, 13, C::kGetPixelFormat, 0},
      {"output without data", {C::kCheckoutOutput, 1, E::kNoData}, 516, C::kGetPixelFormat, 0},
      {"pixel format", {C::kGetPixelFormat, 1, E::kFail, 14}, 0, C::kReleaseSuite, 1},
      {"world suite refused", {C::kAcquireSuite, 1, E::kFail, 15, world}, 0, C::kReleaseSuite, 0},
      {"world suite null", {C::kAcquireSuite, 1, E::kNullResult}, 0, C::kGetPixelFormat, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.ClearLog();
    host.ClearFaults();
    host.AddFault(c.fault);
    EXPECT_EQ(host.RenderSmart(), c.result);
    EXPECT_EQ(host.FaultsFired(), 1);
    EXPECT_EQ(host.Log().Count(c.counted), c.count);
    EXPECT_EQ(host.Log().CheckoutBalance(), 0);
    EXPECT_EQ(host.Log().SuiteImbalance(), 0);
    EXPECT_EQ(host.Log().preRenderKept, host.Log().preRenderDeleted);
    if (c.fault.effect == E::kFail) {
      const std::vector<CallRecord> log = host.Log().calls;
      const auto hit = std::find_if(log.begin(), log.end(), [&](const CallRecord& r) {
        return r.call == c.fault.call && r.result == c.fault.error;
      });
      EXPECT_NE(hit, log.end());
    }
  }
}

TEST(MiniHostFaults, AnAddFailsOnItsNthCallOnlyAndRepeatingFaultsKeepFailing) {
  MiniHost host(&FakeEffect);
  host.AddFault(Fault{HostCall::kAddParam, 3, FaultEffect::kFail, 7});
  EXPECT_EQ(host.ParamsSetup(), 7);
  const std::vector<AddParamRecord> adds = host.Log().adds;
  ASSERT_EQ(adds.size(), 3u);
  EXPECT_EQ(adds[1].result, PF_Err_NONE);
  EXPECT_EQ(adds[2].result, 7);
  EXPECT_EQ(host.ParamCount(), 3);  // the layer and the two controls added
  EXPECT_EQ(host.Log().lastOut.num_params, 1);
  EXPECT_EQ(host.ParamsSetup(), PF_Err_NONE);  // the fault hit its one call
  EXPECT_EQ(host.ParamCount(), kFakeParamCount);

  host.AddFault(Fault{HostCall::kCheckoutParam, 2, FaultEffect::kFail, 8, kAnyArg, true});
  EXPECT_EQ(host.RenderSmart(), 8);  // calls 1 and 2
  EXPECT_EQ(host.RenderSmart(), 8);  // call 3
  EXPECT_EQ(host.FaultsFired(), 3);
  EXPECT_EQ(host.Log().CheckoutBalance(), 0);
}

// ---- Suites and raw commands -----------------------------------------------

// What ProbeEffect found; passed as the command's extra.
struct Probe {
  bool basicSuite = false;
  SPErr worldV1 = -1;
  SPErr unknown = -1;
  SPErr world = -1;
  PF_Err format = -1;
  PF_PixelFormat pixelFormat = 0;
  SPErr release = -1;
};

PF_Err ProbeEffect(PF_Cmd, PF_InData* in, PF_OutData*, PF_ParamDef**, PF_LayerDef* output,
                   void* extra) {
  auto* probe = static_cast<Probe*>(extra);
  if (probe == nullptr || in == nullptr) return PF_Err_NONE;
  *probe = Probe{};
  probe->basicSuite = in->pica_basicP != nullptr;
  if (!probe->basicSuite) return PF_Err_NONE;
  SPBasicSuite& basic = *in->pica_basicP;
  const void* suite = nullptr;
  probe->worldV1 = basic.AcquireSuite(kPFWorldSuite, 1, &suite);
  probe->unknown = basic.AcquireSuite("PF No Such Suite", 1, &suite);
  probe->world = basic.AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &suite);
  if (probe->world == kSPNoError && suite != nullptr) {
    probe->format =
        static_cast<const PF_WorldSuite2*>(suite)->PF_GetPixelFormat(output, &probe->pixelFormat);
    probe->release = basic.ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
  }
  return PF_Err_NONE;
}

TEST(MiniHostSuites, ServesKnownSuitesOnlyAndReportsEachWorldsFormat) {
  MiniHost host(&ProbeEffect, {.input = {PixelDepth::k16, 4, 4},
                               .output = WorldGeometry{PixelDepth::kFloat, 4, 4}});
  Probe p;
  auto send = [&](PF_LayerDef* world) {
    PF_InData in = host.MakeInData();
    PF_OutData out = host.MakeOutData();
    return host.Send(PF_Cmd_COMPLETELY_GENERAL, &in, &out, nullptr, world, &p);
  };
  ASSERT_EQ(send(host.Output().def()), PF_Err_NONE);
  EXPECT_TRUE(p.basicSuite);
  EXPECT_EQ(p.worldV1, kSuiteNotFoundError);
  EXPECT_EQ(p.unknown, kSuiteNotFoundError);
  EXPECT_EQ(p.world, kSPNoError);
  EXPECT_EQ(p.format, PF_Err_NONE);
  EXPECT_EQ(p.pixelFormat, PF_PixelFormat_ARGB128);
  EXPECT_EQ(p.release, kSPNoError);
  EXPECT_EQ(host.Log().ArgsOf(HostCall::kAcquireSuite),
            (std::vector<std::int32_t>{kUnknownSuite, kUnknownSuite, 0}));
  EXPECT_EQ(host.Log().acquires[HostSuite::kWorld], 1);
  EXPECT_EQ(host.Log().releases[HostSuite::kWorld], 1);
  EXPECT_EQ(host.Log().SuiteImbalance(), 0);

  send(&host.Param(0)->u.ld);  // a copy of the layer's record
  EXPECT_EQ(p.pixelFormat, PF_PixelFormat_ARGB64);
  host.Output().setPixelFormat(PF_PixelFormat_BGRA32);
  send(host.Output().def());
  EXPECT_EQ(p.pixelFormat, PF_PixelFormat_BGRA32);
  PF_EffectWorld stranger = *host.Output().def();
  stranger.data = nullptr;
  send(&stranger);
  EXPECT_EQ(p.format, PF_Err_BAD_CALLBACK_PARAM);
  host.AddFault(Fault{HostCall::kGetPixelFormat, 1, FaultEffect::kFail, 21});
  send(host.Output().def());
  EXPECT_EQ(p.format, 21);
  Reconfigure(host, [](auto& c) { c.suites[HostSuite::kWorld] = false; });
  send(host.Output().def());
  EXPECT_EQ(p.world, kSuiteNotFoundError);
  Reconfigure(host, [](auto& c) { c.basicSuite = false; });
  send(host.Output().def());
  EXPECT_FALSE(p.basicSuite);
  EXPECT_EQ(host.Log().SuiteImbalance(), 0);
}

// The commands the effect received: in_data and extra as given.
struct Sent {
  PF_Cmd cmd;
  PF_InData in;
  void* extra;
};
std::vector<Sent> g_sent;

PF_Err RecordingEffect(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef** params,
                       PF_LayerDef* output, void* extra) {
  g_sent.push_back(Sent{cmd, in != nullptr ? *in : PF_InData{}, extra});
  return FakeEffect(cmd, in, out, params, output, extra);
}

TEST(MiniHostSparse, LeavesInDataSparseAndRendersThroughTheLegacyCommandOnly) {
  MiniHost host(&RecordingEffect, {.suites = {{true, false}}, .sparseHost = true});
  g_sent.clear();
  ASSERT_EQ(host.About(), PF_Err_NONE);
  ASSERT_EQ(host.GlobalSetup(), PF_Err_NONE);
  ASSERT_EQ(host.ParamsSetup(), PF_Err_NONE);
  ASSERT_EQ(host.UpdateParamsUI(), PF_Err_NONE);  // the suite: no error and no table
  ASSERT_EQ(host.RenderLegacy(), PF_Err_NONE);
  EXPECT_EQ(host.RenderSmart(), PF_Err_INVALID_CALLBACK);
  EXPECT_EQ(host.Log().ArgsOf(HostCall::kAcquireSuite),
            (std::vector<std::int32_t>{std::int32_t(HostSuite::kParamUtils),
                                       std::int32_t(HostSuite::kWorld)}));
  EXPECT_EQ(host.Log().releases[HostSuite::kParamUtils], 0);
  ASSERT_EQ(g_sent.size(), 5u);
  for (const Sent& s : g_sent) {
    SCOPED_TRACE(s.cmd);
    const PF_InData& in = s.in;
    const bool early = s.cmd == PF_Cmd_ABOUT || s.cmd == PF_Cmd_GLOBAL_SETUP;
    EXPECT_EQ(in.effect_ref, early ? nullptr : host.EffectRef());
    EXPECT_EQ(s.extra, &host);
    const std::int64_t fields[] = {in.width,
                                   in.height,
                                   in.version.major,
                                   in.version.minor,
                                   in.appl_id,
                                   in.current_time,
                                   in.time_step,
                                   in.total_time,
                                   in.local_time_step,
                                   in.time_scale,
                                   in.extent_hint.left,
                                   in.extent_hint.top,
                                   in.extent_hint.right,
                                   in.extent_hint.bottom,
                                   in.downsample_x.num,
                                   in.downsample_x.den,
                                   in.downsample_y.num,
                                   in.downsample_y.den,
                                   in.pixel_aspect_ratio.num,
                                   in.pixel_aspect_ratio.den};
    EXPECT_TRUE(std::all_of(std::begin(fields), std::end(fields), [](auto v) { return v == 0; }));
  }
}

TEST_F(HostSession, RawCommandsPassRecordsAsGivenAndForeignEffectRefsAreCaught) {
  EXPECT_EQ(host.Send(PF_Cmd_SMART_RENDER, nullptr, nullptr, nullptr, nullptr, nullptr),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.Send(-1, nullptr, nullptr, nullptr, nullptr, nullptr), PF_Err_NONE);
  const std::vector<CallRecord> log = host.Log().calls;
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].arg, PF_Cmd_SMART_RENDER);
  EXPECT_EQ(log[0].result, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(log[1].arg, -1);

  // A pre-render whose in_data names another effect_ref.
  PF_InData in = host.MakeInData();
  in.effect_ref = reinterpret_cast<PF_ProgPtr>(&in);
  PF_PreRenderInput input{};
  PF_PreRenderOutput output{};
  PF_PreRenderCallbacks cb = host.MakePreRenderCallbacks();
  PF_PreRenderExtra extra{&input, &output, &cb};
  EXPECT_EQ(host.Send(PF_Cmd_SMART_PRE_RENDER, &in, nullptr, nullptr, nullptr, &extra),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.Log().badEffectRefs, 1);
  EXPECT_EQ(host.Log().CheckoutBalance(), 0);

  // Outside a command no callback serves anyone.
  PF_ParamDef def{};
  EXPECT_EQ(in.inter.checkout_param(host.EffectRef(), kGain, 0, 1, 1, &def),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.Log().Count(HostCall::kCheckoutParam), 1);
}

}  // namespace
}  // namespace tessaline
