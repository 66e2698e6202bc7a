// Extended attributes on macOS, as <sys/xattr.h> declares them. Some
// toolchains that build for macOS (zig's) leave that header out; there the
// declarations below, written from Apple's manual pages (getxattr(2),
// setxattr(2), listxattr(2), removexattr(2)), stand in for it.
#pragma once

#if __has_include(<sys/xattr.h>)
#include <sys/xattr.h>
#elif defined(__APPLE__)
#include <cstdint>

#include <sys/types.h>

#define XATTR_NOFOLLOW 0x0001

extern "C" {
ssize_t getxattr(const char* path, const char* name, void* value, size_t size, uint32_t position,
                 int options);
int fsetxattr(int fd, const char* name, const void* value, size_t size, uint32_t position,
              int options);
ssize_t listxattr(const char* path, char* names, size_t size, int options);
ssize_t flistxattr(int fd, char* names, size_t size, int options);
int fremovexattr(int fd, const char* name, int options);
}
#endif
