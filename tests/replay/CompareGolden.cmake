# Replays one example stream with --format json and compares the output with its golden file.
# With EEDB_UPDATE_GOLDEN=1 in the environment the golden file is rewritten instead.
# Arguments: TOOL, PLUGIN, INPUT, GOLDEN, ACTUAL.
get_filename_component(name ${INPUT} NAME_WE)
execute_process(COMMAND ${TOOL} --plugin ${PLUGIN} --format json ${INPUT}
                OUTPUT_FILE ${ACTUAL} ERROR_VARIABLE errors RESULT_VARIABLE status)
# 1 is expected of streams that show failures; 2 and crashes are not.
if(NOT status MATCHES "^[01]$")
  message(FATAL_ERROR "eedb-replay ${INPUT} failed (exit status ${status}):\n${errors}")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/GoldenFile.cmake)
golden_update_or_compare(${GOLDEN} ${ACTUAL} golden.${name} differs)
if(NOT differs)
  return()
endif()
# One JSON object per line makes long lines: show the changed words, not just the lines. The
# diff goes straight to the output, unwrapped.
message(STATUS "eedb-replay --format json ${INPUT} differs from ${GOLDEN}; "
               "[-expected-] {+actual+}:")
find_program(GIT git)
if(GIT)
  execute_process(COMMAND ${GIT} diff --no-index --no-color --word-diff=plain
                          "--word-diff-regex=[^],:{}[ ]+" ${GOLDEN} ${ACTUAL})
else()
  execute_process(COMMAND diff -u ${GOLDEN} ${ACTUAL})
endif()
message(FATAL_ERROR "golden.${name} differs. If the change is intended, rewrite the golden "
                    "file and review it: EEDB_UPDATE_GOLDEN=1 ctest -R golden.${name}")
