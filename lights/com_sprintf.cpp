#include "com_sprintf.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "console.h"

constexpr int kScratchSize = 65536;
static char g_scratch[kScratchSize];

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

// How many digits n has, found in a few comparisons: a light's number has
// as many as the one before it nearly always, so the branches are learnt.
static inline size_t decimal_digits(uint32_t n)
{
    if (n < 100000) {
        if (n < 100) return n < 10 ? 1 : 2;
        if (n < 10000) return n < 1000 ? 3 : 4;
        return 5;
    }
    if (n < 10000000) return n < 1000000 ? 6 : 7;
    if (n < 1000000000) return n < 100000000 ? 8 : 9;
    return 10;
}

// Writes the digits of an int at `to`; returns their end.
static inline char* write_int(char* to, int value)
{
    uint32_t magnitude =
        value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    if (value < 0) *to++ = '-';
    char* end = to + decimal_digits(magnitude);
    char* d = end;
    while (magnitude >= 100) {
        d -= 2;
        memcpy(d, kDigitPairs + 2 * (magnitude % 100), 2);
        magnitude /= 100;
    }
    if (magnitude >= 10)
        memcpy(d - 2, kDigitPairs + 2 * magnitude, 2);
    else
        d[-1] = static_cast<char>('0' + magnitude);
    return end;
}

// No byte of a format without %s becomes more than the eleven of a %i, so
// a format of n bytes fits any destination larger than 11 n.
constexpr size_t kLongestConversion = 11;

// True when some byte of the word is `byte`: a byte of x is zero exactly
// where the word holds it, and subtracting one from each byte borrows into
// the top bit only of bytes that were zero (or from a zero byte below, which
// is then already found).
static inline bool holds_byte(uint64_t word, char byte)
{
    constexpr uint64_t kOnes = 0x0101010101010101u;
    uint64_t x = word ^ (kOnes * static_cast<unsigned char>(byte));
    return ((x - kOnes) & ~x & (kOnes << 7)) != 0;
}

// The light comment's kind of format, `size` bytes, short and without %s,
// written at `to` with no check of the room left; -1 when the format holds
// anything else.
static inline int format_short(char* to, const char* format, size_t size, va_list args)
{
    char* const first = to;
    const char* p = format;
    const char* end = format + size;
    while (p < end) {
        // Eight literal bytes at a time while they lie inside the format.
        if (end - p >= 8) {
            uint64_t word;
            memcpy(&word, p, 8);
            if (!holds_byte(word, '%')) {
                memcpy(to, &word, 8);
                to += 8;
                p += 8;
                continue;
            }
        }
        char c = *p++;
        if (c != '%') {
            *to++ = c;
            continue;
        }
        // A '%' at the end reads the zero and is refused.
        c = *p++;
        if (c == '%')
            *to++ = '%';
        else if (c == 'i' || c == 'd')
            to = write_int(to, va_arg(args, int));
        else
            return -1;
    }
    *to = '\0';
    return static_cast<int>(to - first);
}

// The standard function formats into the scratch area and the text is
// copied from there; gives the number of characters kept.
static int format_through_scratch(char* dest, int size, const char* format, va_list args)
{
    int length = vsnprintf(g_scratch, sizeof g_scratch, format, args);
    if (length < 0) length = 0;
    // The scratch area bounds the text as well as the destination does, so a
    // text cut by either one is reported with the bound that cut it.
    int limit = size < kScratchSize ? size : kScratchSize;
    if (length >= limit) print_message("Com_sprintf: overflow of %i in %i\n", length, limit);
    size_t kept = static_cast<size_t>(length < limit ? length : limit - 1);
    memcpy(dest, g_scratch, kept);
    dest[kept] = '\0';
    return static_cast<int>(kept);
}

// A short format of the light comment's kind, which cannot fill the
// destination, is written straight into it: the standard function's set-up
// costs far more than such a format, and going through the scratch area
// would store the text, load it back for the copy and stall on both.
int Com_sprintf(char* dest, int size, const char* format, ...)
{
    if (size <= 0) return 0;
    va_list args;
    va_start(args, format);
    size_t format_size = strlen(format);
    int kept = -1;
    if (format_size <= (static_cast<size_t>(size) - 1) / kLongestConversion) {
        va_list copy;
        va_copy(copy, args);
        kept = format_short(dest, format, format_size, copy);
        va_end(copy);
    }
    if (kept < 0) kept = format_through_scratch(dest, size, format, args);
    va_end(args);
    return kept;
}
