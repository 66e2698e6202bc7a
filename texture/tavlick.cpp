#include "tavlick.h"

#include "palette.h"
#include "targa.h"
#include "texture_reader.h"
#include "tools_version.h"

const ToolProfile kTavlickProfile = {
    TAVLICK_BANNER, // version and date from project() in CMakeLists.txt
    "Usage: Tavlick.exe <texture.wal>\n",
    "Funny argument size.\n",
    {'t', 'g', 'a'},
    load_and_convert_texture,
};

bool load_and_convert_texture(const char* input, const char* output)
{
    IndexImage image;
    if (!read_palette_texture(input, &image)) return false;
    bool ok = write_targa(output, image.pixels, kTexturePalette, image.width, image.height);
    release_index_image(&image);
    return ok;
}
