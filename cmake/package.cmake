# The Debian package, built by CPack from the install rules (scripts/package.sh).
# Library dependencies are read from the binaries (dpkg-shlibdeps); what the
# program loads at run time without linking it is named here: Qt's platform
# plugins, Qt's own Japanese translations (its standard dialogs and buttons),
# and the Japanese gothic face the window's fonts fall back to.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ondrix-server)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ondrix Server developers")
# The project's team; example.org stands in for a domain the project does not
# have yet (the AppStream id org.example.ondrix.server is built from it too).
set(CPACK_PACKAGE_CONTACT "Ondrix Server developers <ondrix-server@ondrix.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop server for TAVIX terminals behind a terminal-adapter modem")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Answers TAVIX terminals that dial in through a terminal-adapter modem on a
serial port: takes their mail (text, melody and image) into a store of 100
mails and hands out the melodies and images the operator offers. The window
is also the operator's console for the modem. Includes ondrix-linesim, a
simulated modem for trying the server without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-ipafont-gothic")
# Opening the help file goes through the desktop's default handler.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
