#include "com_sprintf.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "console.h"

constexpr int kScratchSize = 65536;
static char g_scratch[kScratchSize];

// Text with %i, %d, %s and %% and no flags, widths or precisions, the kind
// the converter formats once per light, is formatted here: the standard
// function's set-up costs far more than such a format.
// Appends like vsnprintf into the scratch area: stores what fits (keeping
// room for the zero) and counts the whole length.
struct ScratchText {
    size_t length = 0;

    void put(char c)
    {
        if (length < static_cast<size_t>(kScratchSize - 1)) g_scratch[length] = c;
        ++length;
    }
};

// Formats a simple format; false when the format holds anything else, or a
// %s argument is null, which the standard function spells in its own way.
static bool format_simple(ScratchText* out, const char* format, va_list args)
{
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            out->put(*p);
            continue;
        }
        char c = *++p;
        if (c == '%') {
            out->put('%');
        } else if (c == 's') {
            const char* text = va_arg(args, const char*);
            if (text == nullptr) return false;
            while (*text != '\0')
                out->put(*text++);
        } else if (c == 'i' || c == 'd') {
            int value = va_arg(args, int);
            char digits[16];
            char* d = digits + sizeof digits;
            uint32_t magnitude =
                value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
            do {
                *--d = static_cast<char>('0' + magnitude % 10);
                magnitude /= 10;
            } while (magnitude != 0);
            if (value < 0) out->put('-');
            while (d < digits + sizeof digits)
                out->put(*d++);
        } else {
            return false;
        }
    }
    return true;
}

void Com_sprintf(char* dest, int size, const char* format, ...)
{
    if (size <= 0) return;
    int length;
    ScratchText text;
    va_list args;
    va_start(args, format);
    bool simple = format_simple(&text, format, args);
    va_end(args);
    if (simple) {
        g_scratch[text.length < static_cast<size_t>(kScratchSize) ? text.length
                                                                  : kScratchSize - 1] = '\0';
        length = text.length > INT32_MAX ? -1 : static_cast<int>(text.length);
    } else {
        va_start(args, format);
        length = vsnprintf(g_scratch, sizeof g_scratch, format, args);
        va_end(args);
    }
    if (length < 0) length = 0;
    // The scratch area bounds the text as well as the destination does, so a
    // text cut by either one is reported with the bound that cut it.
    int limit = size < kScratchSize ? size : kScratchSize;
    if (length >= limit) print_message("Com_sprintf: overflow of %i in %i\n", length, limit);
    size_t kept = static_cast<size_t>(length < limit ? length : limit - 1);
    memcpy(dest, g_scratch, kept);
    dest[kept] = '\0';
}
