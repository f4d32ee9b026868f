#include "host/ParameterSet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/PackedPixel.h"

namespace tessaline {
namespace {

// A host that records every add_param call. (A failing add, at every
// position, is the failure sweep's: HostFailureTest.)
struct RecordingHost {
  std::vector<PF_ParamDef> defs;
  std::vector<PF_ParamIndex> indices;
  PF_InData inData{};
  PF_OutData outData{};

  RecordingHost() {
    inData.inter.add_param = &AddParam;
    inData.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
  }

  static PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def) {
    auto* host = reinterpret_cast<RecordingHost*>(effect_ref);
    host->defs.push_back(*def);
    host->indices.push_back(index);
    return PF_Err_NONE;
  }

  PF_Err Setup() { return ParamsSetup(&inData, &outData); }
};

// Every control as the host must see it, in registration order: the value
// fields of its type (a popup's, slider's or checkbox's default; a color's
// default packed as PackPixel does), a slider's ranges, a popup's or
// checkbox's text.
struct Range {
  double validMin, validMax, sliderMin, sliderMax;
};

struct ExpectedControl {
  A_long id;
  const char* name;
  PF_ParamType type;
  PF_ParamFlags flags = 0;
  double dephault = 0;
  Range range{};
  const char* text = nullptr;
  A_short numChoices = 0;
};

constexpr PF_ParamFlags kSup = PF_ParamFlag_SUPERVISE;
constexpr PF_ParamFlags kColl = PF_ParamFlag_START_COLLAPSED;
constexpr Range kSpacing{1, 10000, 1, 500};
constexpr Range kCount{0, 200, 0, 50};
constexpr double kWhite = 0xFFFFFFFF, kRed = 0x0000FFFF, kBlue = 0xFF0000FF, kGreen = 0x00FF00FF,
                 kYellow = 0x00FFFFFF;

// clang-format off
const ExpectedControl kExpected[] = {
    {1, "Preset", PF_Param_POPUP, kSup, 1, {}, kPresetChoices, 17},
    {2, "Resolution", PF_Param_POPUP, kSup, 1, {}, kResolutionChoices, 20},
    {3, "Layout", PF_Param_GROUP_START},
    {4, "X Spacing", PF_Param_FLOAT_SLIDER, 0, 100, kSpacing},
    {5, "Y Spacing", PF_Param_FLOAT_SLIDER, 0, 100, kSpacing},
    {6, "X Count", PF_Param_SLIDER, 0, 10, kCount},
    {7, "Y Count", PF_Param_SLIDER, 0, 10, kCount},
    {8, "", PF_Param_GROUP_END},
    {9, "Colors", PF_Param_GROUP_START, kColl},
    {10, "Center Line Color", PF_Param_COLOR, 0, kWhite},
    {11, "Outer Color Count", PF_Param_POPUP, kSup, 4, {}, "1 Color|2 Colors|3 Colors|4 Colors", 4},
    {12, "Use Color 1", PF_Param_CHECKBOX, 0, 1, {}, ""},
    {13, "Color 1", PF_Param_COLOR, 0, kRed},
    {14, "Use Color 2", PF_Param_CHECKBOX, 0, 1, {}, ""},
    {15, "Color 2", PF_Param_COLOR, 0, kBlue},
    {16, "Use Color 3", PF_Param_CHECKBOX, 0, 1, {}, ""},
    {17, "Color 3", PF_Param_COLOR, 0, kGreen},
    {18, "Use Color 4", PF_Param_CHECKBOX, 0, 1, {}, ""},
    {19, "Color 4", PF_Param_COLOR, 0, kYellow},
    {20, "", PF_Param_GROUP_END},
    {21, "Style", PF_Param_GROUP_START, kColl},
    {22, "Line Width", PF_Param_FLOAT_SLIDER, 0, 2, {0.1, 20, 0.1, 10}},
    {23, "Center Line Width", PF_Param_FLOAT_SLIDER, 0, 2, {0.1, 20, 0.1, 20}},
    {24, "Opacity", PF_Param_FLOAT_SLIDER, 0, 100, {0, 100, 0, 100}},
    {25, "Blend Mode", PF_Param_POPUP, 0, 1, {}, "Composite Over Source|Grid Only", 2},
    {26, "", PF_Param_GROUP_END},
};
// clang-format on

// A slider's value, default and ranges against the row, in the slider's own
// field types.
template <typename Slider>
void ExpectSlider(const Slider& d, const ExpectedControl& want) {
  using Value = decltype(d.dephault);
  using Bound = decltype(d.valid_min);
  EXPECT_EQ(d.value, decltype(d.value)(Value(want.dephault)));
  EXPECT_EQ(d.dephault, Value(want.dephault));
  EXPECT_EQ(d.valid_min, Bound(want.range.validMin));
  EXPECT_EQ(d.valid_max, Bound(want.range.validMax));
  EXPECT_EQ(d.slider_min, Bound(want.range.sliderMin));
  EXPECT_EQ(d.slider_max, Bound(want.range.sliderMax));
}

// A popup's or checkbox's value and default, and its choices or label.
template <typename Def>
void ExpectValueAndText(const Def& d, const char* text, const ExpectedControl& want) {
  EXPECT_EQ(d.value, want.dephault);
  EXPECT_EQ(d.dephault, want.dephault);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, want.text);
}

