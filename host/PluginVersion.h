/* Identity, version and capability flags of the plug-in, shared by global
 * setup and the descriptor resource. Plain C preprocessor definitions: the
 * resource compiler reads this file too; the L suffix makes each number a
 * 32-bit value in the resource data. */
#ifndef TESSALINE_PLUGIN_VERSION_H
#define TESSALINE_PLUGIN_VERSION_H

#define TESSALINE_NAME "P_Tessaline"
#define TESSALINE_MATCH_NAME "Pelko_Tessaline"
#define TESSALINE_CATEGORY "Pelko"
#define TESSALINE_ENTRY_POINT "EffectMain"

/* Version 0.1, fix level 0, development stage, build 1, in the host's packing. */
#define TESSALINE_VERSION 0x00008001L

/* PIX_INDEPENDENT | DEEP_COLOR_AWARE | SEND_UPDATE_PARAMS_UI */
#define TESSALINE_OUT_FLAGS 0x06000400L
/* PARAM_GROUP_START_COLLAPSED_FLAG | SUPPORTS_SMART_RENDER | FLOAT_COLOR_AWARE |
 * SUPPORTS_THREADED_RENDERING */
#define TESSALINE_OUT_FLAGS2 0x08001408L

#endif
