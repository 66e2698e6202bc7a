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

// How the memory of a block is taken.
enum class BlockPages {
    Plain,     // from the allocator
    Huge,      // mapped, asked for as huge pages, faulted in as it is written
    Populated, // mapped in small pages, all faulted in by the mapping itself
};

// What alloc_block asks for a block of `size` bytes where mappings are
// used: the kind of pages and how many bytes to map (whole pages of that
// kind, the last one holding the block's last byte; 0 for Plain).
struct BlockMapping {
    BlockPages pages;
    size_t length;
};
BlockMapping block_mapping(size_t size);
