#include "orrel.h"

#include "lights.h"

const ToolProfile kOrrelProfile = {
    "Orrel light list converter (2026)\n",
    "Usage: Orrel.exe <mapname.txt>\n",
    "Funny argument.\n",
    {'l', 'i', 't'},
    convert_light_file,
};

bool convert_light_file(const char* input, const char* output)
{
    FileBlock text;
    if (!load_whole_file(input, true, &text)) return false;
    bool ok = convert_lights(output, reinterpret_cast<const char*>(text.data));
    release_block(&text);
    return ok;
}
