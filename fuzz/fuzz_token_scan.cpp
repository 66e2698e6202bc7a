// The block scan against the byte-at-a-time scan: on the same text, call
// after call, next_token, the scans kept from token to token as the
// translation keeps them (telling strings by a branch, by masks, and taking
// turns between the two at the input's choice), and the oracle must give
// the same token, length and cursor. The input bytes stand for a loaded
// text.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "text_block.h"
#include "token_oracle.h"
#include "token_scan.h"
#include "tokens.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TextBlock text;
    if (!make_text_block(data, size, &text)) return 0;
    const char* block_cursor = text.text;
    const char* byte_cursor = text.text;
    TokenScan keys;
    TokenScan values;
    TokenScan turns;
    start_scan(&keys, text.text);
    start_scan(&values, text.text);
    start_scan(&turns, text.text);
    char token[kMaxToken + 1];
    // Every call moves the cursor forward or ends the text.
    for (size_t calls = 0; calls <= size + 1; ++calls) {
        size_t length = 0;
        const char* got = next_token(&block_cursor, &length);
        if (length > kMaxToken || strlen(got) != length) abort();
        memcpy(token, got, length + 1);
        size_t expected_length = 0;
        const char* expected = next_token_bytewise(&byte_cursor, &expected_length);
        if (block_cursor != byte_cursor || length != expected_length ||
            memcmp(token, expected, length + 1) != 0)
            abort();
        // The byte whose bit picks the turn scan's kind for this call.
        bool masked = size > 0 && ((data[calls % size] >> (calls % 8)) & 1) != 0;
        const TokenView kept[] = {scan_next(&keys), scan_value(&values),
                                  masked ? scan_value(&turns) : scan_next(&turns)};
        for (const TokenView& view : kept)
            if (view.after != block_cursor || view.length != length ||
                memcmp(copy_token(view), token, length + 1) != 0)
                abort();
        if (block_cursor == nullptr) break;
    }
    if (block_cursor != nullptr) abort();
    release_text(&text);
    return 0;
}
