#include "host/ParameterSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace tessaline {
namespace {

// A host that records every add_param call and can fail the N-th one.
struct RecordingHost {
  std::vector<PF_ParamDef> defs;
  std::vector<PF_ParamIndex> indices;
  std::size_t failAt = 0;  // 1-based; 0 never fails
  PF_Err failWith = PF_Err_NONE;

  PF_InData inData{};
  PF_OutData outData{};

  static constexpr A_long kUntouched = -12345;

  RecordingHost() {
    inData.inter.add_param = &AddParam;
    inData.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
    outData.num_params = kUntouched;
  }

  static PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def) {
    auto* host = reinterpret_cast<RecordingHost*>(effect_ref);
    host->defs.push_back(*def);
    host->indices.push_back(index);
    return host->defs.size() == host->failAt ? host->failWith : PF_Err_NONE;
  }

  PF_Err Setup() { return ParamsSetup(&inData, &outData); }
};

// The registration order as the host must see it.
struct ExpectedControl {
  A_long id;
  const char* name;
  PF_ParamType type;
  PF_ParamFlags flags;
};

constexpr PF_ParamFlags kSup = PF_ParamFlag_SUPERVISE;
constexpr PF_ParamFlags kColl = PF_ParamFlag_START_COLLAPSED;

const ExpectedControl kExpected[] = {
    {1, "Preset", PF_Param_POPUP, kSup},
    {2, "Resolution", PF_Param_POPUP, kSup},
    {3, "Layout", PF_Param_GROUP_START, 0},
    {4, "X Spacing", PF_Param_FLOAT_SLIDER, 0},
    {5, "Y Spacing", PF_Param_FLOAT_SLIDER, 0},
    {6, "X Count", PF_Param_SLIDER, 0},
    {7, "Y Count", PF_Param_SLIDER, 0},
    {8, "", PF_Param_GROUP_END, 0},
    {9, "Colors", PF_Param_GROUP_START, kColl},
    {10, "Center Line Color", PF_Param_COLOR, 0},
    {11, "Outer Color Count", PF_Param_POPUP, kSup},
    {12, "Use Color 1", PF_Param_CHECKBOX, 0},
    {13, "Color 1", PF_Param_COLOR, 0},
    {14, "Use Color 2", PF_Param_CHECKBOX, 0},
    {15, "Color 2", PF_Param_COLOR, 0},
    {16, "Use Color 3", PF_Param_CHECKBOX, 0},
    {17, "Color 3", PF_Param_COLOR, 0},
    {18, "Use Color 4", PF_Param_CHECKBOX, 0},
    {19, "Color 4", PF_Param_COLOR, 0},
    {20, "", PF_Param_GROUP_END, 0},
    {21, "Style", PF_Param_GROUP_START, kColl},
    {22, "Line Width", PF_Param_FLOAT_SLIDER, 0},
    {23, "Center Line Width", PF_Param_FLOAT_SLIDER, 0},
    {24, "Opacity", PF_Param_FLOAT_SLIDER, 0},
    {25, "Blend Mode", PF_Param_POPUP, 0},
    {26, "", PF_Param_GROUP_END, 0},
};

bool AllZero(const void* bytes, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < size; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

TEST(ParameterSet, AcceptingHostGetsTheControlsInIndexOrder) {
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
  }
  EXPECT_EQ(host.outData.num_params, 27);
}

TEST(ParameterSet, FailingAddStopsSetupWithItsError) {
  struct Case {
    std::size_t failAt;
    PF_Err err;
  };
  const Case cases[] = {{1, PF_Err_OUT_OF_MEMORY}, {5, PF_Err_INVALID_INDEX}, {5, -77}, {26, 9999}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failAt);
    RecordingHost host;
    host.failAt = c.failAt;
    host.failWith = c.err;
    EXPECT_EQ(host.Setup(), c.err);
    ASSERT_EQ(host.defs.size(), c.failAt);
    EXPECT_EQ(host.defs.back().uu.id, static_cast<A_long>(c.failAt));
    EXPECT_EQ(host.outData.num_params, RecordingHost::kUntouched);
  }
}

