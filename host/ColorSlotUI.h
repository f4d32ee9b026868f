#pragma once
// Greys out the checkbox and color control of every outer color slot beyond
// the "Outer Color Count" value; the slots within the count stay enabled
// whatever their checkbox says.
#include "host/HostSdk.h"

namespace tessaline {

// Eight PF_UpdateParamUI calls, "Use Color 1" to "Color 4" in index order,
// each with a copy of the control's definition whose PF_PUI_DISABLED bit
// alone is decided here. The first failing call stops the updates and is
// returned. No basic suite, no "PF Param Utils Suite" 3, or a missing record:
// nothing is done and the result is PF_Err_NONE.
PF_Err UpdateColorSlotUI(PF_InData* in_data, PF_ParamDef* params[]);

}  // namespace tessaline
