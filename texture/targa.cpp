#include "targa.h"

#include <cstdio>
#include <cstring>

#include "block.h"
#include "console.h"
#include "output.h"

int64_t targa_size(int32_t width, int32_t height)
{
    if (width < 0 || height < 0) return -1;
    int64_t size = int64_t{3} * width * height + kTargaHeaderSize;
    return size > INT32_MAX ? -1 : size;
}

static void put_le16(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v & 0xff);
    p[1] = static_cast<unsigned char>((v >> 8) & 0xff);
}

// Dimensions of 65536 or more keep their low 16 bits, as the format has
// no room for more.
static void put_targa_header(unsigned char* out, int32_t width, int32_t height)
{
    memset(out, 0, kTargaHeaderSize);
    out[2] = 2; // uncompressed true-colour
    put_le16(out + 12, static_cast<uint32_t>(width));
    put_le16(out + 14, static_cast<uint32_t>(height));
    out[16] = 24; // bits per pixel; descriptor 0: bottom row first
}

// Bottom row first, each pixel as its palette entry's blue, green and red.
void build_targa(unsigned char* out, const unsigned char* pixels, const unsigned char* palette,
                 int32_t width, int32_t height)
{
    put_targa_header(out, width, height);
    // A side of 0 leaves no pixel, however long the other: 0 x 2^31 - 1 must
    // not walk two billion empty rows.
    if (width == 0 || height == 0) return;
    size_t w = static_cast<size_t>(width);
    unsigned char* p = out + kTargaHeaderSize;
    for (size_t row = static_cast<size_t>(height); row-- > 0;) {
        const unsigned char* src = pixels + row * w;
        for (size_t x = 0; x < w; ++x) {
            const unsigned char* e = palette + 3 * size_t{src[x]};
            p[0] = e[2];
            p[1] = e[1];
            p[2] = e[0];
            p += 3;
        }
    }
}

bool write_targa(const char* path, const unsigned char* pixels, const unsigned char* palette,
                 int32_t width, int32_t height)
{
    int64_t size = targa_size(width, height);
    if (size < 0) {
        print_message("Couldn't create %s: %d x %d pixels is too large for a Targa file\n", path,
                      width, height);
        return false;
    }
    unsigned char* block = alloc_block(static_cast<size_t>(size));
    if (block == nullptr) {
        print_message("Couldn't allocate memory for %s\n", path);
        return false;
    }
    build_targa(block, pixels, palette, width, height);
    bool ok = write_whole_file(path, block, static_cast<size_t>(size));
    free_block(block);
    return ok;
}