TEST(ParameterSet, MissingRecordsAnswerBadCallbackParamBeforeAnyAdd) {
  RecordingHost host;
  EXPECT_EQ(ParamsSetup(nullptr, &host.outData), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(ParamsSetup(&host.inData, nullptr), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(ParamsSetup(nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
  host.inData.inter.add_param = nullptr;
  EXPECT_EQ(host.Setup(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(host.defs.empty());
  EXPECT_EQ(host.outData.num_params, RecordingHost::kUntouched);
}

class RegisteredDefs : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(host_.Setup(), PF_Err_NONE); }
  const PF_ParamDef& Def(ParamIndex index) const { return host_.defs.at(index - 1); }
  RecordingHost host_;
};

TEST_F(RegisteredDefs, PopupsStartAtTheirDefaultsWithTheirChoices) {
  struct Case {
    ParamIndex index;
    A_long value;
    A_short numChoices;
    const char* choices;
  };
  const Case cases[] = {
      {kPreset, 1, 17, kPresetChoices},
      {kResolution, 1, 20, kResolutionChoices},
      {kOuterColorCount, 4, 4, "1 Color|2 Colors|3 Colors|4 Colors"},
      {kBlendMode, 1, 2, "Composite Over Source|Grid Only"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    const PF_PopupDef& pd = Def(c.index).u.pd;
    EXPECT_EQ(pd.value, c.value);
    EXPECT_EQ(pd.dephault, c.value);
    EXPECT_EQ(pd.num_choices, c.numChoices);
    ASSERT_NE(pd.u.namesptr, nullptr);
    EXPECT_STREQ(pd.u.namesptr, c.choices);
  }
  EXPECT_EQ(std::string(Def(kPreset).u.pd.u.namesptr).substr(0, 18), "Custom|Fine Draft|");
}

TEST_F(RegisteredDefs, SlidersCarryTheirRangesAndDefaults) {
  struct Case {
    ParamIndex index;
    float validMin, validMax, sliderMin, sliderMax, dephault;
  };
  const Case floats[] = {
      {kXSpacing, 1, 10000, 1, 500, 100},  {kYSpacing, 1, 10000, 1, 500, 100},
      {kLineWidth, 0.1f, 20, 0.1f, 10, 2}, {kCenterLineWidth, 0.1f, 20, 0.1f, 20, 2},
      {kOpacity, 0, 100, 0, 100, 100},
  };
  for (const Case& c : floats) {
    SCOPED_TRACE(c.index);
    const PF_FloatSliderDef& fs = Def(c.index).u.fs_d;
    EXPECT_EQ(fs.value, static_cast<double>(c.dephault));
    EXPECT_EQ(fs.valid_min, c.validMin);
    EXPECT_EQ(fs.valid_max, c.validMax);
    EXPECT_EQ(fs.slider_min, c.sliderMin);
    EXPECT_EQ(fs.slider_max, c.sliderMax);
    EXPECT_EQ(fs.dephault, c.dephault);
    EXPECT_EQ(fs.precision, 2);
    EXPECT_EQ(fs.display_flags, PF_ValueDisplayFlag_NONE);
  }
  for (ParamIndex index : {kXCount, kYCount}) {
    SCOPED_TRACE(index);
    const PF_SliderDef& sd = Def(index).u.sd;
    EXPECT_EQ(sd.value, 10);
    EXPECT_EQ(sd.dephault, 10);
    EXPECT_EQ(sd.valid_min, 0);
    EXPECT_EQ(sd.valid_max, 200);
    EXPECT_EQ(sd.slider_min, 0);
    EXPECT_EQ(sd.slider_max, 50);
  }
}

TEST_F(RegisteredDefs, WidthLowerBoundIsTheFloatNearestOneTenth) {
  const float tenth = Def(kLineWidth).u.fs_d.valid_min;
  const double error = std::fabs(static_cast<double>(tenth) - 0.1);
  EXPECT_LT(error, std::fabs(static_cast<double>(std::nextafter(tenth, 1.0f)) - 0.1));
  EXPECT_LT(error, std::fabs(static_cast<double>(std::nextafter(tenth, 0.0f)) - 0.1));
  for (ParamIndex index : {kLineWidth, kCenterLineWidth}) {
    EXPECT_EQ(Def(index).u.fs_d.valid_min, tenth);
    EXPECT_EQ(Def(index).u.fs_d.slider_min, tenth);
  }
}

TEST_F(RegisteredDefs, CheckboxesStartOnWithoutLabel) {
  for (int slot = 0; slot < kColorSlotCount; ++slot) {
    SCOPED_TRACE(slot);
    const PF_CheckBoxDef& bd = Def(UseColorParam(slot)).u.bd;
    EXPECT_EQ(bd.value, 1);
    EXPECT_EQ(bd.dephault, 1);
    ASSERT_NE(bd.u.nameptr, nullptr);
    EXPECT_STREQ(bd.u.nameptr, "");
  }
}

TEST_F(RegisteredDefs, ColorsStartAtTheirDefaultsWithFullAlpha) {
  struct Case {
    ParamIndex index;
    A_u_char red, green, blue;
  };
  const Case cases[] = {{kCenterLineColor, 255, 255, 255},
                        {kColor1, 255, 0, 0},
                        {kColor2, 0, 0, 255},
                        {kColor3, 0, 255, 0},
                        {kColor4, 255, 255, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    const PF_ColorDef& cd = Def(c.index).u.cd;
    for (const PF_Pixel& p : {cd.value, cd.dephault}) {
      EXPECT_EQ(p.alpha, 255);
      EXPECT_EQ(p.red, c.red);
      EXPECT_EQ(p.green, c.green);
      EXPECT_EQ(p.blue, c.blue);
    }
  }
}

TEST_F(RegisteredDefs, OnlyThreeControlsAreSupervisedAndTwoGroupsCollapsed) {
  std::vector<A_long> supervised, collapsed;
  for (const PF_ParamDef& def : host_.defs) {
    if (def.flags & PF_ParamFlag_SUPERVISE) supervised.push_back(def.uu.id);
    if (def.flags & PF_ParamFlag_START_COLLAPSED) collapsed.push_back(def.uu.id);
  }
  EXPECT_EQ(supervised, (std::vector<A_long>{kPreset, kResolution, kOuterColorCount}));
  EXPECT_EQ(collapsed, (std::vector<A_long>{kColorsGroup, kStyleGroup}));
  EXPECT_EQ(Def(kLayoutGroup).flags, 0);
  EXPECT_EQ(Def(kBlendMode).flags, 0);
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

TEST(ParameterSet, ControlsAreFoundByLabelAndType) {
  const ControlRow* opacity = FindControl("Opacity", PF_Param_FLOAT_SLIDER);
  ASSERT_NE(opacity, nullptr);
  EXPECT_EQ(opacity->index, kOpacity);
  EXPECT_EQ(FindControl("Opacity", PF_Param_SLIDER), nullptr);
  EXPECT_EQ(FindControl("Color 3", PF_Param_COLOR)->index, kColor3);
  EXPECT_EQ(FindControl("No Such Control", PF_Param_POPUP), nullptr);
}

}  // namespace
}  // namespace tessaline
