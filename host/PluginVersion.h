/* Identity, version and capability flags of the plug-in, shared by global
 * setup, the descriptor and version resources, and the release (the MSI's
 * version is read from here). Plain C preprocessor definitions: the resource
 * compiler reads this file too; the L suffix makes each number a 32-bit value
 * in the resource data. */
#ifndef TESSALINE_PLUGIN_VERSION_H
#define TESSALINE_PLUGIN_VERSION_H

#define TESSALINE_NAME "P_Tessaline"
#define TESSALINE_MATCH_NAME "Pelko_Tessaline"
#define TESSALINE_CATEGORY "Pelko"
#define TESSALINE_COMPANY "Pelko"
#define TESSALINE_DESCRIPTION "Center-based guide grid effect"
#define TESSALINE_ENTRY_POINT "EffectMain"

/* Version 0.1, fix level 0, development stage, build 1. The file version is
 * version.subversion.fix.build, the product version version.subversion.fix. */
#define TESSALINE_VERSION_MAJOR 0
#define TESSALINE_VERSION_MINOR 1
#define TESSALINE_VERSION_FIX 0
#define TESSALINE_VERSION_STAGE 0 /* PF_Stage_DEVELOP */
#define TESSALINE_VERSION_BUILD 1

/* The parts in the host's packing (PF_VERSION): build in bits 0-8, stage
 * 9-10, fix 11-14, subversion 15-18, the version's low three bits 19-21 and
 * its high four 26-29. Written with multiplication and division, which the
 * resource compiler evaluates too (it has no shifts). */
#define TESSALINE_VERSION                                                      \
  ((((TESSALINE_VERSION_MAJOR & 7) * 0x80000L) |                               \
    (((TESSALINE_VERSION_MAJOR / 8) & 15) * 0x4000000L)) |                     \
   (((TESSALINE_VERSION_MINOR & 15) * 0x8000L) |                               \
    ((TESSALINE_VERSION_FIX & 15) * 0x800L)) |                                 \
   (((TESSALINE_VERSION_STAGE & 3) * 0x200L) | (TESSALINE_VERSION_BUILD & 0x1FF)))

/* A number as a string literal: TESSALINE_STRING(TESSALINE_VERSION_MINOR) is "1". */
#define TESSALINE_STRING_(x) #x
#define TESSALINE_STRING(x) TESSALINE_STRING_(x)

/* "0.1.0.1" and "0.1.0", one literal each (resource compilers differ on
 * joining adjacent strings). */
#define TESSALINE_JOIN4_(a, b, c, d) TESSALINE_STRING(a.b.c.d)
#define TESSALINE_JOIN3_(a, b, c) TESSALINE_STRING(a.b.c)
#define TESSALINE_FILE_VERSION_TEXT                                            \
  TESSALINE_JOIN4_(TESSALINE_VERSION_MAJOR, TESSALINE_VERSION_MINOR,           \
                   TESSALINE_VERSION_FIX, TESSALINE_VERSION_BUILD)
#define TESSALINE_PRODUCT_VERSION_TEXT                                         \
  TESSALINE_JOIN3_(TESSALINE_VERSION_MAJOR, TESSALINE_VERSION_MINOR,           \
                   TESSALINE_VERSION_FIX)

/* PIX_INDEPENDENT | DEEP_COLOR_AWARE | SEND_UPDATE_PARAMS_UI */
#define TESSALINE_OUT_FLAGS 0x06000400L
/* PARAM_GROUP_START_COLLAPSED_FLAG | SUPPORTS_SMART_RENDER | FLOAT_COLOR_AWARE |
 * SUPPORTS_THREADED_RENDERING */
#define TESSALINE_OUT_FLAGS2 0x08001408L

#endif
