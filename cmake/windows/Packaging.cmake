# The Windows package: a zip with both programs at its top, the licence and
# the manual pages as text, for users who have neither man nor gzip.
#   cpack --preset windows-zip     (or: cmake --workflow --preset windows-package)
set(tools_package content-tools)

install(TARGETS Tavlick Orrel RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

# groff-base, which man itself needs, renders the pages at build time.
find_program(TOOLS_GROFF groff REQUIRED)
set(tools_manuals)
foreach(program Tavlick Orrel)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
  set(text ${PROJECT_BINARY_DIR}/man/${program}-manual.txt)
  configure_file(${PROJECT_SOURCE_DIR}/docs/${program}.1 ${page} @ONLY)
  add_custom_command(OUTPUT ${text}
    COMMAND ${CMAKE_COMMAND} -DGROFF=${TOOLS_GROFF} -DIN=${page} -DOUT=${text}
            -P ${CMAKE_CURRENT_LIST_DIR}/ManualText.cmake
    DEPENDS ${page} ${CMAKE_CURRENT_LIST_DIR}/ManualText.cmake
    COMMENT "Rendering the manual page of ${program} as text"
    VERBATIM)
  list(APPEND tools_manuals ${text})
endforeach()
add_custom_target(manual_text ALL DEPENDS ${tools_manuals})
install(FILES ${tools_manuals} DESTINATION .)

set(CPACK_PACKAGE_NAME ${tools_package})
set(CPACK_PACKAGE_VENDOR "Content tools authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_FILE_NAME ${tools_package}-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR ZIP)
include(CPack)
