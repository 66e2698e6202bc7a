#include "light_translation.h"

#include <cstdio>
#include <cstring>

#include "com_sprintf.h"
#include "console.h"
#include "file_io.h"
#include "light_keys.h"
#include "tokens.h"

int g_light_number;

// Short tokens are copied as one kTokenReadable block whose tail the next
// append overwrites; the token buffer and the step room both allow it.
static inline void append_token(LightOutput* out, const char* token, size_t length)
{
    // Two calls with fixed and variable sizes: the fixed one compiles to a
    // single vector copy, the variable one to a call.
    if (length <= kTokenReadable)
        memcpy(out->buffer + out->used, token, kTokenReadable);
    else
        memcpy(out->buffer + out->used, token, length);
    out->used += length;
}

static void open_light(LightOutput* out)
{
    char comment[kLightCommentSize];
    Com_sprintf(comment, sizeof comment, "//Light %i\n", g_light_number);
    ++g_light_number;
    append(out, comment, strlen(comment));
    append_literal(out, "{\n");
    append_literal(out, kLightClassLine);
    append_literal(out, "\n");
}

// Values are read one at a time, right before each is written, since every
// token shares the one buffer.
static void write_key_line(LightOutput* out, const KeySlot& slot, const char** cursor)
{
    if (slot.prefix_length != 0) {
        memcpy(out->buffer + out->used, slot.prefix, kKeyPrefixRoom);
        out->used += slot.prefix_length;
    } else {
        append_literal(out, "\"");
        append(out, slot.key->token, slot.length);
        append_literal(out, "\" \"");
    }
    for (int i = 0; i < slot.key->values; ++i) {
        if (i > 0) append_literal(out, " ");
        size_t length;
        const char* value = next_token(cursor, &length);
        append_token(out, value, length);
    }
    append_literal(out, "\"\n");
}

bool translate_lights(const TextBlock& text, LightOutput* out)
{
    g_light_number = 0;
    reserve_step(out);
    append_literal(out, kWorldHeader);
    const char* cursor = text.text;
    while (cursor != nullptr && !out->failed) {
        size_t length;
        const char* token = next_token(&cursor, &length);
        const KeySlot* slot = find_light_key(token, length);
        if (slot == nullptr) {
            print_message("Error: Token \"%s\"\n", token);
            return false;
        }
        reserve_step(out);
        switch (slot->key->action) {
        case KeyAction::OpenLight:
            open_light(out);
            break;
        case KeyAction::CloseLight:
            append_literal(out, "}\n");
            break;
        case KeyAction::KeyLine:
            write_key_line(out, *slot, &cursor);
            break;
        case KeyAction::NoShadow:
            append_literal(out, kNoShadowLines);
            append_literal(out, "\n");
            break;
        case KeyAction::Drop:
            for (int i = 0; i < slot->key->values; ++i)
                next_token(&cursor);
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