// The value fields of the definition's type against the row.
void ExpectValues(const PF_ParamDef& def, const ExpectedControl& want) {
  const PF_ParamDefUnion& u = def.u;
  switch (def.param_type) {
    case PF_Param_POPUP:
      ExpectValueAndText(u.pd, u.pd.u.namesptr, want);
      EXPECT_EQ(u.pd.num_choices, want.numChoices);
      break;
    case PF_Param_FLOAT_SLIDER:
      ExpectSlider(u.fs_d, want);
      EXPECT_EQ(u.fs_d.precision, 2);
      EXPECT_EQ(u.fs_d.display_flags, PF_ValueDisplayFlag_NONE);
      break;
    case PF_Param_SLIDER:
      ExpectSlider(u.sd, want);
      break;
    case PF_Param_CHECKBOX:
      ExpectValueAndText(u.bd, u.bd.u.nameptr, want);
      break;
    case PF_Param_COLOR:
      EXPECT_EQ(PackPixel(u.cd.value), want.dephault);
      EXPECT_EQ(PackPixel(u.cd.dephault), want.dephault);
      break;
    default:
      break;
  }
}

bool AllZero(const void* bytes, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < size; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

TEST(ParameterSet, AcceptingHostGetsEveryControlInIndexOrder) {
  RecordingHost host;
  ASSERT_EQ(host.Setup(), PF_Err_NONE);
  ASSERT_EQ(host.defs.size(), std::size(kExpected));
  for (std::size_t i = 0; i < host.defs.size(); ++i) {
    const PF_ParamDef& def = host.defs[i];
    const ExpectedControl& want = kExpected[i];
    SCOPED_TRACE(want.id);
    EXPECT_EQ(host.indices[i], -1);
    EXPECT_EQ(def.uu.id, want.id);
    EXPECT_STREQ(def.name, want.name);
    EXPECT_EQ(def.param_type, want.type);
    EXPECT_EQ(def.flags, want.flags);
    EXPECT_EQ(def.ui_flags, 0);
    EXPECT_EQ(def.ui_width, 0);
    EXPECT_EQ(def.ui_height, 0);
    EXPECT_EQ(def.unused, 0);
    ExpectValues(def, want);
  }
  EXPECT_EQ(host.outData.num_params, 27);
  EXPECT_EQ(std::string(host.defs[0].u.pd.u.namesptr).substr(0, 18), "Custom|Fine Draft|");
}

class RegisteredDefs : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(host_.Setup(), PF_Err_NONE); }
  const PF_ParamDef& Def(ParamIndex index) const { return host_.defs.at(index - 1); }
  RecordingHost host_;
};

TEST_F(RegisteredDefs, WidthLowerBoundIsTheFloatNearestOneTenth) {
  for (ParamIndex index : {kLineWidth, kCenterLineWidth}) {
    EXPECT_EQ(Def(index).u.fs_d.valid_min, 0.1f);
    EXPECT_EQ(Def(index).u.fs_d.slider_min, 0.1f);
  }
}

// Every byte that no row sets is zero: value strings, phase, exponent,
// reserved fields and the whole union of group entries.
TEST_F(RegisteredDefs, FieldsNotNamedAreZero) {
  for (PF_ParamDef def : host_.defs) {
    SCOPED_TRACE(def.uu.id);
    const PF_ParamType type = def.param_type;
    def.uu.id = 0;
    def.param_type = 0;
    def.flags = 0;
    std::memset(def.name, 0, sizeof def.name);
    PF_ParamDefUnion& u = def.u;
    if (type == PF_Param_POPUP) {
      u.pd.value = u.pd.num_choices = u.pd.dephault = 0;
      u.pd.u.namesptr = nullptr;
    } else if (type == PF_Param_FLOAT_SLIDER) {
      u.fs_d.value = 0;
      u.fs_d.valid_min = u.fs_d.valid_max = u.fs_d.slider_min = u.fs_d.slider_max = 0;
      u.fs_d.dephault = 0;
      u.fs_d.precision = 0;
    } else if (type == PF_Param_SLIDER) {
      u.sd.value = u.sd.valid_min = u.sd.valid_max = u.sd.slider_min = u.sd.slider_max = 0;
      u.sd.dephault = 0;
    } else if (type == PF_Param_CHECKBOX) {
      u.bd.value = 0;
      u.bd.dephault = 0;
      u.bd.u.nameptr = nullptr;
    } else if (type == PF_Param_COLOR) {
      u.cd.value = u.cd.dephault = PF_Pixel{};
    }
    EXPECT_TRUE(AllZero(&def, sizeof def));
  }
}

TEST(ParameterSet, NamesAreTruncatedToTheHostFieldAndTerminated) {
  const std::string exact(31, 'x');
  const std::string longer = exact + "overflow";
  for (const std::string& name : {exact, longer}) {
    ControlRow row = kControlTable[0];
    row.name = name.c_str();
    const PF_ParamDef def = MakeParamDef(row);
    EXPECT_EQ(std::string(def.name), exact);
    EXPECT_EQ(def.name[31], '\0');
  }
}

}  // namespace
}  // namespace tessaline
