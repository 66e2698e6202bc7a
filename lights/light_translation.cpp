#include "light_translation.h"

#include <cstdio>
#include <cstring>

#include "com_sprintf.h"
#include "console.h"
#include "file_io.h"
#include "light_keys.h"
#include "token_scan.h"

int g_light_number;

// The translation appends through a local cursor `at` into out->buffer
// rather than through out->used, for the reason the scan is a local (see
// the top of token_scan.h).

static_assert(8 * kStepRoom <= kOutputBufferSize, "several steps fit between two writes");

template <size_t N> static inline char* put_literal(char* at, const char (&text)[N])
{
    memcpy(at, text, N - 1);
    return at + N - 1;
}

// Short tokens are copied as one kTokenReadable block whose tail the next
// append overwrites; the text, kNoText and the step room all allow it.
static inline char* put_token(char* at, TokenView token)
{
    // Two calls with fixed and variable sizes: the fixed one compiles to a
    // single vector copy, the variable one to a call.
    if (token.length <= kTokenReadable)
        memcpy(at, token.text, kTokenReadable);
    else
        memcpy(at, token.text, token.length);
    return at + token.length;
}

// The comment's buffer is the output itself, which has room for all of it
// (see step_length): formatted in place, it is not copied again.
static char* open_light(char* at)
{
    at += Com_sprintf(at, kLightCommentSize, "//Light %i\n", g_light_number);
    ++g_light_number;
    at = put_literal(at, "{\n");
    at = put_literal(at, kLightClassLine);
    return put_literal(at, "\n");
}

// Values are written straight from the text as the scan finds them.
static inline char* put_key_line(char* at, const PreparedKey& key, TokenScan* scan)
{
    memcpy(at, key.prefix, kKeyPrefixRoom);
    at += key.prefix_length;
    int values = key.values;
    for (int i = 0; i < values; ++i) {
        if (i > 0) at = put_literal(at, " ");
        at = put_token(at, scan_value(scan));
    }
    return put_literal(at, "\"\n");
}

// The tokens are read in place through a scan of the translation's own
// rather than copied into the token buffer one by one: the same tokens as
// next_token gives, which only the error message needs as a string.
bool translate_lights(const TextBlock& text, LightOutput* out)
{
    g_light_number = 0;
    // Room for one step before each, the world header the first; once a
    // write fails the translation stops.
    if (out->used > kOutputBufferSize - kStepRoom && !flush_light_output(out)) return true;
    char* at = put_literal(out->buffer + out->used, kWorldHeader);
    char* const step_limit = out->buffer + (kOutputBufferSize - kStepRoom);
    TokenScan scan;
    start_scan(&scan, text.text);
    for (;;) {
        TokenView token = scan_next(&scan);
        // The end of the text, an empty token, writes nothing.
        if (token.after == nullptr) break;
        const PreparedKey* key = find_light_key(token.text, token.length);
        if (key == nullptr) {
            out->used = static_cast<size_t>(at - out->buffer);
            print_message("Error: Token \"%s\"\n", copy_token(token));
            return false;
        }
        if (at > step_limit) {
            out->used = static_cast<size_t>(at - out->buffer);
            if (!flush_light_output(out)) return true;
            at = out->buffer;
        }
        switch (key->action) {
        case KeyAction::OpenLight:
            at = open_light(at);
            break;
        case KeyAction::CloseLight:
            at = put_literal(at, "}\n");
            break;
        case KeyAction::KeyLine:
            at = put_key_line(at, *key, &scan);
            break;
        case KeyAction::NoShadow:
            at = put_literal(at, kNoShadowLines);
            at = put_literal(at, "\n");
            break;
        case KeyAction::Drop:
            for (int i = 0; i < key->values; ++i)
                scan_value(&scan);
            break;
        }
    }
    out->used = static_cast<size_t>(at - out->buffer);
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
