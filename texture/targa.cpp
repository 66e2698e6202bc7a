#include "targa.h"

#include <cstdio>
#include <cstring>

#include "block.h"
#include "console.h"
#include "file_io.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#error "the pixel expansion stores little-endian words"
#endif

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

// Each pixel but a row's last is stored as a 4-byte word holding blue,
// green, red and a spare byte that the next pixel overwrites; the last one
// is stored as its three bytes, so that nothing lands past the row.
static void expand_row_scalar(unsigned char* out, const unsigned char* src, const uint32_t* bgr,
                              size_t width)
{
    if (width == 0) return;
    size_t last = width - 1;
    size_t x = 0;
    for (; x + 4 <= last; x += 4) {
        memcpy(out + 3 * x, &bgr[src[x]], 4);
        memcpy(out + 3 * x + 3, &bgr[src[x + 1]], 4);
        memcpy(out + 3 * x + 6, &bgr[src[x + 2]], 4);
        memcpy(out + 3 * x + 9, &bgr[src[x + 3]], 4);
    }
    for (; x < last; ++x)
        memcpy(out + 3 * x, &bgr[src[x]], 4);
    memcpy(out + 3 * last, &bgr[src[last]], 3);
}

// One table load and one store a pixel. Storing each pixel's three bytes one
// by one takes over three times the instructions and is felt on the largest
// real textures; vector gathers took fewer instructions but more time, the
// loop being held by its stores (docs/performance.md has the figures).
static void expand_rows(unsigned char* out, const unsigned char* pixels, const uint32_t* bgr,
                        int32_t width, int32_t height)
{
    size_t w = static_cast<size_t>(width);
    size_t h = static_cast<size_t>(height);
    for (size_t row = h; row-- > 0;) {
        expand_row_scalar(out, pixels + row * w, bgr, w);
        out += 3 * w;
    }
}

void build_targa(unsigned char* out, const unsigned char* pixels, const unsigned char* palette,
                 int32_t width, int32_t height)
{
    put_targa_header(out, width, height);
    if (width == 0 || height == 0) return;
    uint32_t bgr[256];
    for (int i = 0; i < 256; ++i) {
        const unsigned char* e = palette + 3 * i;
        bgr[i] = static_cast<uint32_t>(e[2]) | static_cast<uint32_t>(e[1]) << 8 |
                 static_cast<uint32_t>(e[0]) << 16;
    }
    expand_rows(out + kTargaHeaderSize, pixels, bgr, width, height);
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
