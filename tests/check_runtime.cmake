# Fails when the tool's dynamic section needs the C++ or GCC runtime.
execute_process(COMMAND ${READELF} -d ${TOOL}
  OUTPUT_VARIABLE dynamic RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "readelf -d ${TOOL} failed")
endif()
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*" needed "${dynamic}")
message(STATUS "${needed}")
if(needed MATCHES "libstdc\\+\\+|libgcc_s|libc\\+\\+")
  message(FATAL_ERROR "the tool needs a C++ runtime: ${needed}")
endif()
