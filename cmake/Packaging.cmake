# Installation and the Debian package: both programs and their manual pages.
#   cmake --install build/release --prefix /usr/local
#   cpack --preset deb          (or: cmake --workflow --preset package)
include(GNUInstallDirs)

install(TARGETS Tavlick Orrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Debian ships manual pages compressed; gzip -n leaves out the name and the
# time, so the package's bytes depend on the sources alone.
find_program(TOOLS_GZIP gzip)
set(tools_man_pages)
foreach(page Tavlick.1 Orrel.1)
  set(source ${PROJECT_SOURCE_DIR}/docs/${page})
  if(TOOLS_GZIP)
    set(packed ${PROJECT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${packed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${TOOLS_GZIP} -9 -n -c ${source} > ${packed}
      DEPENDS ${source}
      COMMENT "Compressing the manual page ${page}"
      VERBATIM)
    list(APPEND tools_man_pages ${packed})
  else()
    list(APPEND tools_man_pages ${source})
  endif()
endforeach()
add_custom_target(man_pages ALL DEPENDS ${tools_man_pages})
install(FILES ${tools_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME content-tools)
set(CPACK_PACKAGE_VENDOR "Content tools maintainers")
set(CPACK_PACKAGE_CONTACT "Content tools maintainers <content-tools@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavlick turns a palette texture (.wal) into an uncompressed 24-bit Targa image.\n\
Orrel turns a light list into the engine's light entity file (.lit).")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Statically linked programs depend on nothing; otherwise let dpkg-shlibdeps
# (package dpkg-dev) find the shared libraries they need.
if(NOT TOOLS_STATIC)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()
include(CPack)
