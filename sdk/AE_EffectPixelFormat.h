#pragma once
// Pixel formats of host worlds. Each code holds its four characters with the
// first one in the lowest byte.
#include "A.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
  PF_PixelFormat_ARGB32 = 0x62677261,       // 'a','r','g','b': 8 bits per channel
  PF_PixelFormat_ARGB64 = 0x36316561,       // 'a','e','1','6': 16 bits per channel
  PF_PixelFormat_ARGB128 = 0x32336561,      // 'a','e','3','2': float per channel
  PF_PixelFormat_GPU_BGRA128 = 0x41444340,  // '@','C','D','A'
  PF_PixelFormat_BGRA32 = 0x61726762,       // 'b','g','r','a'
  PF_PixelFormat_VUYA32 = 0x61797576,       // 'v','u','y','a'
  PF_PixelFormat_INVALID = 0x66646162,      // 'b','a','d','f'
  PF_PixelFormat_FORCE_LONG_INT = 0xFFFFFFFF
};

typedef A_long PF_PixelFormat;

#ifdef __cplusplus
}
#endif
