# A static program carries code of the C library and of GCC's runtime, so its
# package names their Debian source packages at the versions linked in
# (Built-Using), and the copyright file says what they are. Sets
# tools_built_using to "src (= version), ..." or to nothing, with a warning,
# where the libraries belong to no Debian package.
set(tools_built_using "")
if(TOOLS_STATIC)
  find_program(TOOLS_DPKG_QUERY dpkg-query)
  set(sources "")
  set(libraries "")
  # What g++ -static links besides the objects.
  foreach(library libc.a libm.a libstdc++.a libgcc.a libgcc_eh.a)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${library}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    cmake_path(NORMAL_PATH path)
    set(owner "")
    if(TOOLS_DPKG_QUERY AND IS_ABSOLUTE "${path}" AND EXISTS "${path}")
      list(APPEND libraries ${path})
      execute_process(COMMAND ${TOOLS_DPKG_QUERY} -S ${path}
                      OUTPUT_VARIABLE owner ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
      string(REGEX REPLACE ":.*" "" owner "${owner}")
    endif()
    if(owner STREQUAL "")
      message(WARNING "${library} (${path}) belongs to no Debian package: the package's "
                      "Built-Using field and copyright file leave out the code it brings")
      set(sources "")
      break()
    endif()
    execute_process(COMMAND ${TOOLS_DPKG_QUERY} -W "--showformat=\${source:Package} (= \${source:Version})"
                            ${owner}
                    OUTPUT_VARIABLE source OUTPUT_STRIP_TRAILING_WHITESPACE)
    list(APPEND sources "${source}")
  endforeach()
  list(REMOVE_DUPLICATES sources)
  list(SORT sources)
  list(JOIN sources ", " tools_built_using)
  # An upgraded library configures the tree again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${libraries})
endif()
# Rewritten only when the list changes, so that the copyright file follows it.
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/built-using.txt CONTENT "${tools_built_using}\n")
