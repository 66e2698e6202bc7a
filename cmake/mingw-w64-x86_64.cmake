# Cross build of the Windows programs with Debian's MinGW-w64 compilers
# (package g++-mingw-w64-x86-64). The programs are linked statically, so the
# .exe files run without any DLL beside them. Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOOLS_MINGW_PREFIX x86_64-w64-mingw32)
# The -posix variant brings std::thread for GoogleTest; both link statically.
find_program(CMAKE_C_COMPILER NAMES ${TOOLS_MINGW_PREFIX}-gcc-posix ${TOOLS_MINGW_PREFIX}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TOOLS_MINGW_PREFIX}-g++-posix ${TOOLS_MINGW_PREFIX}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TOOLS_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLS_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every executable, tests included, carries its C and C++ runtimes inside.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test discovery and CTest start the .exe files through Wine's loader.
find_program(TOOLS_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TOOLS_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOOLS_WINE})
endif()
