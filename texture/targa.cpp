#include "targa.h"

#include <cstdio>
#include <cstring>

#include "frame.h"

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

// Each pixel is stored as a 4-byte word holding blue, green, red and a
// spare byte that the next pixel overwrites; the last spare byte lands in
// the slack after the file.
static void expand_rows(unsigned char* out, const unsigned char* pixels, const uint32_t* bgr,
                        int32_t width, int32_t height)
{
    size_t w = static_cast<size_t>(width);
    for (int32_t row = height - 1; row >= 0; --row) {
        const unsigned char* src = pixels + static_cast<size_t>(row) * w;
        for (size_t x = 0; x < w; ++x) {
            memcpy(out + 3 * x, &bgr[src[x]], 4);
        }
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
        printf("Couldn't create %s: %d x %d pixels is too large for a Targa file\n", path, width,
               height);
        return false;
    }
    size_t capacity = 0;
    unsigned char* block = alloc_block(static_cast<size_t>(size) + kTargaSlack, &capacity);
    if (block == nullptr) {
        printf("Couldn't allocate memory for %s\n", path);
        return false;
    }
    build_targa(block, pixels, palette, width, height);
    bool ok = write_whole_file(path, block, static_cast<size_t>(size));
    free_block(block, capacity);
    return ok;
}
