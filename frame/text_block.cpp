#include "text_block.h"

#include <cstring>

#include "block.h"

void seal_text(char* storage, size_t size, TextBlock* out)
{
    storage[size] = '\0';
    out->text = storage;
    out->length = static_cast<int32_t>(size);
}

bool make_text_block(const void* bytes, size_t size, TextBlock* out)
{
    *out = TextBlock{};
    char* storage = reinterpret_cast<char*>(alloc_block(size + kTextEnd));
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
