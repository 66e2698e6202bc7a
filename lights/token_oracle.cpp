#include "token_oracle.h"

#include <cstring>

#include "token_rules.h"

static char g_oracle_token[kMaxToken + 1];

// The first byte at or after p that ends a run of this kind.
template <Run kind> static const char* run_end(const char* p)
{
    while (!ends_run<kind>(*p))
        ++p;
    return p;
}

const char* next_token_bytewise(const char** cursor, size_t* length)
{
    const char* p = *cursor;
    g_oracle_token[0] = '\0';
    *length = 0;
    if (p == nullptr) return g_oracle_token;

    for (;;) {
        while (!is_ordinary(*p)) {
            if (*p == '\0') {
                *cursor = nullptr;
                return g_oracle_token;
            }
            ++p;
        }
        if (!opens_comment(p)) break;
        // The newline is left for the separators above.
        p = run_end<Run::Comment>(p);
    }

    size_t kept;
    if (opens_string(*p)) {
        const char* first = p + 1;
        const char* end = run_end<Run::String>(first);
        kept = string_kept(static_cast<size_t>(end - first));
        memcpy(g_oracle_token, first, kept);
        // The end of the text stays in place so that the next call sees it.
        *cursor = *end == '"' ? end + 1 : end;
    } else {
        const char* end = run_end<Run::Word>(p);
        kept = word_kept(static_cast<size_t>(end - p));
        memcpy(g_oracle_token, p, kept);
        *cursor = end;
    }
    g_oracle_token[kept] = '\0';
    *length = kept;
    return g_oracle_token;
}
