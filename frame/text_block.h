// A text as the token reader takes it.
#pragma once

#include <cstddef>
#include <cstdint>

// A file's `length` bytes in a block of their own and a zero byte after
// them: the text ends at its first zero byte, there or before. The owner
// releases it with release_text.
struct TextBlock {
    char* text = nullptr;
    int32_t length = 0;
};

// The zero byte a text's block holds after the file's bytes.
constexpr size_t kTextEnd = 1;

// Makes `storage`, a block of `size` + kTextEnd bytes whose first `size`
// hold the file's bytes, a TextBlock: the zero byte after them, the length.
void seal_text(char* storage, size_t size, TextBlock* out);

// A TextBlock holding a copy of `bytes`, as the loader would give for a
// file of those bytes. False when memory is short.
bool make_text_block(const void* bytes, size_t size, TextBlock* out);

void release_text(TextBlock* text);
