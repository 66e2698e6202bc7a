# Builds for another system with zig's clang, which carries the C libraries
# and headers of many targets: TOOLS_ZIG names the zig program and
# TOOLS_ZIG_TARGET the target (x86_64-linux-musl, aarch64-macos.13, ...).
# CMake wants one program for each tool, so small scripts in the build tree
# call zig with the target.
if(NOT TOOLS_ZIG OR NOT TOOLS_ZIG_TARGET)
  message(FATAL_ERROR "Give -DTOOLS_ZIG=<zig program> and -DTOOLS_ZIG_TARGET=<target>")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TOOLS_ZIG TOOLS_ZIG_TARGET)

string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR ${TOOLS_ZIG_TARGET})
if(TOOLS_ZIG_TARGET MATCHES "-macos")
  set(CMAKE_SYSTEM_NAME Darwin)
else()
  set(CMAKE_SYSTEM_NAME Linux)
endif()

set(tools_zig_bin ${CMAKE_BINARY_DIR}/zig-bin)
file(MAKE_DIRECTORY ${tools_zig_bin})
file(WRITE ${tools_zig_bin}/cc "#!/bin/sh\nexec '${TOOLS_ZIG}' cc -target ${TOOLS_ZIG_TARGET} \"$@\"\n")
file(WRITE ${tools_zig_bin}/c++ "#!/bin/sh\nexec '${TOOLS_ZIG}' c++ -target ${TOOLS_ZIG_TARGET} \"$@\"\n")
file(WRITE ${tools_zig_bin}/ar "#!/bin/sh\nexec '${TOOLS_ZIG}' ar \"$@\"\n")
file(WRITE ${tools_zig_bin}/ranlib "#!/bin/sh\nexec '${TOOLS_ZIG}' ranlib \"$@\"\n")
file(CHMOD ${tools_zig_bin}/cc ${tools_zig_bin}/c++ ${tools_zig_bin}/ar ${tools_zig_bin}/ranlib
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                 WORLD_EXECUTE)
set(CMAKE_C_COMPILER ${tools_zig_bin}/cc) # GoogleTest's project asks for C too
set(CMAKE_CXX_COMPILER ${tools_zig_bin}/c++)
# Nothing here is a shared library whose install name would need changing.
set(CMAKE_INSTALL_NAME_TOOL /bin/true CACHE FILEPATH "")
set(CMAKE_AR ${tools_zig_bin}/ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${tools_zig_bin}/ranlib CACHE FILEPATH "")
