# What the library's shared boot makes must not depend on the run, and a heap
# image of it must give what the source gives. The state that vek_boot_state
# prints (every word of system/words molded, the system object molded, every
# C++ value a heap image keeps) is compared between two source boots that
# differ in directory, HOME, time zone, arguments and environment; then an
# image made in the first run's setting is booted in the second's and must
# print the same. A module that reads the run at its top level, outside the
# per-run modules, shows here as a difference. A corrupt image (a flipped
# byte, a cut end) must be refused, and the source boot give the same state.
# The same holds for the image that the build embeds in the executable
# (boot/embed_image.cmake), tried on a copy of the program given its image,
# and vek must start from its own.
set(dir ${CMAKE_CURRENT_BINARY_DIR}/boot_state)
file(REMOVE_RECURSE ${dir})
file(MAKE_DIRECTORY ${dir}/first/home ${dir}/second/deeper/home)
set(image ${dir}/first/boot.image)

# Runs the program in the directory with the environment and the arguments;
# sets out_var to what it printed after its first line, and origin_var to
# where that line says the shared boot came from.
function(print_state out_var origin_var working_dir)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ARGN}
                  WORKING_DIRECTORY ${working_dir}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT err STREQUAL "")
    message(FATAL_ERROR "vek_boot_state in ${working_dir} ended with status ${status}:\n${out}\n${err}")
  endif()
  if(NOT out MATCHES "^origin: ([a-z]+)\n")
    message(FATAL_ERROR "vek_boot_state printed no origin:\n${out}")
  endif()
  set(${origin_var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  string(REGEX REPLACE "^origin: [a-z]+\n" "" out "${out}")
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

# The second run's setting, with the extra environment given; the program
# run is the one that `program` names.
set(program ${VEK_BOOT_STATE})
function(print_second out_var origin_var)
  print_state(out origin ${dir}/second/deeper HOME=${dir}/second/deeper/home TZ=Asia/Tokyo LANG=C.UTF-8
              VEK_UNKNOWN_SWITCH=1 ${ARGN} ${program} two "three four")
  set(${out_var} "${out}" PARENT_SCOPE)
  set(${origin_var} "${origin}" PARENT_SCOPE)
endfunction()

function(expect_same name expected actual)
  if(NOT expected STREQUAL actual)
    file(WRITE ${dir}/expected.txt "${expected}")
    file(WRITE ${dir}/${name}.txt "${actual}")
    execute_process(COMMAND diff ${dir}/expected.txt ${dir}/${name}.txt OUTPUT_VARIABLE difference)
    message(SEND_ERROR "${name} differs from the source boot:\n${difference}")
  endif()
endfunction()

function(expect_origin name expected actual)
  if(NOT actual STREQUAL expected)
    message(SEND_ERROR "${name} booted from ${actual}, not from ${expected}")
  endif()
endfunction()

print_state(first origin ${dir}/first HOME=${dir}/first/home TZ=UTC ${VEK_BOOT_STATE} one)
expect_origin("the first run" source "${origin}")
print_second(second origin)

foreach(expected "\ncollect func [" "\nmake object! [\n    version: 0.1.0" "\nroot block:" "\nsymbol table:"
                 "\nregion released runs:" "\ndatatype words:")
  string(FIND "${first}" "${expected}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "the printed state lacks \"${expected}\":\n${first}")
  endif()
endforeach()
expect_same("the second run's source boot" "${first}" "${second}")

execute_process(COMMAND ${CMAKE_COMMAND} -E env HOME=${dir}/first/home TZ=UTC VEK_MAKE_IMAGE=${image}
                        ${VEK_BOOT_STATE} one
                WORKING_DIRECTORY ${dir}/first RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT EXISTS ${image})
  message(FATAL_ERROR "no image made (status ${status}):\n${out}\n${err}")
endif()

print_second(from_image origin VEK_BOOT_IMAGE=${image})
expect_origin("the image boot" image "${origin}")
expect_same("the image boot" "${second}" "${from_image}")

print_second(forced origin VEK_BOOT_IMAGE=${image} VEK_BOOT_FROM_SOURCE=1)
expect_origin("the boot with VEK_BOOT_FROM_SOURCE" source "${origin}")

# Corrupt copies of the image: a byte flipped near its start (in the table of
# runs or the saved C++ values), one flipped in its last page, and its last
# two pages cut off. Each is refused, and the source boot gives the state.
file(SIZE ${image} size)
function(flip_byte file at)
  file(READ ${file} byte OFFSET ${at} LIMIT 1 HEX)
  math(EXPR flipped "255 - 0x${byte}")
  math(EXPR high "${flipped} / 64")
  math(EXPR middle "${flipped} / 8 % 8")
  math(EXPR low "${flipped} % 8")
  execute_process(COMMAND sh -c "printf '\\${high}${middle}${low}' | dd of='${file}' bs=1 seek=${at} conv=notrunc status=none"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot change a byte of ${file}")
  endif()
endfunction()
math(EXPR near_end "${size} - 100")
math(EXPR cut "${size} - 8192")
foreach(corruption "flipped-start:400" "flipped-end:${near_end}" "truncated")
  string(REGEX REPLACE ":.*" "" name "${corruption}")
  file(COPY_FILE ${image} ${dir}/${name}.image)
  if(corruption MATCHES ":([0-9]+)$")
    flip_byte(${dir}/${name}.image ${CMAKE_MATCH_1})
  else()
    execute_process(COMMAND truncate -s ${cut} ${dir}/${name}.image)
  endif()
  print_second(damaged origin VEK_BOOT_IMAGE=${dir}/${name}.image)
  expect_origin("the boot with the ${name} image" source "${origin}")
  expect_same("the boot with the ${name} image" "${second}" "${damaged}")
endforeach()

# ---- the embedded image ----

# The offset and size of the image section in the executable file, as
# decimal numbers.
function(image_section out_offset out_size file)
  execute_process(COMMAND readelf -S -W ${file} OUTPUT_VARIABLE sections RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT sections MATCHES "${SECTION} +PROGBITS +[0-9a-f]+ ([0-9a-f]+) ([0-9a-f]+)")
    message(FATAL_ERROR "${file} has no section ${SECTION}:\n${sections}")
  endif()
  math(EXPR offset "0x${CMAKE_MATCH_1}")
  math(EXPR size "0x${CMAKE_MATCH_2}")
  set(${out_offset} ${offset} PARENT_SCOPE)
  set(${out_size} ${size} PARENT_SCOPE)
endfunction()

function(run_objcopy)
  execute_process(COMMAND ${OBJCOPY} ${ARGN} RESULT_VARIABLE status ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "objcopy ${ARGN} failed:\n${err}")
  endif()
endfunction()

file(MAKE_DIRECTORY ${dir}/embedded)
set(embedded ${dir}/embedded/vek_boot_state)
file(COPY_FILE ${VEK_BOOT_STATE} ${embedded})
execute_process(COMMAND ${CMAKE_COMMAND} -DPROGRAM=${embedded} -DIMAGE=${dir}/embedded/made.image
                        -DSECTION=${SECTION} -DOBJCOPY=${OBJCOPY} -P ${EMBED_IMAGE}
                WORKING_DIRECTORY ${dir}/first RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the image could not be embedded:\n${out}\n${err}")
endif()
image_section(offset size ${embedded})
math(EXPR misaligned "${offset} % 4096")
if(NOT misaligned EQUAL 0)
  message(SEND_ERROR "the embedded image starts at ${offset}, not at a page boundary")
endif()

set(program ${embedded})
print_second(from_section origin)
expect_origin("the boot of the program with its image" image "${origin}")
expect_same("the boot of the program with its image" "${second}" "${from_section}")
print_second(forced origin VEK_BOOT_FROM_SOURCE=1)
expect_origin("the program with its image and VEK_BOOT_FROM_SOURCE" source "${origin}")

# Damaged copies: a byte flipped in the image's last page, the file cut in
# the middle of the image, and in place of its image the one vek carries,
# made by another build.
run_objcopy(--dump-section ${SECTION}=${dir}/embedded/vek.image ${VEK} ${dir}/embedded/vek.copy)
math(EXPR near_end "${offset} + ${size} - 100")
math(EXPR cut "${offset} + ${size} / 2")
foreach(corruption "flipped:${near_end}" "truncated:${cut}" "other-build")
  string(REGEX REPLACE ":.*" "" name "${corruption}")
  set(program ${dir}/embedded/${name})
  file(COPY_FILE ${embedded} ${program})
  if(name STREQUAL "flipped")
    flip_byte(${program} ${near_end})
  elseif(name STREQUAL "truncated")
    execute_process(COMMAND truncate -s ${cut} ${program})
  else()
    run_objcopy(--update-section ${SECTION}=${dir}/embedded/vek.image ${program})
  endif()
  print_second(damaged origin)
  expect_origin("the program with the ${name} embedded image" source "${origin}")
  expect_same("the program with the ${name} embedded image" "${second}" "${damaged}")
endforeach()

# vek itself starts from its own image: its heap is mapped from its file,
# from the image section on.
image_section(vek_offset vek_size ${VEK})
file(WRITE ${dir}/maps.vek "Vek []\nprint read %/proc/self/maps\n")
execute_process(COMMAND ${VEK} ${dir}/maps.vek OUTPUT_VARIABLE maps RESULT_VARIABLE status)
get_filename_component(vek_file ${VEK} REALPATH)
string(REGEX MATCHALL "rw-p ([0-9a-f]+) [^\n]* ${vek_file}\n" mapped "${maps}")
set(from_image FALSE)
foreach(line ${mapped})
  string(REGEX MATCH "^rw-p ([0-9a-f]+)" line_start "${line}")
  math(EXPR at "0x${CMAKE_MATCH_1}")
  if(at GREATER_EQUAL vek_offset)
    set(from_image TRUE)
  endif()
endforeach()
if(NOT status EQUAL 0 OR NOT from_image)
  message(SEND_ERROR "vek did not map its heap image (status ${status}):\n${maps}")
endif()
