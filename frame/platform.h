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
// the caller's bookkeeping. With `huge`, backed by huge pages where the
// system offers them; otherwise small pages, all faulted in by the mapping
// itself. Null when the system offers no such mapping; the caller then takes
// plain memory. Released with unmap_pages(start, total) given what map_pages
// stored in *start and *total.
unsigned char* map_pages(size_t before, size_t length, size_t alignment, bool huge, void** start,
                         size_t* total);
void unmap_pages(void* start, size_t total);

// Plain memory aligned to `alignment` (a power of two, at most 4096);
// released with free_aligned. Null when memory is short.
void* alloc_aligned(size_t alignment, size_t size);
void free_aligned(void* p);

// Outputs are written into a fresh file beside their final name and moved
// over it when complete, so that the name never holds a part of a file.

// Longest path the output helpers handle, terminating zero included.
constexpr size_t kPathCapacity = 4096;

// Length of the directory part of `path`, its last separator included; 0
// for a bare name.
size_t directory_length(const char* path);

// The name an output at `path` finally lands on: a symbolic link is
// followed to the file it points at (which may not exist yet); any other
// name is itself. False when the result does not fit `size` bytes.
bool final_target(const char* path, char* target, size_t size);

// False only when `path` exists and this user may not write it.
bool may_write(const char* path);

// A number that differs between processes and between calls, for names of
// temporary files.
uint64_t name_entropy();

// Creates the file `name` exclusively, with the permission bits of the
// existing regular file `like` (when there is one), and opens it for
// writing. From then until drop_temporary the file is removed if the run
// is interrupted (Ctrl-C, a terminal closed, a kill), and the program then
// ends as the interruption asks. Null on failure; *exists tells whether the
// name was taken.
FILE* create_temporary(const char* name, const char* like, bool* exists);

// Ends the guard of create_temporary; call after the file has been moved
// or removed.
void drop_temporary();

// Moves the closed file `from` over `to` in one step.
bool replace_file(const char* from, const char* to);

// Opens `path` for writing in place, creating or truncating it, without
// waiting for a reader when it is a FIFO.
FILE* open_in_place(const char* path);

// A reader of standard output that has gone, or a file-size limit, must end
// in a failed write that the program reports, not in its death.
void survive_failed_writes();
