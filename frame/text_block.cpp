#include "text_block.h"

#include <cstring>

#include "block.h"

char* alloc_text(size_t size) { return reinterpret_cast<char*>(alloc_block(size + kTextPadding)); }

void seal_text(char* storage, size_t size, TextBlock* out)
{
    const void* zero = memchr(storage, 0, size);
    size_t length =
        zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - storage) : size;
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
    seal_text(storage, size, out);
    return true;
}

void release_text(TextBlock* text)
{
    free_block(reinterpret_cast<unsigned char*>(text->text));
    *text = TextBlock{};
}
