#pragma once
// The effect's 26 controls, registered with the host behind the input layer
// that the host places at index 0: 27 parameters in all.
#include <array>
#include <cstdint>

#include "core/GridColor.h"
#include "core/ParamIndex.h"
#include "host/HostSdk.h"
#include "presets/PopupLabels.h"

namespace tessaline {

// One control as it is described to the host. Which fields count depends on
// the type: popups use choices, numChoices and dephault; sliders and float
// sliders the ranges and dephault; checkboxes dephault; colors color.
struct ControlRow {
  ParamIndex index;  // also the control's persistent id
  const char* name;
  PF_ParamType type;
  PF_ParamFlags flags = 0;
  double validMin = 0.0;
  double validMax = 0.0;
  double sliderMin = 0.0;
  double sliderMax = 0.0;
  double dephault = 0.0;
  PackedColor color = 0;  // alpha in the low byte, then red, green, blue
  const char* choices = nullptr;
  std::int32_t numChoices = 0;
};

// Decimal places shown by the float sliders.
inline constexpr std::int16_t kFloatSliderPrecision = 2;

inline constexpr std::int32_t kRegisteredControlCount = kParamCount - 1;

namespace detail {
constexpr std::int32_t ChoiceCount(std::size_t labels) {
  return static_cast<std::int32_t>(labels);
}
}  // namespace detail

// clang-format off
inline constexpr std::array<ControlRow, kRegisteredControlCount> kControlTable = {{
    {.index = kPreset, .name = "Preset", .type = PF_Param_POPUP, .flags = PF_ParamFlag_SUPERVISE,
     .dephault = kPresetCustom, .choices = kPresetChoices,
     .numChoices = detail::ChoiceCount(kPresetLabels.size())},
    {.index = kResolution, .name = "Resolution", .type = PF_Param_POPUP,
     .flags = PF_ParamFlag_SUPERVISE, .dephault = kResolutionCurrentSize,
     .choices = kResolutionChoices, .numChoices = detail::ChoiceCount(kResolutionLabels.size())},
    {.index = kLayoutGroup, .name = "Layout", .type = PF_Param_GROUP_START},
    {.index = kXSpacing, .name = "X Spacing", .type = PF_Param_FLOAT_SLIDER,
     .validMin = 1, .validMax = 10000, .sliderMin = 1, .sliderMax = 500, .dephault = 100},
    {.index = kYSpacing, .name = "Y Spacing", .type = PF_Param_FLOAT_SLIDER,
     .validMin = 1, .validMax = 10000, .sliderMin = 1, .sliderMax = 500, .dephault = 100},
    {.index = kXCount, .name = "X Count", .type = PF_Param_SLIDER,
     .validMin = 0, .validMax = 200, .sliderMin = 0, .sliderMax = 50, .dephault = 10},
    {.index = kYCount, .name = "Y Count", .type = PF_Param_SLIDER,
     .validMin = 0, .validMax = 200, .sliderMin = 0, .sliderMax = 50, .dephault = 10},
    {.index = kLayoutGroupEnd, .name = "", .type = PF_Param_GROUP_END},
    {.index = kColorsGroup, .name = "Colors", .type = PF_Param_GROUP_START,
     .flags = PF_ParamFlag_START_COLLAPSED},
    {.index = kCenterLineColor, .name = "Center Line Color", .type = PF_Param_COLOR,
     .color = 0xFFFFFFFFu},
    {.index = kOuterColorCount, .name = "Outer Color Count", .type = PF_Param_POPUP,
     .flags = PF_ParamFlag_SUPERVISE, .dephault = 4, .choices = kOuterColorCountChoices,
     .numChoices = detail::ChoiceCount(kOuterColorCountLabels.size())},
    {.index = kUseColor1, .name = "Use Color 1", .type = PF_Param_CHECKBOX, .dephault = 1},
    {.index = kColor1, .name = "Color 1", .type = PF_Param_COLOR, .color = 0x0000FFFFu},
    {.index = kUseColor2, .name = "Use Color 2", .type = PF_Param_CHECKBOX, .dephault = 1},
    {.index = kColor2, .name = "Color 2", .type = PF_Param_COLOR, .color = 0xFF0000FFu},
    {.index = kUseColor3, .name = "Use Color 3", .type = PF_Param_CHECKBOX, .dephault = 1},
    {.index = kColor3, .name = "Color 3", .type = PF_Param_COLOR, .color = 0x00FF00FFu},
    {.index = kUseColor4, .name = "Use Color 4", .type = PF_Param_CHECKBOX, .dephault = 1},
    {.index = kColor4, .name = "Color 4", .type = PF_Param_COLOR, .color = 0x00FFFFFFu},
    {.index = kColorsGroupEnd, .name = "", .type = PF_Param_GROUP_END},
    {.index = kStyleGroup, .name = "Style", .type = PF_Param_GROUP_START,
     .flags = PF_ParamFlag_START_COLLAPSED},
    {.index = kLineWidth, .name = "Line Width", .type = PF_Param_FLOAT_SLIDER,
     .validMin = 0.1, .validMax = 20, .sliderMin = 0.1, .sliderMax = 10, .dephault = 2},
    {.index = kCenterLineWidth, .name = "Center Line Width", .type = PF_Param_FLOAT_SLIDER,
     .validMin = 0.1, .validMax = 20, .sliderMin = 0.1, .sliderMax = 20, .dephault = 2},
    {.index = kOpacity, .name = "Opacity", .type = PF_Param_FLOAT_SLIDER,
     .validMin = 0, .validMax = 100, .sliderMin = 0, .sliderMax = 100, .dephault = 100},
    {.index = kBlendMode, .name = "Blend Mode", .type = PF_Param_POPUP,
     .dephault = kBlendCompositeOverSource, .choices = kBlendModeChoices,
     .numChoices = detail::ChoiceCount(kBlendModeLabels.size())},
    {.index = kStyleGroupEnd, .name = "", .type = PF_Param_GROUP_END},
}};
// clang-format on

namespace detail {
constexpr bool RowsAreInIndexOrder() {
  for (std::size_t i = 0; i < kControlTable.size(); ++i) {
    if (kControlTable[i].index != static_cast<std::int32_t>(i) + 1) return false;
  }
  return true;
}
}  // namespace detail

static_assert(kControlTable.size() == 26, "one row per registered control");
static_assert(detail::RowsAreInIndexOrder(), "row i registers ParamIndex i + 1");

// The host definition of one control: every field zero except those the row
// sets, uu.id = index, name truncated to the host's field and terminated.
PF_ParamDef MakeParamDef(const ControlRow& row);

// Answers the parameter-setup command: adds the 26 controls in index order
// through in_data->inter.add_param (index -1, append), then sets
// out_data->num_params to 27. The first failing add is returned unchanged and
// leaves num_params alone; missing records give PF_Err_BAD_CALLBACK_PARAM.
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data);

}  // namespace tessaline
