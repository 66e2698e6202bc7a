// next_token: the rules of token_rules.h applied to whole blocks of the text.
//
// Each 64-byte block becomes a mask of its ordinary bytes, bit i for byte i.
// A run of ordinary bytes begins and ends where that mask changes from one
// byte to the next, so `ordinary ^ (ordinary << 1)` holds two bits per run:
// its first byte and the byte after its last. A word is those two bits taken
// off the mask, each found by counting trailing zeros and cleared with the
// lowest set bit; the separators between words cost nothing. A run that
// reaches the end of a block carries into the next: that block's mask is
// shifted with a one coming in below its first bit, so the first bit found
// there is the word's end. Only tokens that start with a double quote or a
// slash need more than a run: a string ends at the next double quote or zero
// and a comment at the next newline or zero, each found in a mask of its
// own, block after block where needed, and the walk goes on from there.
// Between calls the block and what is left of its mask stay in g_walk, so a
// token usually costs a few bit operations and a copy rather than a wait
// for the bytes before it to be read again.
#include <cstdint>

#include "block.h"
#include "token_rules.h"

static_assert(kScanBlock == 4 * kChunkSize, "a block is four chunks");
static_assert(kBlockAlignment % kScanBlock == 0, "texts start on a block boundary");

// Bit i is set when byte i of the block ends a run of this kind.
template <Run kind> static inline uint64_t block_ends(const char* block)
{
    uint64_t ends = 0;
    for (size_t i = 0; i < kScanBlock / kChunkSize; ++i)
        ends |= uint64_t{run_ends<kind>(load_chunk(block + i * kChunkSize))} << (i * kChunkSize);
    return ends;
}

static inline uint64_t ordinary_bytes(const char* block) { return ~block_ends<Run::Word>(block); }

// Bits from `offset` (below 64) up: what lies at or after a position.
static inline uint64_t bits_from(size_t offset) { return ~uint64_t{0} << offset; }

// The first byte of each run and the byte after its last. `carry` is 1 when
// a run comes in from the block before: its first bit is then the run's end.
static inline uint64_t run_bounds(uint64_t ordinary, uint64_t carry)
{
    return ordinary ^ (ordinary << 1 | carry);
}

static inline const char* block_of(const char* p)
{
    return p - (reinterpret_cast<uintptr_t>(p) & (kScanBlock - 1));
}

static inline size_t offset_in(const char* block, const char* p)
{
    return static_cast<size_t>(p - block);
}

// Where the last call left the text: the block it reached, that block's
// masks, and the bounds of its runs from `resume` on. With no resume the
// bounds are zero, so that a null cursor never passes for it.
struct Walk {
    const char* resume;
    const char* block;
    uint64_t ordinary;
    uint64_t quotes; // double quotes and zeros: what ends a string
    uint64_t bounds;
};
static Walk g_walk;

static inline void enter_block(const char* block)
{
    g_walk.block = block;
    g_walk.ordinary = ordinary_bytes(block);
    g_walk.quotes = block_ends<Run::String>(block);
}

// Sets the bounds to the runs from `p` on, in the block the walk is in. The
// byte before p does not count: p starts a run if it is ordinary.
static inline void resume_at(const char* p)
{
    g_walk.bounds = run_bounds(g_walk.ordinary & bits_from(offset_in(g_walk.block, p)), 0);
}

static inline void forget_walk()
{
    g_walk.resume = nullptr;
    g_walk.bounds = 0;
}

// A resume on a block boundary is not kept: every text starts on one, so a
// new text in the memory of a released one never meets a stale walk.
static inline void keep_resume(const char* resume)
{
    if (resume != g_walk.block)
        g_walk.resume = resume;
    else
        forget_walk();
}

// Copies n bytes, n at most kMaxToken, into g_token a chunk at a time and
// ends the token there. The last chunk reads up to a chunk past them, which
// still lies in the text or its padding.
static inline void copy_token(const char* from, size_t n)
{
    store_chunk(g_token, load_chunk(from));
    for (size_t i = kChunkSize; i < n; i += kChunkSize)
        store_chunk(g_token + i, load_chunk(from + i));
    g_token[n] = '\0';
}

