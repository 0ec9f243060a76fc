# A long run of garbage after a little live data ends with a small heap: the
# script prints "bounded", or the bytes it had in use.
execute_process(COMMAND ${VEK} ${CMAKE_CURRENT_LIST_DIR}/garbage_after_live_data.vek INPUT_FILE /dev/null
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out STREQUAL "bounded\n" OR NOT err STREQUAL "")
  message(FATAL_ERROR "expected status 0 and \"bounded\", got status ${status} and output\n${out}\n"
                      "standard error:\n${err}")
endif()
