# Builds for another system with zig's clang, which carries the C libraries
# and headers of many targets: TOOLS_ZIG names the zig program and
# TOOLS_ZIG_TARGET the target (x86_64-linux-musl, aarch64-macos.13, ...).
# CMake wants one program for each tool, so small scripts in the build tree
# call zig with the target.
if(NOT TOOLS_ZIG OR NOT TOOLS_ZIG_TARGET)
  message(FATAL_ERROR "Give -DTOOLS_ZIG=<zig program> and -DTOOLS_ZIG_TARGET=<target>")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TOOLS_ZIG TOOLS_ZIG_TARGET)

# A target of another system is a cross build, whose tests only build; a
# Linux target runs here, so its tests run as the native build's do.
if(TOOLS_ZIG_TARGET MATCHES "-macos")
  set(CMAKE_SYSTEM_NAME Darwin)
  string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR ${TOOLS_ZIG_TARGET})
endif()

# zig's caches stay beside it (build/zig/VERSION/cache), shared by every
# target and kept between runs.
get_filename_component(tools_zig_cache ${TOOLS_ZIG} DIRECTORY)
get_filename_component(tools_zig_cache ${tools_zig_cache}/../cache ABSOLUTE)
set(tools_zig_env "ZIG_GLOBAL_CACHE_DIR='${tools_zig_cache}' ZIG_LOCAL_CACHE_DIR='${tools_zig_cache}'")
set(tools_zig_bin ${CMAKE_BINARY_DIR}/zig-bin)
file(MAKE_DIRECTORY ${tools_zig_bin})
foreach(tool cc c++)
  file(WRITE ${tools_zig_bin}/${tool}
       "#!/bin/sh\n${tools_zig_env} exec '${TOOLS_ZIG}' ${tool} -target ${TOOLS_ZIG_TARGET} \"$@\"\n")
endforeach()
foreach(tool ar ranlib)
  file(WRITE ${tools_zig_bin}/${tool} "#!/bin/sh\n${tools_zig_env} exec '${TOOLS_ZIG}' ${tool} \"$@\"\n")
endforeach()
file(CHMOD ${tools_zig_bin}/cc ${tools_zig_bin}/c++ ${tools_zig_bin}/ar ${tools_zig_bin}/ranlib
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                 WORLD_EXECUTE)
set(CMAKE_C_COMPILER ${tools_zig_bin}/cc) # GoogleTest's project asks for C too
set(CMAKE_CXX_COMPILER ${tools_zig_bin}/c++)
# Nothing here is a shared library whose install name would need changing.
set(CMAKE_INSTALL_NAME_TOOL /bin/true CACHE FILEPATH "")
# Programs for musl, tests included, are static, so that they run on any
# Linux, this one too.
if(TOOLS_ZIG_TARGET MATCHES "musl")
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()
set(CMAKE_AR ${tools_zig_bin}/ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${tools_zig_bin}/ranlib CACHE FILEPATH "")
