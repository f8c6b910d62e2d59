# Replays a stream with --verify --quiet (text) and compares the output with its golden file;
# the exit status must be EXPECT_STATUS. With EEDB_UPDATE_GOLDEN=1 the golden file is rewritten.
# Arguments: TOOL, PLUGIN, INPUT, GOLDEN, ACTUAL, EXPECT_STATUS, FAPS (the --faps list).
execute_process(COMMAND ${TOOL} --plugin ${PLUGIN} --faps ${FAPS} --quiet --verify ${INPUT}
                OUTPUT_FILE ${ACTUAL} ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status STREQUAL EXPECT_STATUS)
  message(FATAL_ERROR "eedb-replay --verify ${INPUT}: exit status ${status}, expected "
                      "${EXPECT_STATUS}:\n${errors}")
endif()
if("$ENV{EEDB_UPDATE_GOLDEN}")
  configure_file(${ACTUAL} ${GOLDEN} COPYONLY)
  message(STATUS "wrote ${GOLDEN}")
  return()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${GOLDEN} ${ACTUAL}
                RESULT_VARIABLE differs)
if(differs)
  execute_process(COMMAND diff -u ${GOLDEN} ${ACTUAL})
  message(FATAL_ERROR "eedb-replay --verify ${INPUT} differs from ${GOLDEN}. If the change is "
                      "intended, rewrite and review it: EEDB_UPDATE_GOLDEN=1 ctest -R golden.verify")
endif()
