# What Windows reads from the two programs: the manifest (UTF-8 code page,
# long paths) and the version resource, both compiled in by the MinGW-w64
# resource compiler. Release programs are also stripped: the symbols are no
# use to a user and make up most of the file.
enable_language(RC)

# The copyright line and its holder, from LICENSE: written there once.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE tools_copyright REGEX "^Copyright \\(c\\) " LIMIT_COUNT 1)
if(NOT tools_copyright MATCHES "^Copyright \\(c\\) [0-9]+ (.+)$")
  message(FATAL_ERROR "LICENSE: no 'Copyright (c) YEAR HOLDER' line")
endif()
set(tools_company "${CMAKE_MATCH_1}")
set(tools_product content-tools)
set(tools_version4 ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
string(REPLACE "." "," tools_version_commas ${tools_version4})

function(tools_windows_resources target description)
  set(tools_program ${target})
  set(tools_exe ${target}.exe)
  set(tools_description "${description}")
  set(dir ${PROJECT_BINARY_DIR}/windows/${target})
  set(tools_manifest ${dir}/${target}.manifest)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/program.manifest.in ${tools_manifest} @ONLY)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/program.rc.in ${dir}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${dir}/${target}.rc)
  # The resource compiler does not see the manifest as a dependency.
  set_source_files_properties(${dir}/${target}.rc PROPERTIES OBJECT_DEPENDS ${tools_manifest})
  # No link time in the header either, so that two builds give the same bytes.
  target_link_options(${target} PRIVATE
                      "$<$<CONFIG:Release,MinSizeRel>:-s;LINKER:--no-insert-timestamp>")
endfunction()

tools_windows_resources(Tavlick "Tavlick palette texture converter")
tools_windows_resources(Orrel "Orrel light list converter")
