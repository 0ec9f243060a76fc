# Starting vek with no input runs the whole initialisation and quits cleanly.
execute_process(COMMAND ${VEK} INPUT_FILE /dev/null
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "vek exited with ${status}: ${out}")
endif()
if(NOT err STREQUAL "")
  message(FATAL_ERROR "vek wrote to standard error: ${err}")
endif()
