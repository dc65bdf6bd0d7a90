# The Debian package (cpack -G DEB in the build folder): what cmake --install puts in /usr, plus the
# manual pages, the copyright file and the changelog Debian asks of every package.
set(TAMRISK_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/tamrisk)
set(TAMRISK_PACKAGING_DIR ${CMAKE_CURRENT_BINARY_DIR}/packaging)

# The changelog's newest entry is the release: a version bumped in one place and not the other
# would make a package that contradicts itself.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog _newest LIMIT_COUNT 1)
if(NOT _newest MATCHES "^tamrisk \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog does not start with version ${PROJECT_VERSION}: ${_newest}")
endif()

# Compressed as Debian wants (gzip -9n: no name or time inside, so rebuilding gives the same bytes).
find_program(TAMRISK_GZIP gzip REQUIRED)
foreach(page tamrisk tamrisk-cli)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${page}.1 ${TAMRISK_PACKAGING_DIR}/${page}.1 @ONLY)
  list(APPEND _compressed ${TAMRISK_PACKAGING_DIR}/${page}.1.gz)
  add_custom_command(OUTPUT ${TAMRISK_PACKAGING_DIR}/${page}.1.gz
    COMMAND ${TAMRISK_GZIP} -9nf -k ${page}.1
    DEPENDS ${TAMRISK_PACKAGING_DIR}/${page}.1
    WORKING_DIRECTORY ${TAMRISK_PACKAGING_DIR})
  install(FILES ${TAMRISK_PACKAGING_DIR}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(OUTPUT ${TAMRISK_PACKAGING_DIR}/changelog.gz
  COMMAND ${TAMRISK_GZIP} -9n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > changelog.gz
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog
  WORKING_DIRECTORY ${TAMRISK_PACKAGING_DIR})
add_custom_target(tamrisk_packaging_docs ALL DEPENDS ${_compressed} ${TAMRISK_PACKAGING_DIR}/changelog.gz)
install(FILES ${TAMRISK_PACKAGING_DIR}/changelog.gz ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${TAMRISK_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tamrisk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tamrisk developers")
set(CPACK_PACKAGE_CONTACT "Tamrisk developers <tamrisk@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Plugins Qt loads at run time, which dpkg-shlibdeps cannot see: the SQLite driver for every
# library, the PostgreSQL one for team libraries, and the platform plugins for the window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "libqt6sql6-psql, adwaita-icon-theme, fonts-noto-core, fonts-noto-mono, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "library of source-code snippets with an Arabic interface
Tamrisk keeps snippets of source code (a title, the code and a comment),
filed under categories shown as a tree, in an Arabic, right-to-left window;
each snippet's code is coloured in its own language (Visual Basic, C, C++,
C#, Java, JavaScript, TypeScript, Python, PHP, Go, Rust, SQL, shell, HTML,
CSS, JSON). A library is one SQLite file, or a PostgreSQL database a team
shares. Snippets can be found, exported as text, RTF or web pages, exchanged
as update packages, and imported from other snippet managers. Libraries in
the older Jet 4.0 format are read and converted.
.
tamrisk-cli works on the same library without a display.")
include(CPack)
