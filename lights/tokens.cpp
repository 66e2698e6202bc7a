#include "tokens.h"

// The token, and room for a whole chunk stored at any offset below
// kMaxToken.
static char g_token[kMaxToken + kChunkSize];
static_assert(kMaxToken % kChunkSize == 0, "the last chunk stored ends at kMaxToken");
static_assert(sizeof g_token >= kTokenReadable, "tokens can be read as one chunk");

// What ends a run of bytes: a word ends at any byte that is not ordinary
// (the end included), a quoted string at a double quote or the end, a
// comment at a newline or the end.
enum class Run { Word, String, Comment };

template <Run kind> static inline unsigned run_ends(Chunk c)
{
    if (kind == Run::Word) return not_ordinary_mask(c);
    return equal_mask(c, kind == Run::String ? '"' : '\n') | zero_mask(c);
}

// Length of the run starting at p. With `copy`, its first kMaxToken bytes
// (and perhaps a few more, up to the next chunk boundary) go into g_token.
template <Run kind, bool copy> static size_t run_length(const char* p)
{
    for (size_t n = 0;; n += kChunkSize) {
        Chunk c = load_chunk(p + n);
        if (copy && n < kMaxToken) store_chunk(g_token + n, c);
        unsigned ends = run_ends<kind>(c);
        if (ends != 0) return n + lowest_bit(ends);
    }
}

// The first byte at or after p that is ordinary or the end.
static const char* skip_separators(const char* p)
{
    for (;; p += kChunkSize) {
        Chunk c = load_chunk(p);
        unsigned stops = ~not_ordinary_mask(c) | zero_mask(c);
        if ((stops & 0xffffu) != 0) return p + lowest_bit(stops);
    }
}

const char* next_token(const char** cursor, size_t* length)
{
    const char* p = *cursor;
    g_token[0] = '\0';
    *length = 0;
    if (p == nullptr) return g_token;

    for (;;) {
        p = skip_separators(p);
        if (*p == '\0') {
            *cursor = nullptr;
            return g_token;
        }
        if (p[0] != '/' || p[1] != '/') break;
        // The newline is left for the separators above.
        p += run_length<Run::Comment, false>(p);
    }

    if (*p == '"') {
        ++p;
        size_t n = run_length<Run::String, true>(p);
        // The end of the text stays in place so that the next call sees it.
        *cursor = p[n] == '"' ? p + n + 1 : p + n;
        if (n > kMaxToken) n = kMaxToken;
        g_token[n] = '\0';
        *length = n;
        return g_token;
    }

    size_t n = run_length<Run::Word, true>(p);
    *cursor = p + n;
    if (n < kMaxToken) {
        g_token[n] = '\0';
        *length = n;
    } else {
        g_token[0] = '\0';
    }
    return g_token;
}

const char* next_token(const char** cursor)
{
    size_t length;
    return next_token(cursor, &length);
}
