#include "texture_reader.h"

#include <cstdio>

#include "console.h"

static int32_t read_le32(const unsigned char* p)
{
    uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                 static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(v);
}

bool check_texture_header(const unsigned char* data, int64_t length, const char* name,
                          TextureHeader* header)
{
    if (length < kTextureHeaderSize) {
        print_message("Bad texture %s: shorter than its %d-byte header\n", name,
                      kTextureHeaderSize);
        return false;
    }
    int32_t width = read_le32(data + kTextureWidthOffset);
    int32_t height = read_le32(data + kTextureHeightOffset);
    int32_t offset = read_le32(data + kTexturePixelsOffset);
    if (width < 0 || height < 0) {
        print_message("Bad texture %s: negative size %d x %d\n", name, width, height);
        return false;
    }
    if (offset < 0) {
        print_message("Bad texture %s: negative pixel offset %d\n", name, offset);
        return false;
    }
    // Both factors are below 2^31, so the product cannot overflow 64 bits.
    int64_t count = int64_t{width} * height;
    if (count > INT32_MAX) {
        print_message("Bad texture %s: %d x %d pixels is too many\n", name, width, height);
        return false;
    }
    if (offset > length || count > length - offset) {
        print_message(
            "Bad texture %s: pixel block of %d x %d at offset %d runs past the end of the file\n",
            name, width, height, offset);
        return false;
    }
    header->width = width;
    header->height = height;
    header->pixel_offset = offset;
    return true;
}

bool read_palette_texture(const char* path, IndexImage* image)
{
    *image = IndexImage{};
    FileBlock block;
    if (!load_whole_file(path, &block)) return false;
    TextureHeader header;
    if (!check_texture_header(block.data, block.length, path, &header)) {
        release_block(&block);
        return false;
    }
    // The loaded block is handed on whole rather than copied: the pixels are
    // already in memory, and a second block of the same size would only cost
    // fresh pages.
    image->storage = block;
    image->pixels = block.data + header.pixel_offset;
    image->width = header.width;
    image->height = header.height;
    return true;
}

void release_index_image(IndexImage* image)
{
    release_block(&image->storage);
    *image = IndexImage{};
}
