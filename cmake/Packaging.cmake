# What `cmake --install` puts under the prefix besides the programs (installed next to their
# targets: quarrow in src/app, quarrow-cli with its manual pages and completion in src/cli), and how
# `cpack -G DEB` packs it all. A later feature that installs a file (audiobook voices data, say)
# adds its install() rule here or next to its target, and the package carries it.

if(QUARROW_GUI)
  install(FILES ${PROJECT_SOURCE_DIR}/data/org.quarrow.Quarrow.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/org.quarrow.Quarrow.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The application's own logo is its icon, so there is one picture to keep.
  install(FILES ${PROJECT_SOURCE_DIR}/src/app/resources/images/logo.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME org.quarrow.Quarrow.svg)
endif()
# The bundled sample backups, which the application offers when the user has none.
install(DIRECTORY ${PROJECT_BINARY_DIR}/samples/Backup/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quarrow/samples/Backup)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quarrow)

set(CPACK_PACKAGE_NAME quarrow)
set(CPACK_PACKAGE_VENDOR "The Quarrow developers")
set(CPACK_PACKAGE_CONTACT "The Quarrow developers <quarrow@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "recover notes, contacts, messages and calls from iOS device backups")
set(CPACK_PACKAGE_DESCRIPTION
    "Quarrow lists the iOS device backups on this computer, scans one for the notes that still exist and\n"
    "the deleted ones that can be rebuilt from the free space of the notes database, and exports them.\n"
    "Asked to scan every category, it also reads the contacts, messages, call history, photos and videos.\n"
    "The backup is never modified. Its Audiobooks page keeps a library of ebooks (ePub, PDF, HTML, text,\n"
    "RTF) for the audiobook converter. It comes as a desktop application (quarrow) and a command line\n"
    "(quarrow-cli) with JSON output.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Depends: comes from the libraries the programs link (dpkg-shlibdeps); what they run is added here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, ffmpeg")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libimobiledevice-utils")
set(CPACK_GENERATOR DEB)
include(CPack)
