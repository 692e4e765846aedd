# Runs PROGRAM with ARGUMENTS (separated by |) and fails unless it exits 0 and prints exactly
# the text of the file EXPECTED; with SAVED, the file it saved must equal SAVED_EXPECTED byte
# for byte.
string(REPLACE "|" ";" arguments "${ARGUMENTS}")
if(SAVED)
  file(REMOVE ${SAVED})
endif()
execute_process(COMMAND ${PROGRAM} ${arguments} RESULT_VARIABLE status OUTPUT_VARIABLE printed
                ERROR_VARIABLE errors)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the example exited with ${status}:\n${errors}")
endif()
if(NOT printed STREQUAL expected)
  message(FATAL_ERROR "the example printed\n${printed}\ninstead of\n${expected}")
endif()
if(SAVED)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SAVED} ${SAVED_EXPECTED} RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${SAVED} differs from ${SAVED_EXPECTED}")
  endif()
endif()
