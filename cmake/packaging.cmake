# What `cmake --install` puts under the prefix, and the Debian package that
# CPack makes of it (scripts/release.sh):
#   bin/kestrune-pack
#   share/man/man1/kestrune-pack.1
#   share/doc/kestrune/        README.md, docs/ (the tool and the format)
#   share/kestrune/            kestrune.exe, kestrune-demo.scr and its readme
#                              (when the cross build made them), and
#                              kestrune-pack.html (when Emscripten made it)
include(GNUInstallDirs)

set(KESTRUNE_DATA_DIR ${CMAKE_INSTALL_FULL_DATADIR}/kestrune)
set(KESTRUNE_DOC_DIR ${CMAKE_INSTALL_FULL_DOCDIR})
configure_file(${PROJECT_SOURCE_DIR}/docs/kestrune-pack.1.in ${PROJECT_BINARY_DIR}/kestrune-pack.1 @ONLY)

install(TARGETS kestrune-pack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_BINARY_DIR}/kestrune-pack.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES docs/architecture.md docs/formats.md docs/integrity.md docs/package-format.md
              docs/package-tool.md docs/stub.md docs/web-page.md docs/demo-saver.png docs/progress-dialog.png
              docs/progress-dialog-icon.png docs/web-page.png docs/packer-window.png
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
if(KESTRUNE_BUILTIN_STUB)
  get_filename_component(windows_i686 ${KESTRUNE_BUILTIN_STUB} DIRECTORY)
  get_filename_component(windows_i686 ${windows_i686} DIRECTORY)
  install(FILES ${KESTRUNE_BUILTIN_STUB} ${windows_i686}/demo/kestrune-demo.scr
          DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrune)
  install(FILES demo/README.TXT RENAME kestrune-demo.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrune)
endif()
if(KESTRUNE_WEB_PAGE)
  install(FILES ${KESTRUNE_WEB_PAGE} DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrune)
endif()

# ---- the Debian package -------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VENDOR "Kestrune")
set(CPACK_PACKAGE_CONTACT "Kestrune developers <kestrune@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-installing screen savers for 32-bit Windows")
set(CPACK_PACKAGE_DESCRIPTION "kestrune-pack turns a Windows screen saver into one small
self-installing executable for 32-bit Windows systems that keep the active
screen saver in system.ini (Windows 95, 98 and Me). It carries the
installer stub, and inspects, verifies and extracts finished installers.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries kestrune-pack links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
include(CPack)
