# Installs the build into a fresh PREFIX and checks what arrives there:
# exactly the programs, the desktop entry and its metadata, the user unit,
# the icons, the manual pages, the guide and the package's copyright and
# changelog, each in a usable form. Run as: cmake -DBUILD_DIR=... -DPREFIX=... -P this
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

set(sizes 16 22 24 32 48 64 128 256)
set(expected
  bin/ondrix-linesim
  bin/ondrix-server
  lib/systemd/user/ondrix-server.service
  lib/systemd/user/ondrix-server@.service
  share/applications/org.example.ondrix.server.desktop
  share/doc/ondrix-server/changelog.gz
  share/doc/ondrix-server/copyright
  share/doc/ondrix-server/guide.md
  share/doc/ondrix-server/images/about.png
  share/doc/ondrix-server/images/main.png
  share/doc/ondrix-server/images/preview.png
  share/icons/hicolor/scalable/apps/ondrix-server.svg
  share/man/man1/ondrix-linesim.1.gz
  share/man/man1/ondrix-server.1.gz
  share/metainfo/org.example.ondrix.server.metainfo.xml)
foreach(size IN LISTS sizes)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/ondrix-server.png)
endforeach()
list(SORT expected)

# Nothing more (the test build of the server in particular), nothing less.
file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${PREFIX} ${PREFIX}/*)
list(SORT found)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "installed files differ.\nexpected: ${expected}\nfound:    ${found}")
endif()

# The first bytes of a file as hex.
function(magic path count out)
  file(READ ${PREFIX}/${path} hex LIMIT ${count} HEX)
  set(${out} ${hex} PARENT_SCOPE)
endfunction()

foreach(program ondrix-server ondrix-linesim)
  magic(bin/${program} 4 m)
  if(NOT m STREQUAL "7f454c46")
    message(FATAL_ERROR "bin/${program} is not an executable (starts ${m})")
  endif()
  execute_process(COMMAND test -x ${PREFIX}/bin/${program} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "bin/${program} cannot be executed")
  endif()
endforeach()

# Each theme size holds a PNG of that size: width and height follow the
# signature and the header chunk's length and type.
foreach(size IN LISTS sizes)
  set(path share/icons/hicolor/${size}x${size}/apps/ondrix-server.png)
  file(READ ${PREFIX}/${path} hex OFFSET 16 LIMIT 8 HEX)
  string(SUBSTRING ${hex} 0 8 wh)
  string(SUBSTRING ${hex} 8 8 hh)
  math(EXPR w "0x${wh}")
  math(EXPR h "0x${hh}")
  if(NOT w EQUAL size OR NOT h EQUAL size)
    message(FATAL_ERROR "${path} is ${w}x${h}")
  endif()
endforeach()

foreach(path man/man1/ondrix-server.1.gz man/man1/ondrix-linesim.1.gz doc/ondrix-server/changelog.gz)
  magic(share/${path} 2 m)
  if(NOT m STREQUAL "1f8b")
    message(FATAL_ERROR "${path} is not gzip data")
  endif()
endforeach()

# The desktop entry is valid, and its command and icon are the installed ones.
set(entry ${PREFIX}/share/applications/org.example.ondrix.server.desktop)
find_program(VALIDATE desktop-file-validate REQUIRED)
execute_process(COMMAND ${VALIDATE} ${entry} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate: ${rc} ${out}")
endif()
file(STRINGS ${entry} exec REGEX "^Exec=")
file(STRINGS ${entry} icon REGEX "^Icon=")
if(NOT exec STREQUAL "Exec=ondrix-server" OR NOT icon STREQUAL "Icon=ondrix-server")
  message(FATAL_ERROR "desktop entry names ${exec} and ${icon}")
endif()

# The unit starts the installed server, as the login entry does, with --start.
file(STRINGS ${PREFIX}/lib/systemd/user/ondrix-server.service exec REGEX "^ExecStart=")
if(NOT exec STREQUAL "ExecStart=/usr/bin/ondrix-server --start")
  message(FATAL_ERROR "the user unit runs ${exec}")
endif()
# Each line's server in its own folder.
file(STRINGS ${PREFIX}/lib/systemd/user/ondrix-server@.service exec REGEX "^ExecStart=")
if(NOT exec STREQUAL "ExecStart=/usr/bin/ondrix-server --start --dir %h/.local/share/ondrix-server/%i")
  message(FATAL_ERROR "the template unit runs ${exec}")
endif()
file(REMOVE_RECURSE ${PREFIX})
