#pragma once
// The commands that produce pixels: smart pre-render and smart render, which
// pass one resolved GridSettings record between them through the host, and
// the legacy render command, which does the same in one call.
//
// Every handler works only on its arguments and its own stack (the host may
// run them on several threads at once); the one heap object is the pre-render
// record, owned by the host from a successful pre-render until it calls
// ReleaseGridSettings.
#include "host/HostSdk.h"

namespace tessaline {

PF_Err SmartPreRender(PF_InData* in_data, PF_PreRenderExtra* extra);
PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra);
PF_Err LegacyRender(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                    PF_LayerDef* output);

// Frees one pre-render record.
void ReleaseGridSettings(void* pre_render_data);

// The world's pixel format from "PF World Suite" 2, else from its world_flags
// (16-bit when deep, otherwise 8-bit). Never PF_PixelFormat_INVALID.
PF_PixelFormat ChoosePixelFormat(PF_InData* in_data, const PF_EffectWorld* world);

}  // namespace tessaline
