# The fuzz driver with planted faults (faults.cpp), given the inputs that
# reach them. A read of the zero page is the address sanitizer's to report,
# with a stack through the target, and the driver keeps the input in
# fuzz-failure-NAME; a null pointer read stops the run with the
# undefined-behaviour sanitizer's report and its stack.
get_filename_component(name ${FUZZ} NAME)
set(work ${CMAKE_CURRENT_BINARY_DIR}/planted_faults)

function(run_input input)
  file(REMOVE_RECURSE ${work})
  file(WRITE ${work}/corpus/input "${input}")
  execute_process(COMMAND ${FUZZ} ${work}/corpus 0 1 WORKING_DIRECTORY ${work}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(status EQUAL 0)
    message(SEND_ERROR "\"${input}\": the planted fault went unnoticed:\n${out}${err}")
  endif()
  set(report "${err}" PARENT_SCOPE)
endfunction()

function(expect_report input pattern)
  if(NOT report MATCHES "${pattern}" OR NOT report MATCHES "#[0-9]+ [^\n]*run_one")
    message(SEND_ERROR "\"${input}\": no report \"${pattern}\" with a stack through the target:\n${report}")
  endif()
endfunction()

run_input("wild read")
expect_report("wild read" "AddressSanitizer: SEGV on unknown address")
set(kept ${work}/fuzz-failure-${name})
if(NOT EXISTS ${kept})
  message(SEND_ERROR "the input was not kept in ${kept}")
else()
  file(READ ${kept} input)
  if(NOT input STREQUAL "wild read")
    message(SEND_ERROR "${kept} holds \"${input}\", not the input")
  endif()
endif()

run_input("null read")
expect_report("null read" "runtime error: load of null pointer")
