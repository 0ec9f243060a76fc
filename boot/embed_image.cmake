# Makes the heap image of the program PROGRAM and adds it to the program as
# the section SECTION, page-aligned so that a start can map it in place:
# PROGRAM boots its library from source in image-making mode and writes the
# image to IMAGE, then objcopy adds it. objcopy rewrites the file but not
# its build-id note, which the image records and a start compares: a relink
# would give the program another build id than the image names. Any failure
# fails the build, since a program without its image would boot from source
# without saying so.
#
#   cmake -DPROGRAM=... -DIMAGE=... -DSECTION=... -DOBJCOPY=... -P embed_image.cmake
foreach(variable PROGRAM IMAGE SECTION OBJCOPY)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "embed_image.cmake needs ${variable}")
  endif()
endforeach()

file(REMOVE ${IMAGE})
execute_process(COMMAND ${CMAKE_COMMAND} -E env VEK_MAKE_IMAGE=${IMAGE} ${PROGRAM}
                INPUT_FILE /dev/null RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT EXISTS ${IMAGE})
  message(FATAL_ERROR "${PROGRAM} made no heap image (status ${status}):\n${out}\n${err}")
endif()

# objcopy aligns a section it adds only when asked in a second pass: the
# first places it at the next free byte.
set(added ${PROGRAM}.with-image)
set(aligned ${PROGRAM}.aligned-image)
execute_process(COMMAND ${OBJCOPY} --remove-section ${SECTION} --add-section ${SECTION}=${IMAGE}
                        --set-section-flags ${SECTION}=contents,readonly ${PROGRAM} ${added}
                RESULT_VARIABLE status ERROR_VARIABLE err)
if(status EQUAL 0)
  execute_process(COMMAND ${OBJCOPY} --set-section-alignment ${SECTION}=4096 ${added} ${aligned}
                  RESULT_VARIABLE status ERROR_VARIABLE err)
endif()
file(REMOVE ${added})
if(NOT status EQUAL 0)
  file(REMOVE ${aligned})
  message(FATAL_ERROR "objcopy could not add the heap image to ${PROGRAM}:\n${err}")
endif()
file(RENAME ${aligned} ${PROGRAM})
