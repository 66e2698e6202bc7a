# Installation and the Debian package: both programs, their manual pages and,
# in the package, the copyright file, the changelog and the lintian overrides.
#   cmake --install build/release --prefix /usr/local
#   cpack --preset deb          (or: cmake --workflow --preset package)

# What both manual pages share is written once, in docs/man-shared.in: each
# piece there, from its line '.\" == NAME' to the next, fills
# @TAVLICK_SHARED_NAME@ in docs/Tavlick.1 and @ORREL_SHARED_NAME@ in
# docs/Orrel.1, said of that page's program. Set before the Windows branch,
# which configures the same pages.
set(tools_man_shared ${PROJECT_SOURCE_DIR}/docs/man-shared.in)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${tools_man_shared})
# Of each program: the argument of its synopsis, what it reads, its output's
# suffix and its message for an argument too short.
set(tools_man_Tavlick texture.wal texture tga "Funny argument size.")
set(tools_man_Orrel mapname.txt "light list" lit "Funny argument.")
function(tools_man_pieces program)
  set(PROGRAM ${program})
  list(GET tools_man_${program} 0 ARGUMENT)
  list(GET tools_man_${program} 1 INPUT)
  list(GET tools_man_${program} 2 SUFFIX)
  list(GET tools_man_${program} 3 TOO_SHORT)
  string(TOUPPER ${SUFFIX} SUFFIX_UPPER)
  string(REPLACE " " "\\ " TOO_SHORT_WHOLE "${TOO_SHORT}")
  string(TOUPPER ${program} prefix)
  file(READ ${tools_man_shared} text)
  set(marker "\n.\\\" == ")
  string(LENGTH "${marker}" marker_length)
  string(FIND "${text}" "${marker}" at)
  while(at GREATER -1)
    math(EXPR at "${at} + ${marker_length}")
    string(SUBSTRING "${text}" ${at} -1 text)
    string(REGEX MATCH "^[A-Z_]+[^\n]*\n" line "${text}")
    string(REGEX MATCH "^[A-Z_]+" name "${line}")
    string(LENGTH "${line}" line_length)
    string(SUBSTRING "${text}" ${line_length} -1 text)
    string(FIND "${text}" "${marker}" at)
    if(at GREATER -1)
      string(SUBSTRING "${text}" 0 ${at} piece)
    else()
      string(REGEX REPLACE "\n$" "" piece "${text}")
    endif()
    string(CONFIGURE "${piece}" piece @ONLY)
    set(${prefix}_SHARED_${name} "${piece}" PARENT_SCOPE)
    list(APPEND names ${prefix}_SHARED_${name})
  endwhile()
  # A name the page holds but no piece has would leave a hole in the page.
  file(STRINGS ${PROJECT_SOURCE_DIR}/docs/${program}.1 uses REGEX "^@${prefix}_SHARED_")
  foreach(use IN LISTS uses)
    string(REPLACE "@" "" use "${use}")
    if(NOT use IN_LIST names)
      message(FATAL_ERROR "docs/${program}.1 holds @${use}@, which docs/man-shared.in lacks")
    endif()
  endforeach()
endfunction()
tools_man_pieces(Tavlick)
tools_man_pieces(Orrel)

# The Windows build installs and packages its own way.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows/Packaging.cmake)
  return()
endif()
include(GNUInstallDirs)

# Directories get 0755 whatever the umask of whoever builds the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# A placeholder under a domain reserved for examples, until whoever builds
# the package names themselves.
set(tools_placeholder_maintainer "Placeholder Maintainer <maintainer@example.org>")
set(TOOLS_MAINTAINER "${tools_placeholder_maintainer}"
    CACHE STRING "Maintainer field of the package and signature of its changelog")
# Trees configured before keep the earlier default, an address nobody owns.
if(TOOLS_MAINTAINER STREQUAL "Content Tools Team <maintainers@content-tools.org>")
  set_property(CACHE TOOLS_MAINTAINER PROPERTY VALUE "${tools_placeholder_maintainer}")
endif()
set(tools_package content-tools)
include(${CMAKE_CURRENT_LIST_DIR}/ReleaseTime.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/BuiltUsing.cmake)

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
          -DOUT=${doc}/copyright "-DBUILT_USING=${tools_built_using}" ${debian_docs_args}
          -P ${debian_docs}
  DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE ${debian_docs} ${PROJECT_BINARY_DIR}/built-using.txt
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
# The overrides of the tag that the programs' linking gives, with every
# comment: lintian reports an override it has no use for.
set(tools_lintian_tags shared-library-lacks-prerequisites statically-linked-binary)
if(TOOLS_STATIC AND TOOLS_HAVE_STATIC_PIE)
  list(REMOVE_ITEM tools_lintian_tags shared-library-lacks-prerequisites)
elseif(TOOLS_STATIC)
  list(REMOVE_ITEM tools_lintian_tags statically-linked-binary)
endif()
if(TOOLS_STATIC)
  set(overrides ${PROJECT_SOURCE_DIR}/cmake/lintian-overrides)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${overrides})
  file(READ ${overrides} overrides_text)
  foreach(tag IN LISTS tools_lintian_tags)
    string(REGEX REPLACE "${tools_package}: ${tag} [^\n]*\n" "" overrides_text
           "${overrides_text}")
  endforeach()
  file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/lintian-overrides CONTENT "${overrides_text}" @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${tools_package}
          COMPONENT debian EXCLUDE_FROM_ALL)
endif()

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

# CPack has no Built-Using field: it goes in as a second line of the Source
# field, whose first is the package's own name, as dpkg would take it.
if(tools_built_using)
  set(CPACK_DEBIAN_PACKAGE_SOURCE "${tools_package}\nBuilt-Using: ${tools_built_using}")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Statically linked programs depend on nothing; otherwise let dpkg-shlibdeps
# (package dpkg-dev) find the shared libraries they need.
if(NOT TOOLS_STATIC)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

# The package's times from the release date; a reminder while the
# maintainer is the placeholder.
if(TOOLS_MAINTAINER STREQUAL tools_placeholder_maintainer)
  tools_release_time("message(STATUS \"The package's maintainer is the placeholder \
${tools_placeholder_maintainer}: configure with -DTOOLS_MAINTAINER='Name <address>'\")")
else()
  tools_release_time("")
endif()

set(CPACK_GENERATOR DEB)
include(CPack)
