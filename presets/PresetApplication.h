#pragma once
// Writes a ready-made layout into the effect's controls when the user picks a
// preset, or a reference resolution while a preset is chosen.
#include "host/HostSdk.h"

namespace tessaline {

// Answers PF_Cmd_USER_CHANGED_PARAM. For a change of "Preset" or
// "Resolution" with a preset other than "Custom": computes the preset for the
// reference size, writes the seventeen layout controls with
// PF_ChangeFlag_CHANGED_VALUE (values as computed, not clamped) and asks the
// host to refresh the controls and render again. Then, for every change, runs
// UpdateColorSlotUI and returns its result. Missing records: nothing is done.
PF_Err UserChangedParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                        const PF_UserChangedParamExtra* extra);

}  // namespace tessaline
