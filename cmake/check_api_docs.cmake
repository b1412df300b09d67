# Runs Doxygen on the public headers and fails when
#  - Doxygen reports any warning (an undocumented member, a broken command), or
#  - a function or variable declared with ZALCV_API / ZALCORE_API is missing
#    from the generated tag file (Doxygen lists documented members only).
# Usage: cmake -DDOXYGEN=... -DDOXYFILE=... -DOUT_DIR=... -DINCLUDE_DIR=... -P check_api_docs.cmake
cmake_minimum_required(VERSION 3.20)
file(REMOVE_RECURSE ${OUT_DIR})
file(MAKE_DIRECTORY ${OUT_DIR})
execute_process(COMMAND ${DOXYGEN} ${DOXYFILE} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "doxygen failed (${rc}):\n${out}${err}")
endif()

file(READ ${OUT_DIR}/warnings.log warnings)
string(STRIP "${warnings}" warnings)
if(NOT warnings STREQUAL "")
  message(FATAL_ERROR "Doxygen warnings in the public headers:\n${warnings}")
endif()

file(READ ${OUT_DIR}/zalcv.tag tag)
string(REGEX MATCHALL "<name>[A-Za-z_0-9]+</name>" tag_names "${tag}")
string(REGEX REPLACE "</?name>" "" tag_names "${tag_names}")
list(REMOVE_DUPLICATES tag_names)

file(GLOB_RECURSE headers ${INCLUDE_DIR}/*.h)
set(declared "")
foreach(header IN LISTS headers)
  file(READ ${header} text)
  # Declarations start a line with the export macro; the name is the last
  # identifier before '(' (functions) or ';' (variables). Semicolons would
  # split CMake lists, so they become '@' first.
  string(REPLACE ";" "@" text "${text}")
  string(REGEX MATCHALL "\nZAL(CV|CORE)_API[^@(]*[A-Za-z_0-9]+[@(]" decls "${text}")
  foreach(decl IN LISTS decls)
    string(REGEX MATCH "([A-Za-z_0-9]+)[@(]$" _ "${decl}")
    list(APPEND declared ${CMAKE_MATCH_1})
  endforeach()
endforeach()
list(LENGTH declared n_declared)
if(n_declared LESS 600)
  message(FATAL_ERROR "found only ${n_declared} exported declarations in ${INCLUDE_DIR}: parser out of date?")
endif()

set(missing "")
foreach(name IN LISTS declared)
  if(NOT name IN_LIST tag_names)
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " missing_text)
  message(FATAL_ERROR "undocumented exports:\n  ${missing_text}")
endif()
message(STATUS "API documentation: ${n_declared} exports documented, no warnings (${OUT_DIR}/html/index.html)")
