// Palette texture reader: finds the pixel block of a palette texture and
// hands it on as an index image, one palette index per pixel.
#pragma once

#include <cstdint>

#include "loader.h"

// Header fields this tool reads; the rest of the header is ignored.
constexpr int kTextureHeaderSize = 44;
constexpr int kTextureWidthOffset = 32;
constexpr int kTextureHeightOffset = 36;
constexpr int kTexturePixelsOffset = 40;

struct TextureHeader {
    int32_t width;
    int32_t height;
    int32_t pixel_offset;
};

// Width x height palette indices, top row first. `pixels` points into
// `storage`, the loaded file.
struct IndexImage {
    FileBlock storage;
    const unsigned char* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

// Reads the header fields of a loaded texture and checks them against its
// length: the pixel block must lie wholly inside the data. On failure prints
// one line naming `name` and returns false.
bool check_texture_header(const unsigned char* data, int64_t length, const char* name,
                          TextureHeader* header);

// Loads the texture at `path` and returns its index image. On failure the
// message has been printed and `image` is empty. Width or height 0 is a
// success with no pixels.
bool read_palette_texture(const char* path, IndexImage* image);

// Releases the loaded file behind an image and empties it; an empty image
// is left as it is.
void release_index_image(IndexImage* image);
