#include "light_translation.h"

#include <cstdio>
#include <cstring>

#include "com_sprintf.h"
#include "console.h"
#include "file_io.h"
#include "light_keys.h"
#include "tokens.h"

int g_light_number;

static_assert(kLightCommentSize <= kOutputBufferSize && kMaxToken <= kOutputBufferSize,
              "every piece fits the output buffer");

// Appends one piece, writing out what is buffered first when it would not
// fit.
static void put(LightOutput* out, const char* text, size_t length)
{
    if (length > kOutputBufferSize - out->used) flush_light_output(out);
    memcpy(out->buffer + out->used, text, length);
    out->used += length;
}

static void put_text(LightOutput* out, const char* text) { put(out, text, strlen(text)); }

// True when `token` is the whole of `name`. A token holds no zero byte, so
// the walk stops at the end of the name at the latest.
static bool is_named(TokenView token, const char* name)
{
    size_t i = 0;
    while (i < token.length && token.text[i] == name[i])
        ++i;
    return i == token.length && name[i] == '\0';
}

// The key that `token` names, or null when it names none.
static const LightKey* find_light_key(TokenView token)
{
    for (const LightKey& key : kLightKeys)
        if (is_named(token, key.token)) return &key;
    return nullptr;
}

static void open_light(LightOutput* out)
{
    char comment[kLightCommentSize];
    int length = Com_sprintf(comment, sizeof comment, "//Light %i\n", g_light_number);
    ++g_light_number;
    put(out, comment, static_cast<size_t>(length));
    put_text(out, "{\n");
    put_text(out, kLightClassLine);
    put_text(out, "\n");
}

// Values are written straight from the text as they are read.
static void put_key_line(LightOutput* out, const LightKey& key, const char** cursor)
{
    put_text(out, "\"");
    put_text(out, key.token);
    put_text(out, "\" \"");
    for (int i = 0; i < key.values; ++i) {
        if (i > 0) put_text(out, " ");
        TokenView value = read_token(cursor);
        put(out, value.text, value.length);
    }
    put_text(out, "\"\n");
}

bool translate_lights(const TextBlock& text, LightOutput* out)
{
    g_light_number = 0;
    put_text(out, kWorldHeader);
    const char* cursor = text.text;
    // The end of the text, an empty token, writes nothing; once a write
    // fails the translation stops.
    while (cursor != nullptr && !out->failed) {
        TokenView token = read_token(&cursor);
        const LightKey* key = find_light_key(token);
        if (key == nullptr) {
            print_message("Error: Token \"%.*s\"\n", static_cast<int>(token.length), token.text);
            return false;
        }
        switch (key->action) {
        case KeyAction::OpenLight:
            open_light(out);
            break;
        case KeyAction::CloseLight:
            put_text(out, "}\n");
            break;
        case KeyAction::KeyLine:
            put_key_line(out, *key, &cursor);
            break;
        case KeyAction::NoShadow:
            put_text(out, kNoShadowLines);
            put_text(out, "\n");
            break;
        case KeyAction::Drop:
            for (int i = 0; i < key->values; ++i)
                read_token(&cursor);
            break;
        }
    }
    return true;
}

bool convert_lights(const char* path, const TextBlock& text)
{
    OutputFile file;
    if (!open_output(path, &file)) return false;
    LightOutput out; // the buffer is left uninitialised: only what is appended is written
    out.file = file.file;
    bool translated = translate_lights(text, &out);
    bool written = flush_light_output(&out);
    return finish_output(&file, written) && translated;
}
