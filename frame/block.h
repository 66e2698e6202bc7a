// Blocks for whole input files and whole outputs.
#pragma once

#include <cstddef>

// Every block starts on a boundary of this many bytes.
constexpr size_t kBlockAlignment = 64;

// A block of `size` bytes (size 0 is allowed), kBlockAlignment-aligned and
// uninitialised. Null when memory is short; nothing is printed. The caller
// owns it and releases it with free_block, which needs nothing but the
// pointer.
unsigned char* alloc_block(size_t size);

// Releases a block from alloc_block; a null pointer is ignored.
void free_block(unsigned char* data);
