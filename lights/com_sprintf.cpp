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
// room for the zero) and counts the whole length. The length is a local of
// the formatting loop: kept in a record behind a pointer it would be read
// again after every byte stored.
constexpr size_t kScratchRoom = kScratchSize - 1;

static inline size_t put(size_t length, char c)
{
    if (length < kScratchRoom) g_scratch[length] = c;
    return length + 1;
}

// Two decimal digits for each value below 100.
static constexpr char kDigitPairs[] = "00010203040506070809"
                                      "10111213141516171819"
                                      "20212223242526272829"
                                      "30313233343536373839"
                                      "40414243444546474849"
                                      "50515253545556575859"
                                      "60616263646566676869"
                                      "70717273747576777879"
                                      "80818283848586878889"
                                      "90919293949596979899";

static inline size_t put_int(size_t length, int value)
{
    char digits[16];
    char* end = digits + sizeof digits;
    char* d = end;
    uint32_t magnitude =
        value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    while (magnitude >= 100) {
        d -= 2;
        memcpy(d, kDigitPairs + 2 * (magnitude % 100), 2);
        magnitude /= 100;
    }
    if (magnitude >= 10) {
        d -= 2;
        memcpy(d, kDigitPairs + 2 * magnitude, 2);
    } else {
        *--d = static_cast<char>('0' + magnitude);
    }
    if (value < 0) *--d = '-';
    while (d < end)
        length = put(length, *d++);
    return length;
}

// Formats a simple format into the scratch area and gives the whole
// length; false when the format holds anything else, or a %s argument is
// null, which the standard function spells in its own way.
static bool format_simple(size_t* formatted, const char* format, va_list args)
{
    size_t length = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            length = put(length, *p);
            continue;
        }
        char c = *++p;
        if (c == '%') {
            length = put(length, '%');
        } else if (c == 's') {
            const char* text = va_arg(args, const char*);
            if (text == nullptr) return false;
            while (*text != '\0')
                length = put(length, *text++);
        } else if (c == 'i' || c == 'd') {
            length = put_int(length, va_arg(args, int));
        } else {
            return false;
        }
    }
    g_scratch[length < kScratchRoom ? length : kScratchRoom] = '\0';
    *formatted = length;
    return true;
}

void Com_sprintf(char* dest, int size, const char* format, ...)
{
    if (size <= 0) return;
    int length;
    size_t formatted;
    va_list args;
    va_start(args, format);
    bool simple = format_simple(&formatted, format, args);
    va_end(args);
    if (simple) {
        length = formatted > INT32_MAX ? -1 : static_cast<int>(formatted);
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
