# Runs a generator and compares what it writes with the checked-in file it generated.
# Arguments: TOOL (the generator, given the output path), CHECKED_IN, ACTUAL, WHY (what changes
# make the file stale).
get_filename_component(tool_name ${TOOL} NAME)
execute_process(COMMAND ${TOOL} ${ACTUAL} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${tool_name} failed (exit status ${status}):\n${errors}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${CHECKED_IN} ${ACTUAL}
                RESULT_VARIABLE differs)
if(differs)
  execute_process(COMMAND diff -u ${CHECKED_IN} ${ACTUAL})
  message(FATAL_ERROR "${CHECKED_IN} is stale: ${WHY}. Regenerate it with `make docs` (or "
                      "`ninja -C <build dir> docs`) and commit it.")
endif()
