# HTTP requests against a local server: the cases of http_cases.vek, run by
# the case runner with the server's URLs in its environment (see
# http_server.py), plainly, with the collector at every 50th allocation and
# with every append moving its buffer. A request gives up after one second
# here, so that the time-out case is quick.
set(dir ${CMAKE_CURRENT_LIST_DIR})
set(ENV{VEK_HTTP_TEST_TIMEOUT} 1)
foreach(torture "" "VEK_GC_TORTURE=50" "VEK_GROW_TORTURE=1")
  unset(ENV{VEK_GC_TORTURE})
  unset(ENV{VEK_GROW_TORTURE})
  unset(ENV{VEK_TORTURE_AFTER_BOOT})
  if(torture)
    string(REPLACE "=" ";" setting ${torture})
    list(GET setting 0 name)
    list(GET setting 1 value)
    set(ENV{${name}} ${value})
    set(ENV{VEK_TORTURE_AFTER_BOOT} 1)
  endif()
  execute_process(COMMAND python3 ${dir}/http_server.py ${RUNNER} ${VEK} ${dir}/http_cases.vek
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 240)
  if(NOT status EQUAL 0)
    message(SEND_ERROR "HTTP cases (${torture}) failed with status ${status}:\n${out}\nstandard error:\n${err}")
  endif()
endforeach()
