#pragma once
// The plug-in's only exported function: the host calls it for every command.
#include "host/HostSdk.h"

#if defined(_WIN32)
#define TESSALINE_EXPORT __declspec(dllexport)
#else
#define TESSALINE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TESSALINE_EXPORT PF_Err EffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                              PF_ParamDef* params[], PF_LayerDef* output,
                                              void* extra);
