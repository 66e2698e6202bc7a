// What the frame needs of the operating system. Windows has one source
// (platform_windows.cpp); elsewhere each concern has its own: files_posix.cpp
// (kinds, inputs, writing in place, memory), links_posix.cpp (where an output
// lands), custody_posix.cpp (the fresh file and its rename) and
// signal_guard_posix.cpp. CMake picks them; every function means the same on
// both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum class FileKind {
    Missing,   // nothing by that name, or it cannot be looked at
    Regular,   // a file on disk
    Directory, // a directory
    Other,     // a device, a pipe, a socket
};

// What `path` leads to, following links.
FileKind path_kind(const char* path);

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

// A regular output is never written in place: it is written into a fresh
// file beside the file its name finally leads to and moved over that file
// when complete, so that the name holds the previous file or the whole new
// one, whatever ends the run.

// Longest path the output helpers handle, terminating zero included.
constexpr size_t kPathCapacity = 4096;

// Longest name of one directory entry, in bytes, on the file systems both
// systems use.
constexpr size_t kNameLimit = 255;

// Length of the directory part of `path`, its last separator included; 0
// for a bare name.
size_t directory_length(const char* path);

// The name an output at `path` finally lands on: a chain of symbolic links
// (at most kLinkLimit of them, as the kernel allows) is followed to what it
// points at (which may not exist yet); any other name is itself. False when
// the result does not fit `size` bytes, when the chain is longer, and when
// the chain holds a link that the kernel's rule for shared directories
// forbids following: one in a sticky world-writable directory (/tmp, a
// shared drop folder) that belongs neither to this user nor to the
// directory's owner, which another user may have planted there. The rule
// holds whatever the chain ends in: a file, nothing, a FIFO or a device.
constexpr int kLinkLimit = 40;
bool final_target(const char* path, char* target, size_t size);

// True when the directory that holds `path` takes no new names for good:
// append-only or immutable. A fresh file made there could be neither moved
// over the output nor removed again.
bool directory_is_frozen(const char* path);

// False only when `path` exists and this user may not write it.
bool may_write(const char* path);

// A number that differs between processes and between calls, for names of
// temporary files.
uint64_t name_entropy();

// Why create_temporary gave no file.
enum class TemporaryFault {
    None,
    NameTaken, // something already has the name: try another
    NotMade,   // no file can be made there
    Custody,   // made, but the previous output's custody could not be carried
               // over whole, so it was removed again
};

// Creates the file `name` exclusively and opens it for writing. When `like`
// is an existing regular file, the one the new file will replace, the new
// file takes over its custody whole or not at all: its permission bits
// (set-ID and sticky bits are not kept) and its extended attributes and
// ACLs while the file is still this user's, then its owner and group where
// the system allows (root), else its group where this user belongs to it.
// From then until drop_temporary the file is removed if a signal ends the
// run (any signal that ends a process by default, but SIGKILL and those the
// C library keeps for itself; on Windows Ctrl-C, Ctrl-Break or a closed
// console), and the run then ends as that signal asks; a signal the caller
// ignored stays ignored. Null on failure, with the reason in *fault.
FILE* create_temporary(const char* name, const char* like, TemporaryFault* fault);

// Ends the guard of create_temporary; call after the file has been moved
// or removed.
void drop_temporary();

// Moves the closed file `from` over `to` in one step, keeping what the
// system keeps of `to` (on Windows its ACL and attributes). After
// hold_signals_once_replaced, signals are held from the move on.
bool replace_file(const char* from, const char* to);

// Opens what carries the name `path`, a device or a FIFO, for writing in
// place, without waiting for a reader of a FIFO. Never creates, truncates
// or opens a regular file, and never follows a link: null for either.
FILE* open_in_place(const char* path);

// Opens `path` for reading in binary mode without waiting on a FIFO that
// nobody writes; the caller checks with stream_kind what was opened. Null
// when it cannot be opened.
FILE* open_for_reading(const char* path);

// A reader of standard output that has gone, or a file-size limit, must end
// in a failed write that the program reports, not in its death.
void survive_failed_writes();

// A CPU-time limit must end a run by a signal the guard of create_temporary
// catches, not by one that leaves the temporary file behind.
void keep_cpu_limit_catchable();

// For a program's run: from the moment its output is moved into place, the
// signals that would end it are held until the process exits, so that a run
// whose output is in place always finishes with its "Converted" line. A
// caller that goes on after its output (a test) does not ask for this.
void hold_signals_once_replaced();
