#include "text_block.h"

#include <cstring>

#include "block.h"

char* alloc_text(size_t size) { return reinterpret_cast<char*>(alloc_block(size + kTextPadding)); }

size_t text_end(const char* bytes, size_t size)
{
    const void* zero = memchr(bytes, 0, size);
    return zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : size;
}

void seal_text(char* storage, size_t size, size_t length, TextBlock* out)
{
    memset(storage + length, 0, size - length + kTextPadding);
    out->text = storage;
    out->length = static_cast<int32_t>(length);
}

bool make_text_block(const void* bytes, size_t size, TextBlock* out)
{
    *out = TextBlock{};
    char* storage = alloc_text(size);
    if (storage == nullptr) return false;
    if (size > 0) memcpy(storage, bytes, size);
    seal_text(storage, size, text_end(storage, size), out);
    return true;
}

void release_text(TextBlock* text)
{
    free_block(reinterpret_cast<unsigned char*>(text->text));
    *text = TextBlock{};
}
