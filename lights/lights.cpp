#include "lights.h"

#include <cstring>

#include "com_sprintf.h"
#include "frame.h"
#include "tokens.h"

const LightKey kLightKeys[] = {
    {"{", 0, KeyAction::OpenLight},
    {"}", 0, KeyAction::CloseLight},
    {"origin", 3, KeyAction::KeyLine},
    {"center", 3, KeyAction::Drop},
    {"radius", 3, KeyAction::KeyLine},
    {"style", 1, KeyAction::KeyLine},
    {"material", 1, KeyAction::Drop},
    {"color", 3, KeyAction::KeyLine},
    {"noShadows", 0, KeyAction::NoShadow},
    {"parallel", 0, KeyAction::Drop},
    {"materialParm3", 1, KeyAction::Drop},
    {"angles", 3, KeyAction::KeyLine},
    {"", 0, KeyAction::Drop},
};
const size_t kLightKeyCount = sizeof kLightKeys / sizeof kLightKeys[0];

int g_light_number;

static const char kWorldHeader[] =
    "{\n\"classname\" \"worldspawn\"\n\"ambient\" \"0.01 0.01 0.01\"\n}\n";
static const char kLightClassLine[] = "\"classname\" \"light\"";
static const char kNoShadowLines[] = "\"noshadow\" \"1\"\n\"noshadow2\" \"1\"";

// Large enough that a 100 MB light list costs a few thousand writes.
constexpr size_t kOutputBufferSize = size_t{1} << 18;
static char g_output_buffer[kOutputBufferSize];

static void write_raw(LightOutput* out, const char* data, size_t size)
{
    if (out->failed) return;
    if (size > 0 && fwrite(data, 1, size, out->file) != size) out->failed = true;
}

bool flush_light_output(LightOutput* out)
{
    write_raw(out, g_output_buffer, out->used);
    out->used = 0;
    return !out->failed;
}

static void put(LightOutput* out, const char* data, size_t size)
{
    if (size > kOutputBufferSize - out->used) {
        flush_light_output(out);
        if (size > kOutputBufferSize) {
            write_raw(out, data, size);
            return;
        }
    }
    memcpy(g_output_buffer + out->used, data, size);
    out->used += size;
}

static void put_text(LightOutput* out, const char* text) { put(out, text, strlen(text)); }

template <size_t N> static void put_literal(LightOutput* out, const char (&text)[N])
{
    put(out, text, N - 1);
}

static const LightKey* find_key(const char* token)
{
    size_t length = strlen(token);
    for (size_t i = 0; i < kLightKeyCount; ++i) {
        const LightKey& key = kLightKeys[i];
        if (strlen(key.token) == length && memcmp(key.token, token, length) == 0) return &key;
    }
    return nullptr;
}

static void open_light(LightOutput* out)
{
    char comment[576];
    Com_sprintf(comment, sizeof comment, "//Light %i\n", g_light_number);
    ++g_light_number;
    put_text(out, comment);
    put_literal(out, "{\n");
    put_literal(out, kLightClassLine);
    put_literal(out, "\n");
}

// Values are read one at a time, right before each is written, since every
// token shares the one buffer.
static void write_key_line(LightOutput* out, const LightKey& key, const char** cursor)
{
    put_literal(out, "\"");
    put_text(out, key.token);
    put_literal(out, "\" \"");
    for (int i = 0; i < key.values; ++i) {
        if (i > 0) put_literal(out, " ");
        put_text(out, next_token(cursor));
    }
    put_literal(out, "\"\n");
}

bool translate_lights(const char* text, LightOutput* out)
{
    g_light_number = 0;
    put_literal(out, kWorldHeader);
    const char* cursor = text;
    while (cursor != nullptr && !out->failed) {
        const char* token = next_token(&cursor);
        const LightKey* key = find_key(token);
        if (key == nullptr) {
            printf("Error: Token \"%s\"\n", token);
            return false;
        }
        switch (key->action) {
        case KeyAction::OpenLight:
            open_light(out);
            break;
        case KeyAction::CloseLight:
            put_literal(out, "}\n");
            break;
        case KeyAction::KeyLine:
            write_key_line(out, *key, &cursor);
            break;
        case KeyAction::NoShadow:
            put_literal(out, kNoShadowLines);
            put_literal(out, "\n");
            break;
        case KeyAction::Drop:
            for (int i = 0; i < key->values; ++i)
                next_token(&cursor);
            break;
        }
    }
    return true;
}

bool convert_lights(const char* path, const char* text)
{
    FILE* file = fopen(path, "wb");
    if (file == nullptr) {
        printf("Couldn't create %s\n", path);
        return false;
    }
    LightOutput out = {file, 0, false};
    bool translated = translate_lights(text, &out);
    bool written = flush_light_output(&out);
    written = close_output(file) && written;
    if (!written) {
        printf("Couldn't write %s\n", path);
        remove_partial_output(path);
        return false;
    }
    return translated;
}
