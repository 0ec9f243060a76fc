# The ways a boot fails: vek_boot_modules boots the module files it is given
# in order, and each case checks the exit status and the output. Nothing
# after the failing module runs, neither a later module nor the launcher.
set(dir ${CMAKE_CURRENT_BINARY_DIR}/boot_failures)
file(MAKE_DIRECTORY ${dir})
file(WRITE ${dir}/first.vek "print \"first\"\n")
file(WRITE ${dir}/never.vek "print \"never\"\n")
file(WRITE ${dir}/script.vek "print \"the script\"\n")

# Boots first.vek, a module of the given code, then never.vek.
function(expect label code status expected)
  string(MAKE_C_IDENTIFIER "${label}" name)
  file(WRITE ${dir}/${name}.vek "${code}\n")
  execute_process(COMMAND ${VEK_BOOT} ${dir}/first.vek ${dir}/${name}.vek ${dir}/never.vek
                  INPUT_FILE ${dir}/script.vek
                  RESULT_VARIABLE actual_status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(FIND "${out}" "first\n${expected}" at)
  string(FIND "${out}" "never" later)
  string(FIND "${out}" "the script" script)
  if(NOT at EQUAL 0 OR NOT later EQUAL -1 OR NOT script EQUAL -1 OR NOT actual_status EQUAL status
     OR NOT err STREQUAL "")
    message(SEND_ERROR "${label}: expected status ${status} and output starting with\nfirst\n${expected}\n"
                       "got status ${actual_status} and output\n${out}\nstandard error:\n${err}")
  endif()
endfunction()

expect("an error" "1 / 0" 254 "*** Math Error: attempt to divide by zero\n")
expect("an error inside a function" "f: func [] [append 1 2] f" 254 "*** Script Error: ")
expect("a routine that is not registered" "r: boot-routine 'no-such-routine" 254
       "*** Script Error: cannot MAKE routine! from: no-such-routine\n")
# Nothing catches at the top of a module: these leave as errors too.
expect("a throw" "throw 1" 254 "*** Throw Error: no catch for throw: 1\n")
expect("a break" "break" 254 "*** Throw Error: no loop to break\n")
expect("a return" "return 1" 254 "*** Throw Error: return or exit not in function\n")
# A throw that no catch point saw coming (the driver's raw-throw routine
# throws as C++ code would) reaches the entry code.
expect("an uncaught throw" "raw-throw: boot-routine 'raw-throw raw-throw" 95
       "\n*** Runtime Error 95: no CATCH for THROW\n")

# A boot that succeeds goes on to the console's launcher.
file(WRITE ${dir}/launcher.vek "cli-console-ctx: make object! [launch: func [] [print \"launched\"]]\n")
execute_process(COMMAND ${VEK_BOOT} ${dir}/first.vek ${dir}/launcher.vek INPUT_FILE ${dir}/script.vek
                RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out STREQUAL "first\nlaunched\n")
  message(SEND_ERROR "a boot that succeeds: got status ${status} and output\n${out}")
endif()
