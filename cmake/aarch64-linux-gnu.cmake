# arm64 Linux programs (glibc), cross-built with Debian's g++-aarch64-linux-gnu;
# tests under qemu-aarch64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)

# Debian 12's qemu-aarch64 (7.2) crashes at the first instruction of a static
# PIE, so the release programs here are linked static at a fixed address
# (this answers the check in Hardening.cmake before it runs).
set(TOOLS_HAVE_STATIC_PIE OFF CACHE BOOL "Static PIE programs (off: qemu 7.2 cannot run them)")
