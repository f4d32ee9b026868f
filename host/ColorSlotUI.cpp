#include "host/ColorSlotUI.h"

#include <initializer_list>

#include "core/ParamIndex.h"
#include "host/HostServices.h"

namespace tessaline {

PF_Err UpdateColorSlotUI(PF_InData* in_data, PF_ParamDef* params[]) {
  if (in_data == nullptr || params == nullptr || in_data->pica_basicP == nullptr) {
    return PF_Err_NONE;
  }
  for (std::int32_t index = kOuterColorCount; index <= kColor4; ++index) {
    if (params[index] == nullptr) return PF_Err_NONE;
  }
  const ScopedSuite<PF_ParamUtilsSuite3> paramUtils(in_data);
  if (!paramUtils || paramUtils->PF_UpdateParamUI == nullptr) return PF_Err_NONE;

  std::int32_t count = params[kOuterColorCount]->u.pd.value;
  if (count > kColorSlotCount) count = kColorSlotCount;
  if (count < 1) count = 1;

  for (int slot = 0; slot < kColorSlotCount; ++slot) {
    const bool disabled = slot + 1 > count;
    for (const ParamIndex index : {UseColorParam(slot), ColorParam(slot)}) {
      PF_ParamDef def = *params[index];
      def.ui_flags &= ~PF_PUI_DISABLED;
      if (disabled) def.ui_flags |= PF_PUI_DISABLED;
      const PF_Err err = paramUtils->PF_UpdateParamUI(in_data->effect_ref, index, &def);
      if (err != PF_Err_NONE) return err;
    }
  }
  return PF_Err_NONE;
}

}  // namespace tessaline
