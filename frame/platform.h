// What the frame needs of the operating system. Each system has its own
// source (platform_posix.cpp, platform_windows.cpp) and CMake picks one;
// every function means the same on both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum class FileKind {
    Missing,   // nothing by that name, or it cannot be looked at
    Regular,   // a file on disk
    Directory, // a directory
    Other,     // a device, a pipe, a socket; for entry_kind also a link
};

// What `path` leads to, following links.
FileKind path_kind(const char* path);

// What the directory entry `path` itself is: a link is Other.
FileKind entry_kind(const char* path);

// What an open stream reads or writes.
FileKind stream_kind(FILE* file);

// True when both names lead to one existing file: a link, a hard link, or
// a case-insensitive file system can make two names one file.
bool same_file(const char* a, const char* b);

// Size of an open file in 64 bits, found by seeking to its end and back;
// -1 when the stream cannot seek.
int64_t stream_size(FILE* file);

// Memory for large blocks: `length` bytes starting at an `alignment`
// boundary, with `before` more bytes mapped right below that boundary for
// the caller's bookkeeping. Null when the system offers no such mapping;
// the caller then takes plain memory. Released with unmap_pages(start, total)
// given what map_pages stored in *start and *total.
unsigned char* map_pages(size_t before, size_t length, size_t alignment, void** start,
                         size_t* total);
void unmap_pages(void* start, size_t total);

// Plain memory aligned to `alignment` (a power of two, at most 4096);
// released with free_aligned. Null when memory is short.
void* alloc_aligned(size_t alignment, size_t size);
void free_aligned(void* p);
