// Tool frame shared by both converters: the argument check, the two name
// buffers and the output-name rule, the whole-file loader, output-file
// helpers and the run skeleton that ties them together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Name buffers hold at most 63 characters and a terminating zero.
constexpr int kNameSize = 64;
constexpr int kMaxNameLength = kNameSize - 1;
constexpr int kMinNameLength = 4;

// Requests to the file stream never ask for more than this many bytes.
constexpr int kReadChunk = 65536;

// Zero bytes after a text loaded with its terminator.
constexpr int kTextPadding = 32;

// Converts the file named `input` into the file named `output`. Prints its
// own failure messages; returns true only when the output is complete.
using ConvertFn = bool (*)(const char* input, const char* output);

// Everything that differs between the two programs, fixed at build time.
struct ToolProfile {
    const char* banner;    // one line, ends in "\n"
    const char* usage;     // one line, ends in "\n"
    const char* too_short; // one line, ends in "\n"
    char suffix[3];        // replaces the last three characters of the name
    ConvertFn convert;
};

// Process-wide name buffers, written once per run by make_file_names.
extern char g_input_name[kNameSize];
extern char g_output_name[kNameSize];

// One block holding a whole file. The owner calls release_block. When the
// block was loaded as text, data[length] is a zero byte.
struct FileBlock {
    unsigned char* data = nullptr;
    int32_t length = 0;
    size_t capacity = 0; // bytes actually reserved, needed to release
};

// Checks the command line and fills both name buffers. Returns false when
// the run must stop; the banner, usage or too-short lines are then printed.
bool make_file_names(int argc, const char* const* argv, const ToolProfile& profile);

// True when writing `output` would overwrite `input`: equal names, or two
// names that the file system resolves to one file (links, case folding).
bool names_same_file(const char* input, const char* output);

// Reads the file at `path` whole into a fresh block, in requests of at most
// kReadChunk bytes; with `terminate` kTextPadding zero bytes follow the
// contents, the first ending the text and the rest letting readers load
// whole chunks past the end without leaving the block.
// On failure prints one line naming the path and leaves `out` empty.
bool load_whole_file(const char* path, bool terminate, FileBlock* out);

// Block allocation for whole files and whole outputs. Large blocks are
// backed by huge pages where the system offers them, because touching
// fresh memory dominates the run time of large conversions.
unsigned char* alloc_block(size_t size, size_t* capacity);
void free_block(unsigned char* data, size_t capacity);
void release_block(FileBlock* block);

// Closes `file` after flushing it; true only if every earlier write, the
// flush and the close succeeded. The stream is gone either way.
bool close_output(FILE* file);

// Removes a partly written output, but only a regular file: never a
// device, a link or anything else that merely carries the name.
void remove_partial_output(const char* path);

// Writes `size` bytes to a new file at `path` with one write. Prints
// "Couldn't create" or "Couldn't write" and removes a partial output on
// failure.
bool write_whole_file(const char* path, const unsigned char* data, size_t size);

// The whole run of either program; returns the exit status (always 0).
int run_tool(int argc, const char* const* argv, const ToolProfile& profile);
