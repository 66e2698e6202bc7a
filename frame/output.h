// The output protocol, shared by both programs: an output is written as a
// replacement that takes the output's name only when complete, or in place
// when the name belongs to a device, a FIFO or a socket.
#pragma once

#include <cstddef>
#include <cstdio>

#include "platform.h"

// An output file being written: a replacement that takes the output's name
// when finish_output finds it complete (see OutputPlace), or what carries
// the name without being a file on disk, written in place.
struct OutputFile {
    FILE* file = nullptr;
    const char* path = nullptr;
    OutputPlace place;
};

// Opens the output `path` for writing. On failure prints "Couldn't create"
// with the path, or "Couldn't write" when the previous output's owner, bits
// or attributes could not be carried over whole, and returns false; nothing
// has changed on disk.
bool open_output(const char* path, OutputFile* out);

// Ends an output: flushes and closes it, checking every result, and puts a
// replacement in place. `written` says whether every write so far
// succeeded. On any failure prints "Couldn't write" with the path and
// removes the replacement; a previous output and a device are left as they
// were. True when the output is complete on disk.
bool finish_output(OutputFile* out, bool written);

// Writes `size` bytes as the whole file `path` with one write. Prints
// "Couldn't create" or "Couldn't write" on failure, leaving no partial
// file behind.
bool write_whole_file(const char* path, const unsigned char* data, size_t size);

// Flushes and closes `file`; true only if every earlier write, the flush
// and the close succeeded. The stream is gone either way.
bool close_stream(FILE* file);
