#pragma once
// Result codes of the rendering core. Their values are the host's own error
// codes, so a result travels to the host unchanged.
#include <cstdint>

namespace tessaline {

using ErrorCode = std::int32_t;

inline constexpr ErrorCode kErrNone = 0;                // the host's PF_Err_NONE
inline constexpr ErrorCode kErrOutOfMemory = 4;         // PF_Err_OUT_OF_MEMORY
inline constexpr ErrorCode kErrBadCallbackParam = 516;  // PF_Err_BAD_CALLBACK_PARAM

}  // namespace tessaline
