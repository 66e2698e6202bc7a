# Linux programs for another processor, cross-built with Debian's compilers
# (package g++-<triplet>), every executable linked statically so that
# qemu-user (package qemu-user) runs it without the target's loader and
# libraries. Test discovery and CTest start the programs through qemu, named
# here, so nothing depends on the machine registering qemu with the kernel.
# Included by the toolchain files that set CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Linux)
set(TOOLS_CROSS_TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-linux-gnu)

# GoogleTest's project asks for a C compiler too.
find_program(CMAKE_C_COMPILER NAMES ${TOOLS_CROSS_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TOOLS_CROSS_TRIPLET}-g++ REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLS_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# These trees exist to run the tests under emulation, so qemu is required.
find_program(TOOLS_QEMU NAMES qemu-${CMAKE_SYSTEM_PROCESSOR} qemu-${CMAKE_SYSTEM_PROCESSOR}-static
             NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TOOLS_QEMU})
