# What `cmake --install` puts on a system: the server and the line simulator,
# the desktop entry and its AppStream metadata, the systemd user unit that may
# keep the server running, the icon in the theme's sizes,
# a manual page for each program, the operator's guide, and what Debian asks
# of a package (copyright, changelog). The test build of the server
# (ondrix-server-scripted) carries the test hooks and is never installed.
include(GNUInstallDirs)

set(ONDRIX_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS ondrix-server ondrix-linesim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (CPack's) also drops the compilers' notes, as Debian's
# own packages are stripped.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program ondrix-server ondrix-linesim)
      execute_process(
        COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

# The desktop entry's file name is the AppStream id: software centres join
# the two by it.
set(ONDRIX_APP_ID org.example.ondrix.server)
install(FILES ${ONDRIX_PACKAGING_DIR}/${ONDRIX_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ONDRIX_PACKAGING_DIR}/${ONDRIX_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The user unit goes where systemd looks for a package's units: lib/, not
# the multiarch library folder.
install(FILES ${ONDRIX_PACKAGING_DIR}/ondrix-server.service ${ONDRIX_PACKAGING_DIR}/ondrix-server@.service
        DESTINATION lib/systemd/user)

set(ONDRIX_ICON_SIZES 16 22 24 32 48 64 128 256)
foreach(size IN LISTS ONDRIX_ICON_SIZES)
  install(FILES ${ONDRIX_PACKAGING_DIR}/icons/ondrix-server-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ondrix-server.png)
endforeach()
install(FILES ${ONDRIX_PACKAGING_DIR}/icons/ondrix-server.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages and the changelog go out compressed, as Debian keeps them; -n
# leaves the name and time out of the gzip header, so the same file gives the
# same bytes.
set(ONDRIX_COMPRESSED_OUTPUTS)
function(ondrix_compress source out)
  get_filename_component(dir ${out} DIRECTORY)
  get_filename_component(name ${out} NAME_WLE)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${dir}/${name}
    COMMAND gzip -9 -n -f ${dir}/${name}
    DEPENDS ${source}
    VERBATIM)
  set(ONDRIX_COMPRESSED_OUTPUTS ${ONDRIX_COMPRESSED_OUTPUTS} ${out} PARENT_SCOPE)
endfunction()

set(ONDRIX_MAN_PAGES ondrix-server.1 ondrix-linesim.1)
foreach(page IN LISTS ONDRIX_MAN_PAGES)
  ondrix_compress(${ONDRIX_PACKAGING_DIR}/man/${page} ${CMAKE_BINARY_DIR}/man/${page}.gz)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
ondrix_compress(${ONDRIX_PACKAGING_DIR}/changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_target(ondrix_compressed_docs ALL DEPENDS ${ONDRIX_COMPRESSED_OUTPUTS})

set(ONDRIX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/ondrix-server)
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz ${ONDRIX_PACKAGING_DIR}/copyright
        DESTINATION ${ONDRIX_DOC_DIR})

# The operator's guide with its screenshots, where Debian keeps a package's
# documents.
install(FILES ${CMAKE_SOURCE_DIR}/docs/guide.md DESTINATION ${ONDRIX_DOC_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images
        DESTINATION ${ONDRIX_DOC_DIR}
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

# The README's steps for an installed server, run as written on a fresh home.
add_test(NAME readme_steps
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/readme_steps.sh ${CMAKE_BINARY_DIR}
          ${CMAKE_SOURCE_DIR}/README.md)
