#include "host/EffectMain.h"

#include <cstdint>
#include <new>

#include "host/ColorSlotUI.h"
#include "host/ParameterSet.h"
#include "host/PluginVersion.h"
#include "host/RenderCommands.h"
#include "presets/PresetApplication.h"

namespace tessaline {
namespace {

static_assert(TESSALINE_VERSION == PF_VERSION(TESSALINE_VERSION_MAJOR, TESSALINE_VERSION_MINOR,
                                              TESSALINE_VERSION_FIX, TESSALINE_VERSION_STAGE,
                                              TESSALINE_VERSION_BUILD));
static_assert(TESSALINE_OUT_FLAGS == (PF_OutFlag_PIX_INDEPENDENT | PF_OutFlag_DEEP_COLOR_AWARE |
                                      PF_OutFlag_SEND_UPDATE_PARAMS_UI));
static_assert(TESSALINE_OUT_FLAGS2 ==
              (PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG | PF_OutFlag2_SUPPORTS_SMART_RENDER |
               PF_OutFlag2_FLOAT_COLOR_AWARE | PF_OutFlag2_SUPPORTS_THREADED_RENDERING));

constexpr char kAboutText[] =
    TESSALINE_NAME " v" TESSALINE_STRING(TESSALINE_VERSION_MAJOR) "." TESSALINE_STRING(
        TESSALINE_VERSION_MINOR) "\rCenter-based guide grid.";
static_assert(sizeof(kAboutText) - 1 == 41);

PF_Err About(PF_OutData* out_data) {
  if (out_data == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  constexpr std::size_t kCapacity = sizeof(out_data->return_msg) - 1;
  std::size_t length = 0;
  for (; length < kCapacity && kAboutText[length] != '\0'; ++length) {
    out_data->return_msg[length] = kAboutText[length];
  }
  out_data->return_msg[length] = '\0';
  return PF_Err_NONE;
}

PF_Err GlobalSetup(PF_OutData* out_data) {
  if (out_data == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  out_data->my_version = TESSALINE_VERSION;
  out_data->out_flags = TESSALINE_OUT_FLAGS;
  out_data->out_flags2 = TESSALINE_OUT_FLAGS2;
  return PF_Err_NONE;
}

PF_Err Dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                PF_LayerDef* output, void* extra) {
  switch (static_cast<std::uint32_t>(cmd)) {
    case PF_Cmd_ABOUT:
      return About(out_data);
    case PF_Cmd_GLOBAL_SETUP:
      return GlobalSetup(out_data);
    case PF_Cmd_PARAMS_SETUP:
      return ParamsSetup(in_data, out_data);
    case PF_Cmd_RENDER:
      return LegacyRender(in_data, out_data, params, output);
    case PF_Cmd_USER_CHANGED_PARAM:
      return UserChangedParam(in_data, out_data, params,
                              static_cast<const PF_UserChangedParamExtra*>(extra));
    case PF_Cmd_UPDATE_PARAMS_UI:
      return UpdateColorSlotUI(in_data, params);
    case PF_Cmd_SMART_PRE_RENDER:
      return SmartPreRender(in_data, static_cast<PF_PreRenderExtra*>(extra));
    case PF_Cmd_SMART_RENDER:
      return SmartRender(in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra));
    default:
      return PF_Err_NONE;
  }
}

}  // namespace
}  // namespace tessaline

extern "C" PF_Err EffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                             PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
  // No exception may reach the host.
  try {
    return tessaline::Dispatch(cmd, in_data, out_data, params, output, extra);
  } catch (const std::bad_alloc&) {
    return PF_Err_OUT_OF_MEMORY;
  } catch (...) {
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
}
