// Whole-file input and checked output, shared by both programs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform.h"
#include "text_block.h"

// Requests to the file stream never ask for more than this many bytes.
constexpr size_t kReadChunk = 65536;

// One block holding a whole file (see block.h). The owner releases it with
// release_block.
struct FileBlock {
    unsigned char* data = nullptr;
    int32_t length = 0;
};

// Reads the regular file at `path` whole, in requests of at most kReadChunk
// bytes. On failure prints one line naming the path and leaves `out` empty.
bool load_whole_file(const char* path, FileBlock* out);

// The same for a text, which comes with a zero byte after it (see
// text_block.h).
bool load_text(const char* path, TextBlock* out);

void release_block(FileBlock* block);

// Reads exactly `size` bytes of `file` into `data`, in requests of at most
// kReadChunk bytes; false when a request delivers nothing.
bool read_all(FILE* file, unsigned char* data, size_t size);

// An output file being written: a replacement that takes the output's name
// when finish_output finds it complete (see OutputPlace), or what carries
// the name without being a file on disk, a device or a FIFO, written in
// place.
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
// removes the temporary file; a previous output and a device are left as
// they were. True when the output is complete on disk.
bool finish_output(OutputFile* out, bool written);

// Writes `size` bytes as the whole file `path` with one write. Prints
// "Couldn't create" or "Couldn't write" on failure, leaving no partial
// file behind.
bool write_whole_file(const char* path, const unsigned char* data, size_t size);

// Flushes and closes `file`; true only if every earlier write, the flush
// and the close succeeded. The stream is gone either way.
bool close_stream(FILE* file);
