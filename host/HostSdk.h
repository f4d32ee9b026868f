#pragma once
// The one way into the host SDK. The headers are found on the include path:
// our compatibility headers in sdk/, or the official SDK's headers of the
// same names when the build is pointed at them (TESSALINE_HOST_SDK_DIR).
#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectPixelFormat.h"
#include "AE_EffectSuites.h"
#include "SPBasic.h"
