#pragma once
// The commands that produce pixels: smart pre-render and smart render, which
// pass one resolved GridSettings record between them through the host, and
// the legacy render command, which does the same in one call.
//
// Every handler works only on its arguments and its own stack (the host may
// run them on several threads at once); the one heap object is the pre-render
// record, owned by the host from a successful pre-render until it calls
// ReleaseGridSettings.
#include <type_traits>

#include "core/GridSettings.h"
#include "host/HostSdk.h"

namespace tessaline {

// The pre-render data of one frame. The settings come first, so the record
// is also its GridSettings; the input's max_result_rect places the layer in
// smart render when in_data leaves the layer's size out.
struct PreRenderRecord {
  GridSettings settings;
  PF_LRect inputMaxResultRect;
};
static_assert(std::is_standard_layout_v<PreRenderRecord>);

PF_Err SmartPreRender(PF_InData* in_data, PF_PreRenderExtra* extra);
PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra);
PF_Err LegacyRender(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                    PF_LayerDef* output);

// Frees one PreRenderRecord.
void ReleaseGridSettings(void* pre_render_data);

// The world's pixel format from "PF World Suite" 2, else from its world_flags
// (16-bit when deep, otherwise 8-bit). Never PF_PixelFormat_INVALID.
PF_PixelFormat ChoosePixelFormat(PF_InData* in_data, const PF_EffectWorld* world);

}  // namespace tessaline
