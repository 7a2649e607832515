# Fails when a source includes from a layer it may not reach: every include
# points down the picture in docs/architecture.md. Run as
#   cmake -DROOT=<source dir> -P check_layers.cmake
cmake_minimum_required(VERSION 3.25)

# One row per folder: the folder, the layers of src/ its files may include
# ("-" for none), and whether they may include Qt headers (<Q...>). A quoted
# include whose first part names a layer ("state/form1.h") is checked; one
# without a layer ("fakes.h") is the folder's own or its target's. A source
# in a folder without a row fails, so a new folder is placed on purpose.
set(core_below_qt "core platform state store engine modem console service records journal")
set(rules
  "src/core      | core                                 | no"
  "src/platform  | core platform                        | no"
  "src/state     | core platform state                  | no"
  "src/store     | core platform state store            | no"
  "src/engine    | core platform state store engine     | no"
  "src/modem     | core platform state store modem      | no"
  "src/console   | core platform state store console    | no"
  # What the service manager and its journal are told, and what the command
  # line asks: the line's state, the start options.
  "src/service   | core platform state service          | no"
  # A record's road and the call journal: told by Form1 through
  # state/record_events.h, never reaching into the handlers' folders.
  "src/records   | core platform state store records    | no"
  "src/journal   | core platform state journal          | no"
  "src/qt        | ${core_below_qt} qt                  | yes"
  "src/app       | ${core_below_qt} qt app              | yes"
  # The simulator never borrows the server's code: it checks the server.
  "tools/linesim | -                                    | no"
  "tests/support | ${core_below_qt}                     | no"
  "tests/core    | ${core_below_qt}                     | no"
  "tests/linesim | ${core_below_qt}                     | no"
  "tests/e2e     | ${core_below_qt}                     | no"
  "fuzz          | ${core_below_qt}                     | no"
  "tests/qt      | ${core_below_qt} qt                  | yes"
  "tests/hooks   | ${core_below_qt} qt app              | yes"
  "tests/figures | -                                    | yes"
)
# Single headers a folder may include beside its layers: the modem's words
# are a leaf vocabulary without Form1 that the poll loop, the scanner and the
# console's keys share.
set(exceptions
  "src/engine  | modem/modem_words.h"
  "src/console | modem/modem_words.h"
)
set(layers core platform state store engine modem console service records journal qt app)

function(trim_field text out)
  string(STRIP "${text}" text)
  string(REGEX REPLACE "[ \t]+" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE ${ROOT}
  ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/tools/*.h ${ROOT}/tools/*.cpp
  ${ROOT}/tests/*.h ${ROOT}/tests/*.cpp ${ROOT}/fuzz/*.h ${ROOT}/fuzz/*.cpp)

set(faults "")
set(checked 0)
foreach(source IN LISTS sources)
  # The row of the source's folder.
  set(allowed "")
  set(qt_allowed "")
  set(found FALSE)
  foreach(rule IN LISTS rules)
    string(REPLACE "|" ";" fields "${rule}")
    list(GET fields 0 folder)
    string(STRIP "${folder}" folder)
    string(FIND "${source}" "${folder}/" at)
    if(at EQUAL 0)
      list(GET fields 1 allowed)
      trim_field("${allowed}" allowed)
      list(GET fields 2 qt_allowed)
      string(STRIP "${qt_allowed}" qt_allowed)
      set(found TRUE)
      break()
    endif()
  endforeach()
  if(NOT found)
    list(APPEND faults "${source}: its folder has no row in the layer table")
    continue()
  endif()
  set(extra "")
  foreach(exception IN LISTS exceptions)
    string(REPLACE "|" ";" fields "${exception}")
    list(GET fields 0 folder)
    string(STRIP "${folder}" folder)
    string(FIND "${source}" "${folder}/" at)
    if(at EQUAL 0)
      list(GET fields 1 header)
      string(STRIP "${header}" header)
      list(APPEND extra "${header}")
    endif()
  endforeach()

  math(EXPR checked "${checked} + 1")
  file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" header "${line}")
    if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*<Q" AND NOT qt_allowed STREQUAL "yes")
      list(APPEND faults "${source}: Qt header <${header}>")
    elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([a-z]+)/")
      set(layer "${CMAKE_MATCH_1}")
      if(layer IN_LIST layers AND NOT layer IN_LIST allowed AND NOT header IN_LIST extra)
        list(APPEND faults "${source}: \"${header}\" (${layer} is not below it)")
      endif()
    endif()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "includes against the layers:\n  ${text}")
endif()
message(STATUS "checked ${checked} sources: every include points down")
