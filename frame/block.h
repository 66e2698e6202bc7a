// Blocks that hold a whole input file or a whole output: plain memory.
#pragma once

#include <cstddef>

// A block of `size` bytes (size 0 is allowed), uninitialised. Null when
// memory is short; nothing is printed. The caller owns it and releases it
// with free_block.
unsigned char* alloc_block(size_t size);

// Releases a block from alloc_block; a null pointer is ignored.
void free_block(unsigned char* data);
