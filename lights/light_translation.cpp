#include "light_translation.h"

#include <cstdio>
#include <cstring>

#include "com_sprintf.h"
#include "console.h"
#include "light_keys.h"
#include "output.h"
#include "tokens.h"

// Number of the next light; the first "{" of a translation is light 0.
static int g_light_number;

static_assert(kLightCommentSize <= kOutputBufferSize && kMaxToken <= kOutputBufferSize,
              "every piece fits the output buffer");

// Appends one piece, writing out what is buffered first when it would not
// fit.
static void put(LightOutput* out, std::string_view piece)
{
    if (piece.size() > kOutputBufferSize - out->used) flush_light_output(out);
    memcpy(out->buffer + out->used, piece.data(), piece.size());
    out->used += piece.size();
}

// The key that `token` names, or null when it names none.
static const LightKey* find_light_key(std::string_view token)
{
    for (const LightKey& key : kLightKeys)
        // cppcheck-suppress useStlAlgorithm
        if (key.token == token) return &key;
    return nullptr;
}

static void open_light(LightOutput* out)
{
    char comment[kLightCommentSize];
    int length = Com_sprintf(comment, sizeof comment, "//Light %i\n", g_light_number);
    ++g_light_number;
    put(out, {comment, static_cast<size_t>(length)});
    put(out, "{\n");
    put(out, kLightClassLine);
    put(out, "\n");
}

// Values are written straight from the text as they are read.
static void put_key_line(LightOutput* out, const LightKey& key, const char** cursor)
{
    put(out, "\"");
    put(out, key.token);
    put(out, "\" \"");
    for (int i = 0; i < key.values; ++i) {
        if (i > 0) put(out, " ");
        put(out, read_token(cursor));
    }
    put(out, "\"\n");
}

bool translate_lights(const TextBlock& text, LightOutput* out)
{
    g_light_number = 0;
    put(out, kWorldHeader);
    const char* cursor = text.text;
    // The end of the text, an empty token, writes nothing; once a write
    // fails the translation stops.
    while (cursor != nullptr && !out->failed) {
        std::string_view token = read_token(&cursor);
        const LightKey* key = find_light_key(token);
        if (key == nullptr) {
            print_message("Error: Token \"%.*s\"\n", static_cast<int>(token.size()), token.data());
            return false;
        }
        switch (key->action) {
        case KeyAction::OpenLight:
            open_light(out);
            break;
        case KeyAction::CloseLight:
            put(out, "}\n");
            break;
        case KeyAction::KeyLine:
            put_key_line(out, *key, &cursor);
            break;
        case KeyAction::NoShadow:
            put(out, kNoShadowLines);
            put(out, "\n");
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
