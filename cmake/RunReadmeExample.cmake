# Runs PROGRAM and fails unless it exits 0 and prints exactly the text of the file EXPECTED.
execute_process(COMMAND ${PROGRAM} RESULT_VARIABLE status OUTPUT_VARIABLE printed ERROR_VARIABLE errors)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the example exited with ${status}:\n${errors}")
endif()
if(NOT printed STREQUAL expected)
  message(FATAL_ERROR "the example printed\n${printed}\ninstead of\n${expected}")
endif()
