#pragma once
// "PF World Suite" version 2: world allocation and the pixel format of a world.
#include "AE_Effect.h"
#include "AE_EffectPixelFormat.h"

#pragma pack(push, 8)

#ifdef __cplusplus
extern "C" {
#endif

#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion2 2

typedef struct PF_WorldSuite2 {
  PF_Err (*PF_NewWorld)(PF_ProgPtr effect_ref, A_long widthL, A_long heightL, PF_Boolean clear_pixB,
                        PF_PixelFormat pixel_format, PF_EffectWorld* worldP);
  PF_Err (*PF_DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld* worldP);
  PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld* worldP, PF_PixelFormat* pixel_formatP);
} PF_WorldSuite2;

#ifdef __cplusplus
}
#endif

#pragma pack(pop)
