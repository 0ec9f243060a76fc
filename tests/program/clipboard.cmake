# The system clipboard through xclip, under a virtual X server of the test's
# own: round trips of text, file lists, images and none, text that vek
# leaves for other programs, and what another program (xclip) puts there.
# First, a display whose clipboard cannot be reached.
set(scratch ${CMAKE_CURRENT_BINARY_DIR}/clipboard_x11)
file(REMOVE_RECURSE ${scratch})
file(MAKE_DIRECTORY ${scratch}/stuck)
file(WRITE ${scratch}/empty.vek "Vek []\nprint mold write-clipboard none\n")
file(WRITE ${scratch}/read.vek "Vek []\nprint mold read-clipboard\n")
file(WRITE ${scratch}/write.vek "Vek []\nprint mold write-clipboard \"x\"\n")

# Runs the command in the environment (cmake -E env arguments, then the
# command); its output must be expected exactly.
function(expect_in environment label expected)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${environment} ${ARGN} TIMEOUT 20
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT out STREQUAL expected OR NOT err STREQUAL "")
    message(SEND_ERROR "${label}: expected\n${expected}\ngot status ${status} and output\n${out}\n"
                       "standard error:\n${err}")
  endif()
endfunction()

# Without xclip on the path, a display's clipboard cannot be reached; an
# xclip that never answers is given up after its time-out.
set(no_xclip DISPLAY=:9 --unset=WAYLAND_DISPLAY PATH=${scratch}/none)
expect_in("${no_xclip}" "reading without xclip" "false\n" ${VEK} ${scratch}/read.vek)
expect_in("${no_xclip}" "writing without xclip" "false\n" ${VEK} ${scratch}/write.vek)
file(WRITE ${scratch}/stuck/xclip "#!/bin/sh\nexec sleep 30\n")
file(CHMOD ${scratch}/stuck/xclip PERMISSIONS OWNER_READ OWNER_EXECUTE)
expect_in("DISPLAY=:9;--unset=WAYLAND_DISPLAY;PATH=${scratch}/stuck:$ENV{PATH}" "an xclip that hangs" "false\n"
          ${VEK} ${scratch}/read.vek)

find_program(XVFB Xvfb)
find_program(XCLIP xclip)
if(NOT XVFB OR NOT XCLIP)
  message("clipboard test skipped: Xvfb or xclip is missing")
  return()
endif()

# Xvfb picks a free display and writes its number once it takes connections;
# a time limit ends it should this script be killed before it does.
execute_process(COMMAND sh -c "timeout 60 Xvfb -displayfd 3 -nolisten tcp 3>\"$1\" >/dev/null 2>&1 & echo $!"
                        sh ${scratch}/display
                OUTPUT_VARIABLE server OUTPUT_STRIP_TRAILING_WHITESPACE)
set(number "")
foreach(attempt RANGE 100)
  file(READ ${scratch}/display number)
  string(STRIP "${number}" number)
  if(NOT number STREQUAL "")
    break()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 0.05)
endforeach()
if(number STREQUAL "")
  execute_process(COMMAND kill ${server})
  message(FATAL_ERROR "Xvfb did not start")
endif()
set(session ${CMAKE_COMMAND} -E env DISPLAY=:${number} --unset=WAYLAND_DISPLAY)

# Runs the command in the X session.
function(expect label expected)
  expect_in("DISPLAY=:${number};--unset=WAYLAND_DISPLAY" "${label}" "${expected}" ${ARGN})
endfunction()

# Puts the file's bytes on the clipboard as the type with xclip, which forks
# a server that answers from then on; the clipboard is emptied first, so the
# first answer to a listing of its types is from that server.
function(xclip_put type file)
  expect("emptying the clipboard" "true\n" ${VEK} ${scratch}/empty.vek)
  # The server keeps the streams it was given: they must not be this
  # script's pipes, which would be waited for until it ends.
  execute_process(COMMAND ${session} sh -c "\"$0\" -selection clipboard -i -t \"$1\" \"$2\" >/dev/null 2>&1"
                          ${XCLIP} ${type} ${file})
  foreach(attempt RANGE 100)
    execute_process(COMMAND ${session} ${XCLIP} -selection clipboard -o -t TARGETS
                    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
    if(status EQUAL 0)
      return()
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 0.02)
  endforeach()
  message(SEND_ERROR "xclip did not take the clipboard")
endfunction()

expect("round trips"
       "[true \"a^/b^M^/^-é€😀\"]\n[true [%\"/tmp/a b#%25?.txt\" %\"/ü/x^/y\"]]\n[true true]\n[true none]\ntrue\n"
       ${VEK} ${CMAKE_CURRENT_LIST_DIR}/clipboard.vek)
# The text outlives the vek that wrote it, for any program to read.
expect("text for the next vek" "\"left for the next program\"\n" ${VEK} ${scratch}/read.vek)
expect("text for xclip" "left for the next program" ${XCLIP} -selection clipboard -o -t UTF8_STRING)

# Text from another program keeps its line ends; a broken UTF-8 sequence
# reads as U+FFFD.
execute_process(COMMAND printf "x\\r\\ny\\n\\377|\\355\\240\\200|\\303" OUTPUT_FILE ${scratch}/text)
xclip_put(UTF8_STRING ${scratch}/text)
expect("text from xclip" "\"x^M^/y^/�|���|�\"\n" ${VEK} ${scratch}/read.vek)

# A file list names local files only.
file(WRITE ${scratch}/uris "# copied\r\nfile:///tmp/a%20b\r\nhttp://host/x\r\nfile://localhost/c\r\n")
xclip_put(text/uri-list ${scratch}/uris)
expect("a file list from xclip" "[%\"/tmp/a b\" %/c]\n" ${VEK} ${scratch}/read.vek)

# An empty clipboard reads as none.
expect("emptying the clipboard" "true\n" ${VEK} ${scratch}/empty.vek)
expect("an empty clipboard" "none\n" ${VEK} ${scratch}/read.vek)

execute_process(COMMAND kill ${server})
