# Generates the format diagrams and compares them with the checked-in docs/formats.md.
# Arguments: TOOL (eedb-formats-doc), DOC, ACTUAL.
execute_process(COMMAND ${TOOL} ${ACTUAL} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "eedb-formats-doc failed (exit status ${status}):\n${errors}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${DOC} ${ACTUAL}
                RESULT_VARIABLE differs)
if(differs)
  execute_process(COMMAND diff -u ${DOC} ${ACTUAL})
  message(FATAL_ERROR "docs/formats.md is stale: the format tables changed. Regenerate it with "
                      "`make docs` (or `ninja -C <build dir> docs`) and commit it.")
endif()
