#include "orrel.h"

#include <cstdio>

#include "console.h"
#include "light_translation.h"
#include "loader.h"
#include "tools_version.h"

const ToolProfile kOrrelProfile = {
    ORREL_BANNER, // version and year from project() in CMakeLists.txt
    "Usage: Orrel.exe <mapname.txt>\n",
    "Funny argument.\n",
    {'l', 'i', 't'},
    load_and_convert_lights,
};

// UTF-16 puts a zero byte after nearly every character, and the first zero
// ends the text: such a list would quietly convert to almost nothing. Its
// byte-order mark gives it away. The second byte is read only after a first
// that is not the text's closing zero.
static bool utf16_text(const TextBlock& text)
{
    unsigned char first = static_cast<unsigned char>(text.text[0]);
    if (first != 0xff && first != 0xfe) return false;
    unsigned char second = static_cast<unsigned char>(text.text[1]);
    return (first == 0xff && second == 0xfe) || (first == 0xfe && second == 0xff);
}

bool load_and_convert_lights(const char* input, const char* output)
{
    TextBlock text;
    if (!load_text(input, &text)) return false;
    if (utf16_text(text)) {
        print_message("Couldn't convert %s: UTF-16 text; save it as plain text\n", input);
        release_text(&text);
        return false;
    }
    bool ok = convert_lights(output, text);
    release_text(&text);
    return ok;
}
