# The installable toolkit (cmake --install, and a .deb with CPack): the
# native checker, its manual page, the publisher's guide, and the Windows
# products the cross build left in dist/ (scripts/build.sh makes them first).
include(GNUInstallDirs)
set(QV_PRODUCTS setup.exe UNZDLL.DLL uninst.exe setupsfx.exe setupcheck.exe)
set(QV_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/qvsetup)

install(TARGETS setupcheck RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Debian keeps manual pages and the package's changelog compressed, and with no
# time stamp inside, so two builds give the same bytes.
set(QV_MAN ${CMAKE_BINARY_DIR}/setupcheck.1.gz)
set(QV_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${QV_MAN}
  COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/docs/setupcheck.1 > ${QV_MAN}
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/setupcheck.1)
add_custom_command(OUTPUT ${QV_CHANGELOG}
  COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/docs/changelog > ${QV_CHANGELOG}
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/changelog)
add_custom_target(qv_install_docs ALL DEPENDS ${QV_MAN} ${QV_CHANGELOG})
install(FILES ${QV_MAN} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/docs/publishing.md ${CMAKE_SOURCE_DIR}/docs/copyright DESTINATION ${QV_DOC_DIR})
install(FILES ${QV_CHANGELOG} DESTINATION ${QV_DOC_DIR})
list(TRANSFORM QV_PRODUCTS PREPEND ${CMAKE_SOURCE_DIR}/dist/ OUTPUT_VARIABLE QV_PRODUCT_FILES)
# Windows programs, read by the checker and copied into setup folders: data for this system.
install(FILES ${QV_PRODUCT_FILES} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
  DESTINATION ${CMAKE_INSTALL_DATADIR}/qvsetup/win32)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qvsetup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "qvsetup maintainers <qvsetup@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "checker and packer for a data-driven Windows installer")
set(CPACK_PACKAGE_DESCRIPTION
  "setupcheck reads a setup folder of a wizard-style installer for 32-bit\n"
  "Windows programs with the installer's own code: it reports mistakes in the\n"
  "installation lists, simulates an installation on an in-memory Windows, packs\n"
  "the folder for floppy disks or as one download and proves the result.\n"
  "The package also carries the Windows programs a setup folder is made of.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
