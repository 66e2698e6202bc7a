// Texture path in memory: the input bytes stand for a loaded file; they go
// through the header checks and, when accepted, are expanded into a Targa
// block. An accepted texture must expand to exactly 18 + 3 x width x height
// bytes: the header, then every pixel bottom row first as the blue, green
// and red of its palette entry.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "palette.h"
#include "targa.h"
#include "texture_reader.h"

// The expected bytes of one pixel, compared against the expansion.
static bool pixel_matches(const unsigned char* out, unsigned char index)
{
    const unsigned char* entry = kTexturePalette + 3 * index;
    return out[0] == entry[2] && out[1] == entry[1] && out[2] == entry[0];
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TextureHeader header;
    if (!check_texture_header(data, static_cast<int64_t>(size), "fuzz.wal", &header)) return 0;

    // An accepted block lies wholly inside the input.
    int64_t count = int64_t{header.width} * header.height;
    if (header.width < 0 || header.height < 0 || header.pixel_offset < 0 ||
        header.pixel_offset + count > static_cast<int64_t>(size))
        abort();

    // Inputs are far below 2 GiB, so the Targa size always fits.
    int64_t file_size = targa_size(header.width, header.height);
    if (file_size != kTargaHeaderSize + 3 * count) abort();

    // Exactly the size of the file, so that AddressSanitizer catches a
    // store one byte further.
    size_t total = static_cast<size_t>(file_size);
    auto* out = static_cast<unsigned char*>(malloc(total == 0 ? 1 : total));
    if (out == nullptr) return 0;
    const unsigned char* pixels = data + header.pixel_offset;
    build_targa(out, pixels, kTexturePalette, header.width, header.height);

    const unsigned char head[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    auto w = static_cast<uint32_t>(header.width);
    auto h = static_cast<uint32_t>(header.height);
    if (memcmp(out, head, sizeof head) != 0 || out[12] != (w & 0xff) ||
        out[13] != ((w >> 8) & 0xff) || out[14] != (h & 0xff) || out[15] != ((h >> 8) & 0xff) ||
        out[16] != 24 || out[17] != 0)
        abort();

    // The first pixel of the file is the first index of the bottom row; the
    // loop then checks every other pixel in file order. A width of 0 may come
    // with a height in the billions, so empty images skip the rows.
    size_t width = w;
    const unsigned char* at = out + kTargaHeaderSize;
    for (size_t row = count > 0 ? h : 0; row-- > 0;) {
        for (size_t x = 0; x < width; ++x, at += 3) {
            if (!pixel_matches(at, pixels[row * width + x])) abort();
        }
    }
    if (at != out + total) abort();
    free(out);
    return 0;
}
