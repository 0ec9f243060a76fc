# Runs vek with NAME.in on standard input, a pipe, and compares what it
# prints, exactly, with NAME.out (or matches it with NAME.pattern, below);
# vek must end with status 0 and write nothing to standard error.
#
# HOME is an empty directory of the transcript's own, so the console's
# settings never touch the real one. When NAME.cfg exists, the settings file
# that vek leaves there must read exactly as it does, and it and its
# directory must be private to the user.
get_filename_component(name ${TRANSCRIPT} NAME)
set(home ${CMAKE_CURRENT_BINARY_DIR}/console-home/${name})
file(REMOVE_RECURSE ${home})
file(MAKE_DIRECTORY ${home})
set(ENV{HOME} ${home})
execute_process(COMMAND ${VEK} INPUT_FILE ${TRANSCRIPT}.in
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
# What changes from one build to the next (a date, a commit) is matched by
# NAME.pattern in place of NAME.out: a regular expression that the whole
# output must match.
if(EXISTS ${TRANSCRIPT}.pattern)
  file(READ ${TRANSCRIPT}.pattern expected)
  set(same FALSE)
  if(out MATCHES "^${expected}$")
    set(same TRUE)
  endif()
else()
  file(READ ${TRANSCRIPT}.out expected)
  set(same FALSE)
  if(out STREQUAL expected)
    set(same TRUE)
  endif()
endif()
if(NOT same OR NOT status EQUAL 0 OR NOT err STREQUAL "")
  message(FATAL_ERROR "expected status 0 and\n${expected}\ngot status ${status} and\n${out}\n"
                      "standard error:\n${err}")
endif()

if(EXISTS ${TRANSCRIPT}.cfg)
  set(cfg_dir ${home}/.vek/Vek-Console)
  file(READ ${TRANSCRIPT}.cfg expected)
  file(READ ${cfg_dir}/console-cfg.vek saved)
  if(NOT saved STREQUAL expected)
    message(FATAL_ERROR "expected the settings file\n${expected}\ngot\n${saved}")
  endif()
  execute_process(COMMAND stat -c %a ${cfg_dir} ${cfg_dir}/console-cfg.vek OUTPUT_VARIABLE modes)
  if(NOT modes STREQUAL "700\n600\n")
    message(FATAL_ERROR "expected modes 700 and 600, got\n${modes}")
  endif()
endif()
