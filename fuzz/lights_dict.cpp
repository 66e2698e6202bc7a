// Writes the light target's libFuzzer dictionary to the file named by its
// argument: every key of kLightKeys, so that a key added to the table is
// fuzzed at once, then the bytes that shape tokens. Prints the reason and
// returns 1 when the file cannot be written.
#include <cstdio>
#include <string_view>

#include "light_keys.h"

// Line ends, the end of the text and a byte from 0x80 up that separates, as
// the dictionary spells them.
static const char* const kShapes[] = {"//", "\\\"", "\\x0a", "\\x0d\\x0a", "\\x00", "\\xa0"};

static void put_entry(FILE* file, std::string_view text)
{
    fputc('"', file);
    for (char byte : text) {
        unsigned char c = static_cast<unsigned char>(byte);
        if (c == '"' || c == '\\')
            fprintf(file, "\\%c", c);
        else if (c < 0x20 || c >= 0x7f)
            fprintf(file, "\\x%02x", c);
        else
            fputc(c, file);
    }
    fputs("\"\n", file);
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        printf("usage: fuzz_lights_dict <output>\n");
        return 1;
    }
    FILE* file = fopen(argv[1], "wb");
    if (file == nullptr) {
        printf("fuzz_lights_dict: couldn't create %s\n", argv[1]);
        return 1;
    }
    fputs("# Made from kLightKeys by fuzz/lights_dict.cpp.\n", file);
    for (const LightKey& key : kLightKeys)
        if (!key.token.empty()) put_entry(file, key.token);
    for (const char* shape : kShapes)
        fprintf(file, "\"%s\"\n", shape);
    bool ok = ferror(file) == 0;
    ok = fclose(file) == 0 && ok;
    if (!ok) printf("fuzz_lights_dict: couldn't write %s\n", argv[1]);
    return ok ? 0 : 1;
}
