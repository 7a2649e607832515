# Fails when a source of src, tools, tests or fuzz is not formatted as the
# repository's .clang-format says, by the one clang-format version the tree is
# formatted with (versions differ in their output). Run as
#   cmake -DROOT=<source dir> -DCLANG_FORMAT=<program> -P check_format.cmake
cmake_minimum_required(VERSION 3.25)

set(pinned_major 14)

if(NOT CLANG_FORMAT)
  message(FATAL_ERROR "clang-format ${pinned_major} not found (Debian: apt-get install clang-format-${pinned_major})")
endif()
execute_process(COMMAND ${CLANG_FORMAT} --version OUTPUT_VARIABLE version_text
                RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT version_text MATCHES "clang-format version ${pinned_major}\\.")
  string(STRIP "${version_text}" version_text)
  message(FATAL_ERROR "${CLANG_FORMAT} is \"${version_text}\"; the tree is formatted with clang-format ${pinned_major}")
endif()

file(GLOB_RECURSE sources
  ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/tools/*.h ${ROOT}/tools/*.cpp
  ${ROOT}/tests/*.h ${ROOT}/tests/*.cpp ${ROOT}/fuzz/*.h ${ROOT}/fuzz/*.cpp)
list(SORT sources)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror --style=file ${sources}
                WORKING_DIRECTORY ${ROOT}
                RESULT_VARIABLE status ERROR_VARIABLE complaints)
list(LENGTH sources n)
if(NOT status EQUAL 0)
  # One line per file that needs formatting; clang-format --dry-run on one
  # of them shows where.
  string(REGEX MATCHALL "[^\n]*: (error|warning): code should be clang-formatted" hits "${complaints}")
  set(files "")
  foreach(hit IN LISTS hits)
    string(REGEX REPLACE ":[0-9]+:[0-9]+: (error|warning): code should be clang-formatted$" "" file "${hit}")
    file(RELATIVE_PATH file ${ROOT} ${file})
    list(APPEND files "${file}")
  endforeach()
  list(REMOVE_DUPLICATES files)
  list(JOIN files "\n  " file_list)
  if(NOT files)
    message(FATAL_ERROR "clang-format failed:\n${complaints}")
  endif()
  message(FATAL_ERROR "not formatted (clang-format -i fixes them):\n  ${file_list}")
endif()
message(STATUS "checked ${n} sources: formatted as .clang-format says")
