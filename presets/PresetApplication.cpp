#include "presets/PresetApplication.h"

#include <array>

#include "core/ParamIndex.h"
#include "host/ColorSlotUI.h"
#include "host/PackedPixel.h"
#include "presets/GridPreset.h"
#include "presets/ReferenceFrameSize.h"

namespace tessaline {
namespace {

// How one GridPreset field reaches its control's value member.
enum class Field { kDouble, kInteger, kCenterColor, kColor, kUseColor };

struct PresetWrite {
  ParamIndex index;
  Field field;
  double GridPreset::*number = nullptr;         // kDouble
  std::int32_t GridPreset::*integer = nullptr;  // kInteger
  int slot = 0;                                 // kColor, kUseColor
};

// The seventeen controls a preset writes, in the order they are written.
constexpr std::array<PresetWrite, 17> kPresetWrites = {{
    {kXSpacing, Field::kDouble, &GridPreset::xSpacing},
    {kYSpacing, Field::kDouble, &GridPreset::ySpacing},
    {kXCount, Field::kInteger, nullptr, &GridPreset::xCount},
    {kYCount, Field::kInteger, nullptr, &GridPreset::yCount},
    {kOuterColorCount, Field::kInteger, nullptr, &GridPreset::outerColorCount},
    {kCenterLineColor, Field::kCenterColor},
    {kLineWidth, Field::kDouble, &GridPreset::lineWidth},
    {kCenterLineWidth, Field::kDouble, &GridPreset::centerLineWidth},
    {kOpacity, Field::kDouble, &GridPreset::opacity},
    {kUseColor1, Field::kUseColor, nullptr, nullptr, 0},
    {kColor1, Field::kColor, nullptr, nullptr, 0},
    {kUseColor2, Field::kUseColor, nullptr, nullptr, 1},
    {kColor2, Field::kColor, nullptr, nullptr, 1},
    {kUseColor3, Field::kUseColor, nullptr, nullptr, 2},
    {kColor3, Field::kColor, nullptr, nullptr, 2},
    {kUseColor4, Field::kUseColor, nullptr, nullptr, 3},
    {kColor4, Field::kColor, nullptr, nullptr, 3},
}};

void Write(const PresetWrite& write, const GridPreset& preset, PF_ParamDef& def) {
  switch (write.field) {
    case Field::kDouble:
      def.u.fs_d.value = preset.*write.number;
      break;
    case Field::kInteger:
      // Sliders and popups keep their value in the same place; the write
      // goes through the member of the control's own type.
      if (write.index == kOuterColorCount)
        def.u.pd.value = preset.*write.integer;
      else
        def.u.sd.value = preset.*write.integer;
      break;
    case Field::kCenterColor:
      def.u.cd.value = UnpackPixel(preset.centerColor);
      break;
    case Field::kColor:
      def.u.cd.value = UnpackPixel(preset.colors[write.slot]);
      break;
    case Field::kUseColor:
      def.u.bd.value = preset.useColor[write.slot];
      break;
  }
  def.uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
}

bool HasRecordsToWrite(PF_ParamDef* params[]) {
  if (params[kPreset] == nullptr || params[kResolution] == nullptr) return false;
  for (const PresetWrite& write : kPresetWrites) {
    if (params[write.index] == nullptr) return false;
  }
  return true;
}

}  // namespace

PF_Err UserChangedParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                        const PF_UserChangedParamExtra* extra) {
  if (in_data == nullptr || out_data == nullptr || params == nullptr || extra == nullptr) {
    return PF_Err_NONE;
  }
  // Every record this command reads or writes must be there; without one the
  // command is left alone, as without params.
  if (!HasRecordsToWrite(params)) return PF_Err_NONE;

  const bool layoutChange = extra->param_index == kPreset || extra->param_index == kResolution;
  const std::int32_t preset = params[kPreset]->u.pd.value;
  if (layoutChange && preset != kPresetCustom) {
    const FrameSize size =
        ReferenceFrameSize(params[kResolution]->u.pd.value, in_data->width, in_data->height);
    const GridPreset layout = ComputeGridPreset(preset, size.width, size.height);
    for (const PresetWrite& write : kPresetWrites) Write(write, layout, *params[write.index]);
    out_data->out_flags |= PF_OutFlag_REFRESH_UI | PF_OutFlag_FORCE_RERENDER;
  }
  return UpdateColorSlotUI(in_data, params);
}

}  // namespace tessaline
