// What the frame needs of the operating system, laid out in the order of
// the sources that implement it. Windows has one source
// (platform_windows.cpp); elsewhere each concern has its own: files_posix.cpp
// (kinds, inputs, writing in place), pages_linux.cpp (huge pages),
// paths_posix.cpp (the folder part of a path), links_posix.cpp (where an
// output lands), replacement_posix.cpp (the fresh file and how it takes the
// name, with custody_posix.cpp and the flavours the configure probes pick
// for attributes, folder flags and unnamed files) and signal_guard_posix.cpp.
// CMake picks them; every function means the same on every system.
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

// Opens what carries the name `path`, a device, a FIFO or a socket, for
// writing in place, without waiting for a reader of a FIFO. Never creates,
// truncates or opens a regular file or a directory. A link is followed only
// with `follow`, for one the kernel made up.
FILE* open_in_place(const char* path, bool follow);

// Opens `path` for reading in binary mode without waiting on a FIFO that
// nobody writes; the caller checks with stream_kind what was opened. A file
// another process holds a lease on is waited for, as any reader waits. Null
// when it cannot be opened.
FILE* open_for_reading(const char* path);

// The size of a huge page where the system offers them for plain memory.
constexpr size_t kHugePage = size_t{2} << 20;

// A block of `size` bytes in huge pages, released with free(); null where the
// system takes no hint for them (the caller takes plain memory then).
unsigned char* alloc_huge_pages(size_t size);

// A regular output is never written in place: its replacement is written
// as a fresh file in the folder of the file its name finally leads to, and
// takes the name only when complete, so that the name holds the previous
// file or the whole new one, whatever ends the run.

// Longest path the output helpers handle, terminating zero included.
constexpr size_t kPathCapacity = 4096;

// Longest name of one directory entry, in bytes, on the file systems both
// systems use.
constexpr size_t kNameLimit = 255;

// Length of the directory part of `path`, its last separator included; 0
// for a bare name.
size_t directory_length(const char* path);

// A chain of symbolic links is followed as the kernel follows one, at most
// this many links long.
constexpr int kLinkLimit = 40;

// Where an output goes, from find_output to place_replacement or
// discard_replacement. Where the system has folders that can be held open,
// `folder` is the output's, and every step after find_output works in it,
// whatever is renamed meanwhile; elsewhere it is -1 and `target` serves.
struct OutputPlace {
    FILE* in_place = nullptr;      // a device, a FIFO or a socket, opened for writing where it is
    int folder = -1;               // the folder that holds the output, held open
    int unnamed = -1;              // the replacement while it has no name yet, held open
    bool existed = false;          // a previous output was there when the replacement was made
    char target[kPathCapacity];    // the path the output's name finally leads to
    const char* name = nullptr;    // its last part, within `target`
    char temporary[kPathCapacity]; // the named temporary, when the replacement has a name
};

// Follows the output `path` to where it finally lands. A chain of links is
// followed to what it points at (which may not exist yet), refused when
// longer than kLinkLimit. In a sticky world-writable folder (/tmp, a shared
// drop folder), a name that belongs neither to this user nor to the folder's
// owner, which another user may have planted there, is never used, be it a
// link on the way or the output itself, and whatever it is: the kernel's
// rule for such folders, held whatever the machine's settings. A link the
// kernel makes up (an open descriptor's, as /dev/stdout leads to) is
// followed by the kernel, never read as a name. A device, a FIFO or a socket
// is opened for writing in place; a regular file, or nothing, is to be
// replaced, and its folder is then held open. False, with nothing made and
// nothing left open, when the output can be neither: a folder that takes no
// new names for good (append-only, immutable), a file the user may not
// write, a path too long.
bool find_output(const char* path, OutputPlace* place);

// Why a replacement could not be made.
enum class TemporaryFault {
    None,
    Unsupported, // no unnamed file here: make a named one
    NameTaken,   // something already has the name: try another
    NotMade,     // no file can be made there
    Custody,     // made, but the previous output's custody could not be carried
                 // over whole
};

// The replacement, made without a name where the system and the file system
// allow it, so that whatever ends the run leaves nothing behind. When a
// previous output is there, the new file takes over its custody exactly:
// its permission bits (not the set-ID and sticky bits) and extended
// attributes and ACLs while the file is still this user's, and only those
// (what the new file got at birth, as a folder's default ACL, is taken off
// again), then its owner and group where the system allows (root), else
// its group where this user belongs to it. Attributes that belong to the
// system (security labels, capabilities) stay the system's. Unsupported
// when no unnamed file can be made here. On any fault the caller discards
// the place, which removes whatever was made.
FILE* create_unnamed(OutputPlace* place, TemporaryFault* fault);

// The same as a named file, `name` in the output's folder, created
// exclusively and never through a link. From then until the replacement is
// placed or discarded the file is removed if a signal ends the run (any
// signal that ends a process by default, but SIGKILL and those the C library
// keeps for itself; on Windows Ctrl-C, Ctrl-Break or a closed console), and
// the run then ends as that signal asks; a signal the caller ignored stays
// ignored.
FILE* create_temporary(OutputPlace* place, const char* name, TemporaryFault* fault);

// Gives the complete, closed replacement the output's name in one step: a
// new output straight, a replacement through a hidden name moved over the
// previous output at once, with the signals held between the two. After
// hold_signals_once_replaced, they stay held from then on. False when the
// name could not be given; the replacement is gone either way, and the place
// is released.
bool place_replacement(OutputPlace* place);

// Removes the replacement and releases the place.
void discard_replacement(OutputPlace* place);

// A number that differs between processes and between calls, for names of
// temporary files.
uint64_t name_entropy();

// A reader of standard output that has gone, or a file-size limit, must end
// in a failed write that the program reports, not in its death.
void survive_failed_writes();

// For a program's run: from the moment its output is moved into place, the
// signals that would end it are held until the process exits, so that a run
// whose output is in place always finishes with its "Converted" line. A
// caller that goes on after its output (a test) does not ask for this.
void hold_signals_once_replaced();
