# HTTP requests against a local server: the cases of http_cases.vek, run by
# the case runner with the server's URLs in its environment (see
# http_server.py). A request gives up after one second here, so that the
# time-out case is quick.
set(dir ${CMAKE_CURRENT_LIST_DIR})
set(ENV{VEK_HTTP_TEST_TIMEOUT} 1)
execute_process(COMMAND python3 ${dir}/http_server.py ${RUNNER} ${VEK} ${dir}/http_cases.vek
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 240)
if(NOT status EQUAL 0)
  message(SEND_ERROR "HTTP cases failed with status ${status}:\n${out}\nstandard error:\n${err}")
endif()
