// Targa writer: expands an index image through a palette into an
// uncompressed, bottom-up, 24-bit Targa file.
#pragma once

#include <cstdint>

constexpr int kTargaHeaderSize = 18;

// 18 + 3 x width x height, or -1 when that does not fit a signed 32-bit
// count (or a dimension is negative).
int64_t targa_size(int32_t width, int32_t height);

// Fills `out` with the header and the pixels, bottom row first, each pixel
// as blue, green, red of its palette entry. `out` holds exactly targa_size
// bytes and nothing past them is touched; `palette` holds 256 red-green-blue
// entries.
void build_targa(unsigned char* out, const unsigned char* pixels, const unsigned char* palette,
                 int32_t width, int32_t height);

// Assembles the whole file in one block and writes it with one write.
// Prints a message and returns false when the file is too large, cannot be
// allocated, created or written; no partial output is left. The caller
// keeps the pixels.
bool write_targa(const char* path, const unsigned char* pixels, const unsigned char* palette,
                 int32_t width, int32_t height);
