# Output that cannot be written (standard output on /dev/full) makes the run
# fail with status 1, though nothing can say why; a run that writes nothing
# is unharmed, and a status the script chose stays.
set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated_stdout_failure)
file(WRITE ${generated}/prints.vek "Vek []\nprint \"lost\"\n")
file(WRITE ${generated}/silent.vek "Vek []\nx: 1 + 2\n")
file(WRITE ${generated}/chooses.vek "Vek []\nprint \"lost\"\nquit/return 3\n")

foreach(case "prints;1" "silent;0" "chooses;3")
  list(GET case 0 script)
  list(GET case 1 expected)
  execute_process(COMMAND ${VEK} ${generated}/${script}.vek INPUT_FILE /dev/null OUTPUT_FILE /dev/full
                  RESULT_VARIABLE status ERROR_VARIABLE err)
  if(NOT status EQUAL expected OR NOT err STREQUAL "")
    message(SEND_ERROR "${script}.vek to /dev/full: expected status ${expected}, got ${status}\n"
                       "standard error:\n${err}")
  endif()
endforeach()
