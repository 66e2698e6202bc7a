# The Windows package: a zip with both programs at its top, the licence and
# the manual pages as text, for users who have neither man nor gzip. Its
# tree needs no tests, so it builds without GoogleTest and Wine.
#   cpack --preset windows-zip     (or: cmake --workflow --preset windows-package)
set(tools_package content-tools)

install(TARGETS Tavlick Orrel RUNTIME DESTINATION .)

# groff-base, which man itself needs, renders the pages at build time; the
# licence and the pages go in with Windows line ends.
find_program(TOOLS_GROFF groff REQUIRED)
set(windows_text ${CMAKE_CURRENT_LIST_DIR}/WindowsText.cmake)
set(tools_texts ${PROJECT_BINARY_DIR}/windows/LICENSE.txt)
add_custom_command(OUTPUT ${tools_texts}
  COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/LICENSE -DOUT=${tools_texts}
          -P ${windows_text}
  DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE ${windows_text}
  COMMENT "Writing LICENSE.txt with Windows line ends"
  VERBATIM)
foreach(program Tavlick Orrel)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
  set(text ${PROJECT_BINARY_DIR}/man/${program}-manual.txt)
  configure_file(${PROJECT_SOURCE_DIR}/docs/${program}.1 ${page} @ONLY)
  add_custom_command(OUTPUT ${text}
    COMMAND ${CMAKE_COMMAND} -DGROFF=${TOOLS_GROFF} -DIN=${page} -DOUT=${text}
            -P ${windows_text}
    DEPENDS ${page} ${windows_text}
    COMMENT "Rendering the manual page of ${program} as text"
    VERBATIM)
  list(APPEND tools_texts ${text})
endforeach()
add_custom_target(windows_text ALL DEPENDS ${tools_texts})
install(FILES ${tools_texts} DESTINATION .)

set(CPACK_PACKAGE_NAME ${tools_package})
set(CPACK_PACKAGE_VENDOR "Content tools authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_FILE_NAME ${tools_package}-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
# Entry times from the release date, so that two builds give the same zip.
include(${CMAKE_CURRENT_LIST_DIR}/../ReleaseTime.cmake)
tools_release_time("")
set(CPACK_GENERATOR ZIP)
include(CPack)
