# s390x Linux programs (glibc, big-endian), cross-built with Debian's
# g++-s390x-linux-gnu; tests under qemu-s390x. Its glibc has no static PIE,
# which Hardening.cmake finds for itself.
set(CMAKE_SYSTEM_PROCESSOR s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
