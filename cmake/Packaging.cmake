# Installation and the Debian package: both programs, their manual pages and,
# in the package, the copyright file, the changelog and the lintian overrides.
#   cmake --install build/release --prefix /usr/local
#   cpack --preset deb          (or: cmake --workflow --preset package)
# The Windows build installs and packages its own way.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows/Packaging.cmake)
  return()
endif()
include(GNUInstallDirs)

# Directories get 0755 whatever the umask of whoever builds the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(TOOLS_MAINTAINER "Content Tools Team <maintainers@content-tools.org>"
    CACHE STRING "Maintainer field of the package and signature of its changelog")
set(tools_package content-tools)

install(TARGETS Tavlick Orrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Debian ships manual pages and changelogs compressed; gzip -n leaves out the
# name and the time, so the package's bytes depend on the sources alone.
find_program(TOOLS_GZIP gzip)
set(tools_man_pages)
set(tools_doc_files)
function(tools_packed source packed list)
  if(TOOLS_GZIP)
    add_custom_command(OUTPUT ${packed}
      COMMAND ${TOOLS_GZIP} -9 -n -c ${source} > ${packed}
      DEPENDS ${source}
      COMMENT "Compressing ${source}"
      VERBATIM)
    set(${list} ${${list}} ${packed} PARENT_SCOPE)
  else()
    set(${list} ${${list}} ${source} PARENT_SCOPE)
  endif()
endfunction()

# The pages take the version and the release date from this file.
foreach(page Tavlick.1 Orrel.1)
  configure_file(${PROJECT_SOURCE_DIR}/docs/${page} ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
  tools_packed(${PROJECT_BINARY_DIR}/man/${page} ${PROJECT_BINARY_DIR}/man/${page}.gz
               tools_man_pages)
endforeach()

# The copyright file from LICENSE and the changelog from NEWS.md.
set(doc ${PROJECT_BINARY_DIR}/doc)
file(MAKE_DIRECTORY ${doc})
set(debian_docs ${PROJECT_SOURCE_DIR}/cmake/DebianDocs.cmake)
set(debian_docs_args -DPACKAGE=${tools_package} -DMAINTAINER=${TOOLS_MAINTAINER})
add_custom_command(OUTPUT ${doc}/copyright
  COMMAND ${CMAKE_COMMAND} -DWHAT=copyright -DIN=${PROJECT_SOURCE_DIR}/LICENSE
          -DOUT=${doc}/copyright ${debian_docs_args} -P ${debian_docs}
  DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE ${debian_docs}
  COMMENT "Writing the package's copyright file from LICENSE"
  VERBATIM)
add_custom_command(OUTPUT ${doc}/changelog
  COMMAND ${CMAKE_COMMAND} -DWHAT=changelog -DIN=${PROJECT_SOURCE_DIR}/NEWS.md
          -DOUT=${doc}/changelog -DVERSION=${PROJECT_VERSION} -DDATE=${TOOLS_RELEASE_DATE}
          ${debian_docs_args} -P ${debian_docs}
  DEPENDS ${PROJECT_SOURCE_DIR}/NEWS.md ${debian_docs}
  COMMENT "Writing the package's changelog from NEWS.md"
  VERBATIM)
set(tools_doc_files ${doc}/copyright)
tools_packed(${doc}/changelog ${doc}/changelog.gz tools_doc_files)
add_custom_target(man_pages ALL DEPENDS ${tools_man_pages} ${tools_doc_files})

install(FILES ${tools_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Only the package gets Debian's documents and overrides; a plain install
# under /usr/local has no use for them.
install(FILES ${tools_doc_files} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${tools_package}
        COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${tools_package}
        COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_NAME ${tools_package})
set(CPACK_PACKAGE_VENDOR "Content tools authors")
set(CPACK_PACKAGE_CONTACT "${TOOLS_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TOOLS_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Two command-line converters that prepare content for a game engine.\n\
Tavlick turns a palette texture (.wal) into an uncompressed 24-bit Targa\n\
image, expanding each index through a fixed 256-colour palette. Orrel turns\n\
a light list into the engine's light entity file (.lit).")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
# One package holding the programs and pages and the Debian documents.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};Unspecified;/"
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};debian;/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Statically linked programs depend on nothing; otherwise let dpkg-shlibdeps
# (package dpkg-dev) find the shared libraries they need.
if(NOT TOOLS_STATIC)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

# Reproducible packages: cpack reads this file when it runs, so the time of
# the last commit is taken then, not when the build was configured. It
# stamps the archive members, whose times are clamped to it.
find_program(TOOLS_GIT git)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake)
file(CONFIGURE OUTPUT ${CPACK_PROJECT_CONFIG_FILE} @ONLY CONTENT [[
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND EXISTS "@TOOLS_GIT@")
  execute_process(COMMAND "@TOOLS_GIT@" -C "@PROJECT_SOURCE_DIR@" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0 AND epoch MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  endif()
endif()
]])

set(CPACK_GENERATOR DEB)
include(CPack)
