#include "tokens.h"

// Bytes are classed by their signed value: zero ends the text, anything up
// to the space separates (so do all bytes from 0x80 up, which keeps a word
// to plain ASCII), the rest are ordinary characters.
static bool is_ordinary(char c) { return static_cast<signed char>(c) > ' '; }

std::string_view read_token(const char** cursor)
{
    const char* p = *cursor;
    if (p == nullptr) return "";
    for (;;) {
        while (!is_ordinary(*p)) {
            if (*p == '\0') {
                *cursor = nullptr;
                return "";
            }
            ++p;
        }
        if (p[0] != '/' || p[1] != '/') break;
        // The newline is left for the separators above.
        while (*p != '\n' && *p != '\0')
            ++p;
    }

    if (*p == '"') {
        const char* first = p + 1;
        const char* end = first;
        while (*end != '"' && *end != '\0')
            ++end;
        // A closing quote is consumed; the end of the text stays for the
        // next call to report.
        *cursor = *end == '"' ? end + 1 : end;
        size_t length = static_cast<size_t>(end - first);
        return {first, length < kMaxToken ? length : kMaxToken};
    }
    const char* end = p;
    while (is_ordinary(*end))
        ++end;
    *cursor = end;
    size_t length = static_cast<size_t>(end - p);
    return {p, length < kMaxToken ? length : 0};
}
