# What `cmake --install` puts on a system: the server and the line simulator,
# the desktop entry, the icon in the theme's sizes, a manual page for each
# program and the operator's guide. The test build of the server
# (ondrix-server-scripted) carries the test hooks and is never installed.
include(GNUInstallDirs)

set(ONDRIX_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS ondrix-server ondrix-linesim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${ONDRIX_PACKAGING_DIR}/ondrix-server.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

set(ONDRIX_ICON_SIZES 16 22 24 32 48 64 128 256)
foreach(size IN LISTS ONDRIX_ICON_SIZES)
  install(FILES ${ONDRIX_PACKAGING_DIR}/icons/ondrix-server-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ondrix-server.png)
endforeach()
install(FILES ${ONDRIX_PACKAGING_DIR}/icons/ondrix-server.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages go out compressed, as Debian keeps them; -n leaves the name and
# time out of the gzip header, so the same page gives the same bytes.
set(ONDRIX_MAN_PAGES ondrix-server.1 ondrix-linesim.1)
set(ONDRIX_MAN_OUTPUTS)
foreach(page IN LISTS ONDRIX_MAN_PAGES)
  set(out ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E copy ${ONDRIX_PACKAGING_DIR}/man/${page} ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9 -n -f ${CMAKE_BINARY_DIR}/man/${page}
    DEPENDS ${ONDRIX_PACKAGING_DIR}/man/${page}
    VERBATIM)
  list(APPEND ONDRIX_MAN_OUTPUTS ${out})
endforeach()
add_custom_target(ondrix_man_pages ALL DEPENDS ${ONDRIX_MAN_OUTPUTS})
install(FILES ${ONDRIX_MAN_OUTPUTS} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The operator's guide with its screenshots, where Debian keeps a package's
# documents.
install(FILES ${CMAKE_SOURCE_DIR}/docs/guide.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ondrix-server)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ondrix-server
        FILES_MATCHING PATTERN "*.png")

# An install into a temporary prefix holds exactly the files above.
add_test(NAME install_into_prefix
  COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
          -DPREFIX=${CMAKE_BINARY_DIR}/install-test
          -P ${CMAKE_SOURCE_DIR}/tests/install/check_install.cmake)

# An installed server cannot write beside its executable: its files must go
# to the per-user data directory instead.
add_test(NAME user_data_fallback
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/user_data_fallback.sh
          $<TARGET_FILE:ondrix-server-scripted>)
