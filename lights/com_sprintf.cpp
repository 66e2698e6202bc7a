#include "com_sprintf.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "console.h"

constexpr int kScratchSize = 65536;
static char g_scratch[kScratchSize];

int Com_sprintf(char* dest, int size, const char* format, ...)
{
    if (size <= 0) return 0;
    va_list args;
    va_start(args, format);
    int length = vsnprintf(g_scratch, sizeof g_scratch, format, args);
    va_end(args);
    if (length < 0) length = 0;
    // The scratch area bounds the text as well as the destination does, so a
    // text cut by either one is reported with the bound that cut it.
    int limit = size < kScratchSize ? size : kScratchSize;
    if (length >= limit) print_message("Com_sprintf: overflow of %i in %i\n", length, limit);
    int kept = length < limit ? length : limit - 1;
    memcpy(dest, g_scratch, static_cast<size_t>(kept));
    dest[kept] = '\0';
    return kept;
}
