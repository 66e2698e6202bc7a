// A text exactly as the loader hands it over, made from bytes in memory, for
// the tests and fuzz targets that have no file to load.
#pragma once

#include <cstring>

#include "block.h"
#include "loader.h"

// A TextBlock holding a copy of `bytes` and the zero byte after them,
// released with release_text. False when memory is short.
inline bool make_text_block(const void* bytes, size_t size, TextBlock* out)
{
    *out = TextBlock{};
    unsigned char* storage = alloc_block(size + kTextEnd);
    if (storage == nullptr) return false;
    if (size > 0) memcpy(storage, bytes, size);
    storage[size] = '\0';
    out->text = reinterpret_cast<char*>(storage);
    out->length = static_cast<int32_t>(size);
    return true;
}
