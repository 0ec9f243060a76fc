# What the library's shared boot makes must not depend on the run: the state
# that vek_boot_state prints (every word of system/words molded, the system
# object molded, every C++ value a heap image keeps) is compared between two
# runs that differ in directory, HOME, time zone, arguments and environment.
# A module that reads the run at its top level, outside the per-run modules,
# shows here as a difference.
set(dir ${CMAKE_CURRENT_BINARY_DIR}/boot_state)
file(REMOVE_RECURSE ${dir})
file(MAKE_DIRECTORY ${dir}/first/home ${dir}/second/deeper/home)

# Runs the program in the directory with the environment and the arguments;
# sets out_var to what it printed.
function(print_state out_var working_dir)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ARGN}
                  WORKING_DIRECTORY ${working_dir}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT err STREQUAL "")
    message(FATAL_ERROR "vek_boot_state in ${working_dir} ended with status ${status}:\n${out}\n${err}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

print_state(first ${dir}/first HOME=${dir}/first/home TZ=UTC ${VEK_BOOT_STATE} one)
print_state(second ${dir}/second/deeper HOME=${dir}/second/deeper/home TZ=Asia/Tokyo LANG=C.UTF-8
            VEK_UNKNOWN_SWITCH=1 ${VEK_BOOT_STATE} two "three four")

foreach(expected "\ncollect func [" "\nmake object! [\n    version: 0.1.0" "\nroot block:" "\nsymbol table:")
  string(FIND "${first}" "${expected}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "the printed state lacks \"${expected}\":\n${first}")
  endif()
endforeach()

if(NOT first STREQUAL second)
  file(WRITE ${dir}/first.txt "${first}")
  file(WRITE ${dir}/second.txt "${second}")
  execute_process(COMMAND diff ${dir}/first.txt ${dir}/second.txt OUTPUT_VARIABLE difference)
  message(SEND_ERROR "the shared boot differs between two runs:\n${difference}")
endif()
