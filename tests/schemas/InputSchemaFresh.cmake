# Generates the input schema and compares it with the checked-in schemas/input.schema.json.
# Arguments: TOOL (eedb-input-schema), SCHEMA, ACTUAL.
execute_process(COMMAND ${TOOL} ${ACTUAL} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "eedb-input-schema failed (exit status ${status}):\n${errors}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SCHEMA} ${ACTUAL}
                RESULT_VARIABLE differs)
if(differs)
  execute_process(COMMAND diff -u ${SCHEMA} ${ACTUAL})
  message(FATAL_ERROR "schemas/input.schema.json is stale: the software table catalogue "
                      "changed. Regenerate it with `make docs` (or `ninja -C <build dir> docs`) "
                      "and commit it.")
endif()
