// A text as the token scan reads it.
#pragma once

#include <cstddef>
#include <cstdint>

// Zero bytes that follow every text: the scan reads whole 64-byte blocks,
// and the block holding the end must lie inside the allocation.
constexpr size_t kTextPadding = 64;

// A text in a block of its own: `text` starts on a 64-byte boundary (see
// kBlockAlignment), ends at its first zero byte, and every byte from there
// to kTextPadding bytes past the end of the file's contents is zero.
// `length` counts the bytes before the first zero. The owner releases it
// with release_text.
struct TextBlock {
    char* text = nullptr;
    int32_t length = 0;
};

// A fresh block for a text of `size` bytes and its padding; null when
// memory is short. Fill the first `size` bytes, then call seal_text.
char* alloc_text(size_t size);

// Where a text of `size` bytes ends: at its first zero byte, or `size` when
// it holds none.
size_t text_end(const char* bytes, size_t size);

// Makes `storage` (from alloc_text, `size` bytes filled) a TextBlock: cuts
// the text at `length`, which text_end gave for those bytes, and zeroes
// everything after it.
void seal_text(char* storage, size_t size, size_t length, TextBlock* out);

// A TextBlock holding a copy of `bytes`, as the loader would give for a
// file of those bytes. False when memory is short.
bool make_text_block(const void* bytes, size_t size, TextBlock* out);

void release_text(TextBlock* text);
