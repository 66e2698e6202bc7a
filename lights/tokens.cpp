#include "tokens.h"

#include <cstdint>
#include <cstring>

// Runs of bytes are scanned sixteen at a time where the processor allows.
// A chunk may reach past the terminating zero, into the lookahead bytes
// that every text carries (see tokens.h), but never further.
#if defined(__GNUC__) && defined(__SSE2__)
#include <emmintrin.h>
#define TOKENS_SSE2 1
#endif

static_assert(kTextPadding >= kTokenLookahead, "loaded texts must carry the lookahead");

// The token and room for whole sixteen-byte stores starting below kMaxToken.
static char g_token[kMaxToken + 32];

// Bytes are classed by their signed value: zero ends the text, anything up
// to the space separates (so do all bytes from 0x80 up), the rest are
// ordinary characters.
static inline bool is_ordinary(char c) { return static_cast<signed char>(c) > ' '; }

// What ends a run: a word ends at any byte that is not ordinary, a quoted
// string at a double quote or the end, a comment at a newline or the end.
enum class Run { Word, String, Comment };

template <Run kind> static inline bool ends_run(char c)
{
    if (kind == Run::Word) return !is_ordinary(c);
    if (kind == Run::String) return c == '"' || c == '\0';
    return c == '\n' || c == '\0';
}

#ifdef TOKENS_SSE2
template <Run kind> static inline unsigned run_ends(__m128i v)
{
    __m128i hits;
    if (kind == Run::Word) {
        hits = _mm_cmpgt_epi8(_mm_set1_epi8(' ' + 1), v); // signed, as is_ordinary
    } else {
        char stop = kind == Run::String ? '"' : '\n';
        hits = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(stop)),
                            _mm_cmpeq_epi8(v, _mm_setzero_si128()));
    }
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
}
#endif

// Length of the run starting at p. With `copy`, its first kMaxToken bytes
// (and possibly a few more, below kMaxToken + 16) go into g_token.
// Every chunk starts at or before the terminating zero.
template <Run kind, bool copy> static size_t run_length(const char* p)
{
    size_t n = 0;
    for (;;) {
#ifdef TOKENS_SSE2
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n));
        if (copy && n < static_cast<size_t>(kMaxToken))
            _mm_storeu_si128(reinterpret_cast<__m128i*>(g_token + n), v);
        unsigned ends = run_ends<kind>(v);
        if (ends != 0) return n + static_cast<size_t>(__builtin_ctz(ends));
        n += 16;
#else
        char c = p[n];
        if (ends_run<kind>(c)) return n;
        if (copy && n < static_cast<size_t>(kMaxToken)) g_token[n] = c;
        ++n;
#endif
    }
}

#ifdef TOKENS_SSE2
// Copies the n bytes at q (n below 16, q at or before the zero) into the
// token as one chunk.
static inline void copy_short(const char* q, int n)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(g_token),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)));
    g_token[n] = '\0';
}

// The common case in one chunk: a few separators, then a short word or
// quoted string that ends within the same sixteen bytes. Returns its length
// and moves the cursor, or returns -1 when the general path must decide (the
// end, a comment, a longer token).
static inline int short_token(const char** cursor)
{
    const char* p = *cursor;
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i zero = _mm_cmpeq_epi8(v, _mm_setzero_si128());
    unsigned ordinary =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(v, _mm_set1_epi8(' '))));
    unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(zero)) | ordinary;
    if (ends == 0) return -1;
    int skip = __builtin_ctz(ends);
    if ((ordinary >> skip & 1) == 0) return -1; // the end of the text
    const char* q = p + skip;
    if (q[0] == '"') {
        unsigned closing = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(zero, _mm_cmpeq_epi8(v, _mm_set1_epi8('"')))));
        closing >>= skip + 1;
        if (closing == 0) return -1;
        int n = __builtin_ctz(closing);
        copy_short(q + 1, n);
        // The end of the text stays in place so that the next call sees it.
        *cursor = q + 1 + n + (q[1 + n] == '"' ? 1 : 0);
        return n;
    }
    if (q[0] == '/' && q[1] == '/') return -1;
    unsigned rest = (~ordinary & 0xffffu) >> skip;
    if (rest == 0) return -1;
    int n = __builtin_ctz(rest);
    copy_short(q, n);
    *cursor = q + n;
    return n;
}
#endif

// Every case, one byte at a time between runs: the end, comments and long
// tokens.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
static const char*
general_token(const char** cursor, size_t* length)
{
    const char* p = *cursor;
    g_token[0] = '\0';
    *length = 0;
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
        p += run_length<Run::Comment, false>(p);
    }

    if (*p == '"') {
        ++p;
        size_t n = run_length<Run::String, true>(p);
        // The end of the text stays in place so that the next call sees it.
        *cursor = p[n] == '"' ? p + n + 1 : p + n;
        if (n > static_cast<size_t>(kMaxToken)) n = kMaxToken;
        g_token[n] = '\0';
        *length = n;
        return g_token;
    }

    size_t n = run_length<Run::Word, true>(p);
    *cursor = p + n;
    if (n < static_cast<size_t>(kMaxToken)) {
        g_token[n] = '\0';
        *length = n;
    } else {
        g_token[0] = '\0';
    }
    return g_token;
}

const char* next_token(const char** cursor, size_t* length)
{
#ifdef TOKENS_SSE2
    if (*cursor != nullptr) {
        int n = short_token(cursor);
        if (n >= 0) {
            *length = static_cast<size_t>(n);
            return g_token;
        }
    }
#endif
    return general_token(cursor, length);
}

const char* next_token(const char** cursor)
{
    size_t length;
    return next_token(cursor, &length);
}
