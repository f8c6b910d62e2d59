# Shared by the golden tests: with EEDB_UPDATE_GOLDEN=1 in the environment, ACTUAL becomes the
# golden file; else a missing golden file stops the test, saying how to create it. Sets
# ${RESULT} to true when the two files differ (and the caller shows how).
function(golden_update_or_compare GOLDEN ACTUAL TEST RESULT)
  if("$ENV{EEDB_UPDATE_GOLDEN}")
    configure_file(${ACTUAL} ${GOLDEN} COPYONLY)
    message(STATUS "wrote ${GOLDEN}")
    set(${RESULT} FALSE PARENT_SCOPE)
    return()
  endif()
  if(NOT EXISTS ${GOLDEN})
    message(FATAL_ERROR "no golden file ${GOLDEN}\n"
                        "Create it, then review it: EEDB_UPDATE_GOLDEN=1 ctest -R ${TEST}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${GOLDEN} ${ACTUAL}
                  RESULT_VARIABLE differs)
  if(differs)
    set(${RESULT} TRUE PARENT_SCOPE)
  else()
    set(${RESULT} FALSE PARENT_SCOPE)
  endif()
endfunction()
