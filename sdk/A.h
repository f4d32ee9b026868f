#pragma once
// Basic scalar types of the host SDK, as fixed-width types so that every build
// (64-bit Windows and the native test build) has the host's layout.
#include <stdint.h>

#pragma pack(push, 8)

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef char A_char;
typedef uint8_t A_u_char;
typedef uint8_t A_Boolean;
typedef double A_FpLong;
typedef float A_FpShort;
typedef A_long A_Err;
typedef int64_t A_intptr_t;
typedef uint64_t A_u_longlong;

typedef struct {
  A_long value;
  A_u_long scale;
} A_Time;

enum {
  A_Err_NONE = 0,
  A_Err_GENERIC = 1,
  A_Err_STRUCT = 2,
  A_Err_PARAMETER = 3,
  A_Err_ALLOC = 4,
  A_Err_MISSING_SUITE = 13
};

#ifdef __cplusplus
}
#endif

#pragma pack(pop)
