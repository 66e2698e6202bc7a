#include "tokens.h"

#include <cstring>

static char g_token[kMaxToken + 1];

// Bytes are classed by their signed value: zero ends the text, anything up
// to the space separates (so do all bytes from 0x80 up), the rest are
// ordinary characters.
static inline bool is_ordinary(char c) { return static_cast<signed char>(c) > ' '; }

const char* next_token(const char** cursor)
{
    g_token[0] = '\0';
    const char* p = *cursor;
    if (p == nullptr) return g_token;

    for (;;) {
        while (!is_ordinary(*p)) {
            if (*p == '\0') {
                *cursor = nullptr;
                return g_token;
            }
            ++p;
        }
        if (p[0] != '/' || p[1] != '/') break;
        // The newline is left for the separator loop above.
        while (*p != '\0' && *p != '\n')
            ++p;
    }

    if (*p == '"') {
        ++p;
        size_t n = 0;
        for (;;) {
            char c = *p;
            if (c == '\0') break; // left in place so the next call sees the end
            ++p;
            if (c == '"') break;
            if (n < static_cast<size_t>(kMaxToken)) g_token[n++] = c;
        }
        g_token[n] = '\0';
        *cursor = p;
        return g_token;
    }

    const char* start = p;
    while (is_ordinary(*p))
        ++p;
    size_t n = static_cast<size_t>(p - start);
    if (n < static_cast<size_t>(kMaxToken)) {
        memcpy(g_token, start, n);
        g_token[n] = '\0';
    }
    *cursor = p;
    return g_token;
}
