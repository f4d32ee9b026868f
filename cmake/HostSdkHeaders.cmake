# Where the official host SDK keeps its headers. A developer may point
# TESSALINE_HOST_SDK_DIR at the SDK's root folder, at its Examples folder or
# at Examples/Headers; the headers (AE_Effect.h), their SP folder and the
# Util folder beside them are found from any of the three.
function(tessaline_host_sdk_include_dirs root out_var)
  set(_candidates "${root}/Examples/Headers" "${root}/Headers" "${root}")
  foreach(_headers IN LISTS _candidates)
    if(EXISTS "${_headers}/AE_Effect.h")
      set(_dirs "${_headers}")
      foreach(_extra "${_headers}/SP" "${_headers}/../Util")
        if(IS_DIRECTORY "${_extra}")
          get_filename_component(_extra "${_extra}" ABSOLUTE)
          list(APPEND _dirs "${_extra}")
        endif()
      endforeach()
      set(${out_var} "${_dirs}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR
    "TESSALINE_HOST_SDK_DIR (${root}) holds no host SDK headers: AE_Effect.h is in none of "
    "${root}/Examples/Headers, ${root}/Headers or ${root}. Name the SDK's root folder, its "
    "Examples folder or its Examples/Headers folder.")
endfunction()
