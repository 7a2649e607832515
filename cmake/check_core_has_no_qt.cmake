# Fails when a source of the Qt-free core includes a Qt header.
file(GLOB_RECURSE files
  ${ROOT}/src/core/* ${ROOT}/src/state/* ${ROOT}/src/engine/* ${ROOT}/src/modem/*
  ${ROOT}/src/store/* ${ROOT}/src/console/*)
file(GLOB_RECURSE platform_files ${ROOT}/src/platform/*)
list(APPEND files ${platform_files})
foreach(f IN LISTS files)
  file(STRINGS ${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*<Q")
  if(hits)
    message(FATAL_ERROR "${f} includes a Qt header: ${hits}")
  endif()
endforeach()
list(LENGTH files n)
message(STATUS "checked ${n} core files: no Qt header")
