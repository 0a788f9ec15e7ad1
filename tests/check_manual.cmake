# Fails when groff has anything to say about the manual page.
#   cmake -DGROFF=path -DPAGE=path -P check_manual.cmake
execute_process(COMMAND ${GROFF} -t -man -ww -z ${PAGE}
  OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
  message(FATAL_ERROR "groff -t -man -ww -z ${PAGE}:\n${output}")
endif()
