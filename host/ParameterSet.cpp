#include "host/ParameterSet.h"

#include <cstring>

#include "host/PackedPixel.h"

namespace tessaline {
namespace {

void CopyName(A_char (&field)[PF_MAX_EFFECT_PARAM_NAME_LEN + 1], const char* name) {
  std::size_t length = name != nullptr ? std::strlen(name) : 0;
  if (length > PF_MAX_EFFECT_PARAM_NAME_LEN) length = PF_MAX_EFFECT_PARAM_NAME_LEN;
  std::memcpy(field, name, length);
  field[length] = '\0';
}

// The label beside every checkbox: none.
constexpr const char* kNoCheckboxLabel = "";

// add_param index that appends after the last parameter.
constexpr PF_ParamIndex kAppend = -1;

}  // namespace

PF_ParamDef MakeParamDef(const ControlRow& row) {
  PF_ParamDef def;
  std::memset(&def, 0, sizeof def);
  def.uu.id = row.index;
  def.param_type = row.type;
  CopyName(def.name, row.name);
  def.flags = row.flags;

  switch (row.type) {
    case PF_Param_POPUP:
      def.u.pd.value = static_cast<PF_ParamValue>(row.dephault);
      def.u.pd.num_choices = static_cast<A_short>(row.numChoices);
      def.u.pd.dephault = static_cast<A_short>(row.dephault);
      def.u.pd.u.namesptr = row.choices;
      break;
    case PF_Param_FLOAT_SLIDER:
      def.u.fs_d.value = row.dephault;
      def.u.fs_d.valid_min = static_cast<PF_FpShort>(row.validMin);
      def.u.fs_d.valid_max = static_cast<PF_FpShort>(row.validMax);
      def.u.fs_d.slider_min = static_cast<PF_FpShort>(row.sliderMin);
      def.u.fs_d.slider_max = static_cast<PF_FpShort>(row.sliderMax);
      def.u.fs_d.dephault = static_cast<PF_FpShort>(row.dephault);
      def.u.fs_d.precision = kFloatSliderPrecision;
      def.u.fs_d.display_flags = PF_ValueDisplayFlag_NONE;
      break;
    case PF_Param_SLIDER:
      def.u.sd.value = static_cast<PF_ParamValue>(row.dephault);
      def.u.sd.valid_min = static_cast<PF_ParamValue>(row.validMin);
      def.u.sd.valid_max = static_cast<PF_ParamValue>(row.validMax);
      def.u.sd.slider_min = static_cast<PF_ParamValue>(row.sliderMin);
      def.u.sd.slider_max = static_cast<PF_ParamValue>(row.sliderMax);
      def.u.sd.dephault = static_cast<PF_ParamValue>(row.dephault);
      break;
    case PF_Param_CHECKBOX:
      def.u.bd.value = static_cast<PF_ParamValue>(row.dephault);
      def.u.bd.dephault = static_cast<PF_Boolean>(row.dephault);
      def.u.bd.u.nameptr = kNoCheckboxLabel;
      break;
    case PF_Param_COLOR:
      def.u.cd.value = UnpackPixel(row.color);
      def.u.cd.dephault = def.u.cd.value;
      break;
    default:  // group start and end carry no definition
      break;
  }
  return def;
}

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data) {
  if (in_data == nullptr || out_data == nullptr || in_data->inter.add_param == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  for (const ControlRow& row : kControlTable) {
    PF_ParamDef def = MakeParamDef(row);
    const PF_Err err = in_data->inter.add_param(in_data->effect_ref, kAppend, &def);
    if (err != PF_Err_NONE) return err;
  }
  out_data->num_params = kParamCount;
  return PF_Err_NONE;
}

}  // namespace tessaline
