// Light list path in memory: the input bytes stand for a loaded text. First
// the token reader alone must reach the end, moving forward on every call;
// then the translation must end and its output must begin with the world
// header.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "light_keys.h"
#include "light_translation.h"
#include "text_copy.h"
#include "tokens.h"

// Every call either moves the cursor forward or ends the text, so a text of
// n bytes takes at most n + 1 calls.
static void check_tokens(const char* text, size_t size)
{
    const char* cursor = text;
    for (size_t calls = 0; cursor != nullptr; ++calls) {
        if (calls > size + 1) abort();
        const char* before = cursor;
        if (read_token(&cursor).size() > kMaxToken) abort();
        if (cursor != nullptr && (cursor <= before || cursor > text + size)) abort();
    }
    if (!read_token(&cursor).empty() || cursor != nullptr) abort();
}

static void check_translation(const TextBlock& text)
{
    char* output = nullptr;
    size_t output_size = 0;
    FILE* file = open_memstream(&output, &output_size);
    if (file == nullptr) abort();
    LightOutput out;
    out.file = file;
    translate_lights(text, &out);
    bool written = flush_light_output(&out);
    if (fclose(file) != 0 || !written) abort();

    // Every piece written ends a line, and no zero byte gets past the reader.
    size_t header = sizeof kWorldHeader - 1;
    if (output_size < header || memcmp(output, kWorldHeader, header) != 0 ||
        output[output_size - 1] != '\n' || memchr(output, 0, output_size) != nullptr)
        abort();
    free(output);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly as the loader hands it over.
    TextBlock text;
    if (!make_text_block(data, size, &text)) return 0;
    check_tokens(text.text, size);
    check_translation(text);
    release_text(&text);
    return 0;
}
