#include "host/ParamControlValues.h"

#include "host/ParameterSet.h"

namespace tessaline {
namespace {

PF_ParamType ControlType(ParamIndex index) {
  return index >= 1 && index < kParamCount ? kControlTable[index - 1].type : PF_Param_LAYER;
}

}  // namespace

std::int32_t ParamControlValues::Integer(ParamIndex index) const {
  const PF_ParamDef& def = *params_[index];
  switch (ControlType(index)) {
    case PF_Param_POPUP:
      return def.u.pd.value;
    case PF_Param_CHECKBOX:
      return def.u.bd.value;
    default:
      return def.u.sd.value;
  }
}

double ParamControlValues::Double(ParamIndex index) const {
  return params_[index]->u.fs_d.value;
}

PackedColor ParamControlValues::Color(ParamIndex index) const {
  return PackPixel(params_[index]->u.cd.value);
}

}  // namespace tessaline
