# The libraries vek loads at their first use are opened by their soname, the
# name the dynamic linker knows them by. It is read when the build is
# configured from the library file that was found, whose headers the build
# compiles against, so the program asks for the version it was built for.

# Defines NAME on the target as the soname (a string literal) of the shared
# library file LIBRARY; configuring fails when the file has none.
function(vek_soname_definition target name library)
  execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${library}
                  RESULT_VARIABLE status OUTPUT_VARIABLE dump ERROR_QUIET)
  string(REGEX MATCH "SONAME +([^ \n]+)" found "${dump}")
  if(NOT status EQUAL 0 OR NOT found)
    message(FATAL_ERROR "no soname in ${library}: a shared library is needed")
  endif()
  target_compile_definitions(${target} PRIVATE ${name}="${CMAKE_MATCH_1}")
endfunction()
