# Writes the C++ source that embeds the library's modules in the program:
#   cmake -DLIST=modules.txt -DROOT=source-root -DOUT=file.cpp -P embed_library.cmake
# LIST names one module per line, as a path from ROOT, in boot order; blank
# lines and lines starting with # are left out; a line "per-run PATH" names a
# module whose work depends on the run, evaluated after every other module at
# each start. Each module becomes a raw
# string literal, so its text must not contain the literal's closing delimiter.
cmake_minimum_required(VERSION 3.20)

file(STRINGS ${LIST} entries)
set(delimiter "vek_module")
set(literals "")
set(table "")
set(count 0)
foreach(entry IN LISTS entries)
  string(STRIP "${entry}" entry)
  if(entry STREQUAL "" OR entry MATCHES "^#")
    continue()
  endif()
  set(per_run false)
  if(entry MATCHES "^per-run +(.*)$")
    set(per_run true)
    set(entry "${CMAKE_MATCH_1}")
  endif()
  file(READ ${ROOT}/${entry} text)
  string(FIND "${text}" ")${delimiter}\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${entry} contains the text )${delimiter}\" that ends the embedded literal")
  endif()
  string(APPEND literals "constexpr char module_${count}[] = R\"${delimiter}(${text})${delimiter}\";\n")
  string(APPEND table "    {\"${entry}\", {module_${count}, sizeof module_${count} - 1}, ${per_run}},\n")
  math(EXPR count "${count} + 1")
endforeach()

if(count EQUAL 0)
  message(FATAL_ERROR "${LIST} names no module")
endif()

set(source "// Generated at build time from the module list: the library's modules in boot order.
#include \"boot/library.h\"

namespace vek::boot {

namespace {

${literals}
constexpr Module modules[] = {
${table}};

}  // namespace

std::span<const Module> library_modules() { return modules; }

}  // namespace vek::boot
")
# Rewritten only when it changes, so that an unchanged library compiles nothing.
file(WRITE ${OUT}.new "${source}")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
