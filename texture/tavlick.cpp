#include "tavlick.h"

#include "palette.h"
#include "targa.h"
#include "texture_reader.h"

const ToolProfile kTavlickProfile = {
    "Tavlick palette texture converter (released 2026-12-07)\n",
    "Usage: Tavlick.exe <texture.wal>\n",
    "Funny argument size.\n",
    {'t', 'g', 'a'},
    convert_texture,
};

bool convert_texture(const char* input, const char* output)
{
    IndexImage image;
    if (!read_palette_texture(input, &image)) return false;
    bool ok = write_targa(output, image.pixels, kTexturePalette, image.width, image.height);
    release_index_image(&image);
    return ok;
}
