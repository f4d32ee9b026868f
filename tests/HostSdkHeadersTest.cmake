# cmake -DWORK=<scratch folder> -P HostSdkHeadersTest.cmake
# An SDK laid out as the official one, named at each of its three levels,
# gives the same include folders; a folder without the headers is refused
# with a message that names the three levels.
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/HostSdkHeaders.cmake)

if(DEFINED ROOT)  # the refused case, run on its own
  tessaline_host_sdk_include_dirs("${ROOT}" dirs)
  return()
endif()

file(REMOVE_RECURSE "${WORK}")
set(sdk "${WORK}/AfterEffectsSDK")
file(MAKE_DIRECTORY "${sdk}/Examples/Headers/SP" "${sdk}/Examples/Util" "${WORK}/Empty")
file(TOUCH "${sdk}/Examples/Headers/AE_Effect.h")
set(expected "${sdk}/Examples/Headers;${sdk}/Examples/Headers/SP;${sdk}/Examples/Util")

foreach(level "${sdk}" "${sdk}/Examples" "${sdk}/Examples/Headers")
  tessaline_host_sdk_include_dirs("${level}" dirs)
  if(NOT dirs STREQUAL expected)
    message(FATAL_ERROR "${level} gave '${dirs}', expected '${expected}'")
  endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK}/Empty -P ${CMAKE_CURRENT_LIST_FILE}
                RESULT_VARIABLE result ERROR_VARIABLE error)
string(REGEX REPLACE "[ \n]+" " " error "${error}")
if(result EQUAL 0 OR NOT error MATCHES "Examples/Headers, .*/Empty/Headers or .*/Empty\\.")
  message(FATAL_ERROR "a folder without headers was not refused as it should be: ${error}")
endif()
