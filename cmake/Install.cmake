# Installation layout (GNU directories) and the Debian package made by CPack:
#   cmake --build build --target package   ->  build/velkora_<version>_<arch>.deb
include(GNUInstallDirs)
# The user guide lives where the Help menu looks for it.
set(VELKORA_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/velkora)

set(VELKORA_APP_ID org.velkora.Velkora)

install(TARGETS velkora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET velkora)
  install(TARGETS velkora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${CMAKE_SOURCE_DIR}/packaging/${VELKORA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${VELKORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/velkora-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME velkora.xml)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/velkora.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${VELKORA_APP_ID}.svg)
foreach(size 16 22 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/velkora-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${VELKORA_APP_ID}.png)
endforeach()
# The plate's access rule belongs with the system's udev rules (/lib/udev/rules.d on Debian).
install(FILES ${CMAKE_SOURCE_DIR}/resources/99-velkora.rules DESTINATION lib/udev/rules.d)
# Manual pages and the package's change log go in compressed, as Debian keeps them (gzip -n: the same
# bytes at every build).
file(GLOB VELKORA_MAN_PAGES ${CMAKE_SOURCE_DIR}/packaging/man/*.1)
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
set(VELKORA_COMPRESSED_FILES)
foreach(source ${VELKORA_MAN_PAGES} ${CMAKE_BINARY_DIR}/packaging/changelog)
  get_filename_component(name ${source} NAME)
  set(copy ${CMAKE_BINARY_DIR}/packaging/gz/${name})
  add_custom_command(OUTPUT ${copy}.gz
                     COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
                     COMMAND gzip -9 -n -f ${copy}
                     DEPENDS ${source}
                     VERBATIM)
  list(APPEND VELKORA_COMPRESSED_FILES ${copy}.gz)
endforeach()
add_custom_target(velkora_compressed_docs ALL DEPENDS ${VELKORA_COMPRESSED_FILES})
foreach(page ${VELKORA_MAN_PAGES})
  get_filename_component(name ${page} NAME)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/gz/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/packaging/gz/changelog.gz ${CMAKE_SOURCE_DIR}/packaging/debian/copyright
        DESTINATION ${VELKORA_DOCDIR})
# The user guide (README with its pictures), which the Help menu opens.
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${VELKORA_DOCDIR})
if(EXISTS ${CMAKE_SOURCE_DIR}/docs)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${VELKORA_DOCDIR}/docs)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkora)
set(CPACK_PACKAGE_VENDOR "Velkora")
set(VELKORA_PACKAGE_CONTACT "Velkora developers <velkora@example.org>"
    CACHE STRING "The package's maintainer, name and mail address")
set(CPACK_PACKAGE_CONTACT "${VELKORA_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "force plate measurement program")
# Lines of at most 80 characters, as the package's control file wants them.
set(CPACK_PACKAGE_DESCRIPTION
    "Velkora records force tests and power tests on a two-component force plate,\nshows curves, bars and reports, prints and exports them, and keeps them in\nmeasurement files. Includes the command-line companion velkora-cli.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Text in graphs and printed pages needs a font even where the desktop brings none.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
