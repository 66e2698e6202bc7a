#include "orrel.h"

#include "file_io.h"
#include "light_translation.h"
#include "tools_version.h"

const ToolProfile kOrrelProfile = {
    ORREL_BANNER, // version and year from project() in CMakeLists.txt
    "Usage: Orrel.exe <mapname.txt>\n",
    "Funny argument.\n",
    {'l', 'i', 't'},
    load_and_convert_lights,
};

bool load_and_convert_lights(const char* input, const char* output)
{
    TextBlock text;
    if (!load_text(input, &text)) return false;
    bool ok = convert_lights(output, text);
    release_text(&text);
    return ok;
}
