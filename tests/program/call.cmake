# call as a whole process sees it: under /console the child shares our
# standard streams, and an interrupt while a child is waited for ends vek by
# the interrupt (status 130 to the shell) only after the child is killed and
# reaped.
set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated_call)
file(REMOVE_RECURSE ${generated})
file(MAKE_DIRECTORY ${generated})

# Our standard output, error and input, in the order of the script.
file(WRITE ${generated}/console.vek "Vek []
print \"before\"
s: call/console \"echo child\"
call/console/shell \"echo to-error >&2\"
t: call/console \"head -n 1\"
print [\"after\" s t]
")
file(WRITE ${generated}/typed.txt "typed\n")
execute_process(COMMAND ${VEK} ${generated}/console.vek INPUT_FILE ${generated}/typed.txt
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out STREQUAL "before\nchild\ntyped\nafter 0 0\n" OR NOT err STREQUAL "to-error\n")
  message(SEND_ERROR "call/console: status ${status}, output\n${out}\nstandard error:\n${err}")
endif()

# The child writes its process id, then sleeps long; vek is interrupted while
# it waits. A child still alive afterwards would have been left running.
# (vek's standard error is not looked at: the sanitizer build warns there
# when the interrupt ends the process from the signal stack.)
set(pid_file ${generated}/child.pid)
file(WRITE ${generated}/interrupted.vek "Vek []
call/shell/wait \"echo $$ > ${pid_file}; exec sleep 30\"
print \"not reached\"
")
execute_process(COMMAND sh -c "
\"$0\" \"$1\" 2>/dev/null & vek=$!
tries=0
while [ ! -s \"$2\" ] && [ $tries -lt 400 ]; do sleep 0.05; tries=$((tries + 1)); done
sleep 0.2
kill -INT $vek; wait $vek; echo \"status $?\"
child=$(cat \"$2\")
if kill -0 \"$child\" 2>/dev/null; then echo 'child alive'; kill \"$child\"; else echo 'child gone'; fi
" ${VEK} ${generated}/interrupted.vek ${pid_file}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT out STREQUAL "status 130\nchild gone\n" OR NOT err STREQUAL "")
  message(SEND_ERROR "call interrupted: expected status 130 and the child gone, got\n${out}\n"
                     "standard error:\n${err}")
endif()

# A script interrupted while it computes ends by the interrupt too, its
# output out: "vek job.vek && next-step" does not go on.
file(WRITE ${generated}/busy.vek "Vek []
print \"started\"
forever [x: 1]
")
set(busy_out ${generated}/busy.out)
execute_process(COMMAND sh -c "
\"$0\" \"$1\" > \"$2\" 2>/dev/null & vek=$!
tries=0
while [ ! -s \"$2\" ] && [ $tries -lt 400 ]; do sleep 0.05; tries=$((tries + 1)); done
kill -INT $vek; wait $vek; echo \"status $?\"; cat \"$2\"
" ${VEK} ${generated}/busy.vek ${busy_out}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT out STREQUAL "status 130\nstarted\n" OR NOT err STREQUAL "")
  message(SEND_ERROR "script interrupted: expected status 130 and its output, got\n${out}\n"
                     "standard error:\n${err}")
endif()