// Every case: a cursor the walk does not know (the first call on a text,
// or one after a call that kept nothing), runs that start in a later block
// or end there, comments, the end of the text and long tokens.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
static const char*
scan_token(const char** cursor, size_t* length)
{
    const char* p = *cursor;
    *length = 0;
    if (p == nullptr) {
        g_token[0] = '\0';
        return g_token;
    }
    if (p != g_walk.resume) {
        enter_block(block_of(p));
        resume_at(p);
    }

    const char* start;
    for (;;) {
        while (g_walk.bounds == 0) {
            // No run starts in the rest of the block. Every byte from the
            // text's first zero on is zero, so the block holds the end
            // exactly when its last byte is zero.
            if (g_walk.block[kScanBlock - 1] == '\0') {
                forget_walk();
                g_token[0] = '\0';
                *cursor = nullptr;
                return g_token;
            }
            enter_block(g_walk.block + kScanBlock);
            g_walk.bounds = run_bounds(g_walk.ordinary, 0);
        }
        start = g_walk.block + lowest_bit(g_walk.bounds);
        if (!opens_comment(start)) break;
        // The walk goes on from the comment's newline or the end, which is
        // not ordinary and so starts nothing.
        const char* block = g_walk.block;
        uint64_t stops = block_ends<Run::Comment>(block) & bits_from(offset_in(block, start));
        while (stops == 0) {
            block += kScanBlock;
            stops = block_ends<Run::Comment>(block);
        }
        if (block != g_walk.block) enter_block(block);
        resume_at(block + lowest_bit(stops));
    }

    if (*start == '"') {
        // The quote itself and what lies before it cannot end the string.
        const char* block = g_walk.block;
        uint64_t stops = g_walk.quotes & (bits_from(offset_in(block, start)) << 1);
        while (stops == 0) {
            block += kScanBlock;
            stops = block_ends<Run::String>(block);
        }
        const char* close = block + lowest_bit(stops);
        size_t kept = string_kept(static_cast<size_t>(close - start - 1));
        copy_token(start + 1, kept);
        *length = kept;
        // The end of the text stays in place so that the next call sees it.
        const char* after = *close == '"' ? close + 1 : close;
        *cursor = after;
        if (after - g_walk.block < static_cast<ptrdiff_t>(kScanBlock)) {
            resume_at(after);
            g_walk.resume = after;
        } else {
            forget_walk();
        }
        return g_token;
    }

    // A word: its first byte's bound is taken, the next one is its end.
    uint64_t bounds = g_walk.bounds & (g_walk.bounds - 1);
    while (bounds == 0) {
        // The word runs on past the block, whose last byte is ordinary: in
        // the next block that carry comes in below the first bit, so the
        // first bound found there is the word's end.
        enter_block(g_walk.block + kScanBlock);
        bounds = run_bounds(g_walk.ordinary, 1);
    }
    const char* end = g_walk.block + lowest_bit(bounds);
    g_walk.bounds = bounds & (bounds - 1);
    keep_resume(end);
    size_t kept = word_kept(static_cast<size_t>(end - start));
    copy_token(start, kept);
    *length = kept;
    *cursor = end;
    return g_token;
}

// Most tokens: the walk knows the cursor, and a word or a string starts and
// ends in its block, shorter than two chunks. Everything else goes to
// scan_token, which starts over from the same walk.
const char* next_token(const char** cursor, size_t* length)
{
    if (*cursor != g_walk.resume || *cursor == nullptr) return scan_token(cursor, length);
    uint64_t bounds = g_walk.bounds;
    const char* block = g_walk.block;
    if (bounds == 0) {
        // Every byte from the text's first zero on is zero: the block holds
        // the end exactly when its last byte is zero.
        if (block[kScanBlock - 1] == '\0') return scan_token(cursor, length);
        block += kScanBlock;
        enter_block(block);
        bounds = run_bounds(g_walk.ordinary, 0);
        g_walk.bounds = bounds;
        if (bounds == 0) return scan_token(cursor, length);
    }
    size_t at = lowest_bit(bounds);
    const char* start = block + at;
    char first = *start;
    size_t n;
    const char* end;
    if (first == '"') {
        uint64_t stops = g_walk.quotes & (bits_from(at) << 1);
        if (stops == 0) return scan_token(cursor, length);
        size_t stop = lowest_bit(stops);
        // A double quote is ordinary and the end is not: the closing quote
        // is consumed, the end stays for the next call.
        size_t after = stop + ((g_walk.ordinary >> stop) & 1);
        n = stop - at - 1;
        if (after == kScanBlock || n >= 2 * kChunkSize) return scan_token(cursor, length);
        ++start;
        end = block + after;
        g_walk.bounds = run_bounds(g_walk.ordinary & bits_from(after), 0);
    } else {
        if (first == '/') return scan_token(cursor, length);
        uint64_t rest = bounds & (bounds - 1); // the start taken
        if (rest == 0) {
            // The word runs on into the next block: the carry.
            block += kScanBlock;
            enter_block(block);
            rest = run_bounds(g_walk.ordinary, 1);
        }
        if (rest == 0) {
            // Longer words start over from the cursor.
            forget_walk();
            return scan_token(cursor, length);
        }
        end = block + lowest_bit(rest);
        n = static_cast<size_t>(end - start);
        if (n >= 2 * kChunkSize) {
            forget_walk();
            return scan_token(cursor, length);
        }
        g_walk.bounds = rest & (rest - 1); // the end taken
    }
    keep_resume(end);
    store_chunk(g_token, load_chunk(start));
    store_chunk(g_token + kChunkSize, load_chunk(start + kChunkSize));
    g_token[n] = '\0';
    *length = n;
    *cursor = end;
    return g_token;
}

const char* next_token(const char** cursor)
{
    size_t length;
    return next_token(cursor, &length);
}
