# Runs vek with NAME.in on standard input, a pipe, and compares what it
# prints, exactly, with NAME.out; vek must end with status 0 and write
# nothing to standard error.
execute_process(COMMAND ${VEK} INPUT_FILE ${TRANSCRIPT}.in
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(READ ${TRANSCRIPT}.out expected)
if(NOT out STREQUAL expected OR NOT status EQUAL 0 OR NOT err STREQUAL "")
  message(FATAL_ERROR "expected status 0 and\n${expected}\ngot status ${status} and\n${out}\n"
                      "standard error:\n${err}")
endif()
