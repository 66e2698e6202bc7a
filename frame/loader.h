// Whole-file input, shared by both programs: a regular file read whole into
// a block of its own (see block.h), as bytes or as a text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Requests to the file stream never ask for more than this many bytes.
constexpr size_t kReadChunk = 65536;

// A whole file's bytes. The owner releases it with release_block.
struct FileBlock {
    unsigned char* data = nullptr;
    int32_t length = 0;
};

// Reads the regular file at `path` whole, in requests of at most kReadChunk
// bytes; its size must fit a signed 32-bit count. On failure prints one line
// naming the path and leaves `out` empty.
bool load_whole_file(const char* path, FileBlock* out);

void release_block(FileBlock* block);

// A file's `length` bytes in a block of their own and a zero byte after
// them, as the token reader takes a text: it ends at its first zero byte,
// there or before. The owner releases it with release_text.
struct TextBlock {
    char* text = nullptr;
    int32_t length = 0;
};

// The zero byte a text's block holds after the file's bytes.
constexpr size_t kTextEnd = 1;

// The same as load_whole_file, for a text.
bool load_text(const char* path, TextBlock* out);

void release_text(TextBlock* text);

// Reads exactly `size` bytes of `file` into `data`, in requests of at most
// kReadChunk bytes; false when a request delivers nothing.
bool read_all(FILE* file, unsigned char* data, size_t size);
