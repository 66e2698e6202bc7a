// The token scan: the rules of token_rules.h applied to whole blocks of the
// text, inline so that the translation's loop keeps the walk in registers.
//
// Each 64-byte block becomes a mask of its ordinary bytes, bit i for byte i.
// A run of ordinary bytes begins and ends where that mask changes from one
// byte to the next, so `ordinary ^ (ordinary << 1 | carry)` holds two bits
// per run: its first byte and the byte after its last. A word is those two
// bits taken off the mask, each found by counting trailing zeros and cleared
// with the lowest set bit; the separators between words cost nothing. A run
// that reaches the end of a block carries into the next: that block's mask
// is shifted with a one coming in below its first bit, so the first bit
// found there is the word's end. Only a token that starts with a double
// quote or a slash needs more than its run, and a small table tells those
// two bytes from the rest: a string ends at the next bit of the block's
// quote-or-zero mask, block after block where needed, a comment at the next
// newline or zero, and the walk starts over from there. No prefix sums pair
// the quotes: a quote or two slashes count only at the start of a token,
// and comments hold quotes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "block.h"
#include "token_rules.h"

static_assert(kScanBlock == 4 * kChunkSize, "a block is four chunks");
static_assert(kBlockAlignment % kScanBlock == 0, "texts start on a block boundary");

// Where the scan stands: a block of the text, its masks, and the bounds of
// its runs from the scan's position on.
struct TokenScan {
    const char* block;
    uint64_t ordinary;
    uint64_t quotes; // double quotes and zeros: what ends a string
    uint64_t bounds;
};

// A token as it lies in the text, not copied: `length` bytes at `text`, of
// which kTokenReadable can be read whatever the length. `after` is where
// the cursor goes, null at the end of the text. An empty token's text is
// kNoText, so that all empty tokens read alike.
struct TokenView {
    const char* text;
    size_t length;
    const char* after;
};

alignas(kChunkSize) inline constexpr char kNoText[kTokenReadable] = {};

// Bit i is set when byte i of the block ends a run of this kind.
template <Run kind> inline uint64_t block_ends(const char* block)
{
    uint64_t ends = 0;
    for (size_t i = 0; i < kScanBlock / kChunkSize; ++i)
        ends |= uint64_t{run_ends<kind>(load_chunk(block + i * kChunkSize))} << (i * kChunkSize);
    return ends;
}

// The first byte of each run and the byte after its last. `carry` is 1 when
// a run comes in from the block before: its first bit is then the run's end.
inline uint64_t run_bounds(uint64_t ordinary, uint64_t carry)
{
    return ordinary ^ (ordinary << 1 | carry);
}

// Bits above `bit` (below 64): what lies after a position, the shift being
// defined even for the last byte.
inline uint64_t bits_after(size_t bit) { return ~uint64_t{1} << bit; }

// Clears the lowest set bit.
inline uint64_t without_lowest(uint64_t mask) { return mask & (mask - 1); }

inline void enter_block(TokenScan* scan, const char* block)
{
    scan->block = block;
    scan->ordinary = ~block_ends<Run::Word>(block);
    scan->quotes = block_ends<Run::String>(block);
}

// Starts a scan at any cursor into a TextBlock's text: the byte before it
// does not count, so the cursor starts a run if it is ordinary.
inline void start_scan(TokenScan* scan, const char* cursor)
{
    size_t offset = reinterpret_cast<uintptr_t>(cursor) & (kScanBlock - 1);
    enter_block(scan, cursor - offset);
    scan->bounds = run_bounds(scan->ordinary & (~uint64_t{0} << offset), 0);
}

// Bytes that may start more than a run of ordinary bytes.
struct OpensMoreTable {
    bool bytes[256];
};

constexpr OpensMoreTable build_opens_more()
{
    OpensMoreTable table{};
    for (unsigned c = 0; c < 256; ++c)
        table.bytes[c] = may_open_more(static_cast<char>(c));
    return table;
}

inline constexpr OpensMoreTable kOpensMore = build_opens_more();

// Every case, from a scan whose bounds hold what is left of its block:
// comments, runs that end in a later block, long tokens, the end.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
inline TokenView
scan_slowly(TokenScan* scan)
{
    const char* start;
    for (;;) {
        while (scan->bounds == 0) {
            // No run starts in the rest of the block. Every byte from the
            // text's first zero on is zero, so the block holds the end
            // exactly when its last byte is zero.
            if (scan->block[kScanBlock - 1] == '\0') return {kNoText, 0, nullptr};
            enter_block(scan, scan->block + kScanBlock);
            scan->bounds = run_bounds(scan->ordinary, 0);
        }
        start = scan->block + lowest_bit(scan->bounds);
        if (!opens_comment(start)) break;
        // The walk goes on from the comment's newline or the end, which is
        // not ordinary and so starts nothing.
        const char* block = scan->block;
        uint64_t stops =
            block_ends<Run::Comment>(block) & (~uint64_t{0} << static_cast<size_t>(start - block));
        while (stops == 0) {
            block += kScanBlock;
            stops = block_ends<Run::Comment>(block);
        }
        if (block != scan->block) enter_block(scan, block);
        scan->bounds = run_bounds(scan->ordinary & (~uint64_t{0} << lowest_bit(stops)), 0);
    }

    if (*start == '"') {
        // The quote itself and what lies before it cannot end the string.
        const char* block = scan->block;
        uint64_t stops = scan->quotes & bits_after(static_cast<size_t>(start - block));
        while (stops == 0) {
            block += kScanBlock;
            stops = block_ends<Run::String>(block);
        }
        if (block != scan->block) enter_block(scan, block);
        size_t stop = lowest_bit(stops);
        const char* close = block + stop;
        // A closing quote is consumed; the end stays for the next call.
        scan->bounds = run_bounds(scan->ordinary & bits_after(stop), 0);
        size_t kept = string_kept(static_cast<size_t>(close - start - 1));
        return {kept != 0 ? start + 1 : kNoText, kept, *close == '"' ? close + 1 : close};
    }

    // A word: its first byte's bound is taken, the next one is its end.
    uint64_t rest = without_lowest(scan->bounds);
    while (rest == 0) {
        // The word runs on past the block, whose last byte is ordinary: the
        // carry comes in below the next block's first bit.
        enter_block(scan, scan->block + kScanBlock);
        rest = run_bounds(scan->ordinary, 1);
    }
    const char* end = scan->block + lowest_bit(rest);
    scan->bounds = without_lowest(rest);
    size_t kept = word_kept(static_cast<size_t>(end - start));
    return {kept != 0 ? start : kNoText, kept, end};
}

// scan_slowly on a copy of the scan: a caller's scan whose address is never
// taken can live in registers, where every byte the caller stores through a
// char pointer would otherwise make it read the scan again from memory.
inline TokenView scan_slowly_on_copy(TokenScan* scan)
{
    TokenScan copy = *scan;
    TokenView token = scan_slowly(&copy);
    *scan = copy;
    return token;
}

// The next token. Inline, the common cases: a word or a string that ends in
// the block it starts in or the next one, and a comment that ends in its
// block.
inline TokenView scan_next(TokenScan* scan)
{
    for (;;) {
        uint64_t bounds = scan->bounds;
        if (bounds == 0) {
            if (scan->block[kScanBlock - 1] == '\0') return scan_slowly_on_copy(scan);
            enter_block(scan, scan->block + kScanBlock);
            bounds = run_bounds(scan->ordinary, 0);
            scan->bounds = bounds;
            if (bounds == 0) return scan_slowly_on_copy(scan);
        }
        const char* block = scan->block;
        size_t at = lowest_bit(bounds);
        const char* start = block + at;
        if (kOpensMore.bytes[static_cast<unsigned char>(*start)]) {
            if (*start == '"') {
                // The quote itself and what lies before it cannot end the
                // string; past the block, the next block's masks take over.
                const char* stop_block = block;
                uint64_t stops = scan->quotes & bits_after(at);
                if (stops == 0) {
                    stop_block += kScanBlock;
                    enter_block(scan, stop_block);
                    stops = scan->quotes;
                    if (stops == 0) {
                        enter_block(scan, block);
                        return scan_slowly_on_copy(scan);
                    }
                }
                size_t stop = lowest_bit(stops);
                // A closing quote is ordinary and consumed; a zero is
                // neither.
                scan->bounds = run_bounds(scan->ordinary & bits_after(stop), 0);
                const char* close = stop_block + stop;
                size_t length = static_cast<size_t>(close - start - 1);
                const char* after = close + ((scan->ordinary >> stop) & 1);
                return {length != 0 ? start + 1 : kNoText, length, after};
            }
            if (opens_comment(start)) {
                // The walk goes on from the newline or the end, which is
                // not ordinary and so starts nothing.
                uint64_t stops = block_ends<Run::Comment>(block) & bits_after(at);
                if (stops == 0) return scan_slowly_on_copy(scan);
                scan->bounds = run_bounds(scan->ordinary & bits_after(lowest_bit(stops)), 0);
                continue;
            }
            // A slash alone starts a word.
        }
        uint64_t rest = without_lowest(bounds);
        if (rest != 0) {
            size_t end = lowest_bit(rest);
            scan->bounds = without_lowest(rest);
            return {start, end - at, block + end};
        }
        // The word reaches the end of the block: its end is the first bound
        // of the next block with the carry.
        enter_block(scan, block + kScanBlock);
        rest = run_bounds(scan->ordinary, 1);
        if (rest == 0) {
            // Longer words start over from the scan's first block again.
            enter_block(scan, block);
            return scan_slowly_on_copy(scan);
        }
        const char* end = scan->block + lowest_bit(rest);
        scan->bounds = without_lowest(rest);
        return {start, static_cast<size_t>(end - start), end};
    }
}

// Copies a token's `length` bytes into g_token a chunk at a time and ends
// it there; returns g_token. The last chunk reads up to a chunk past them,
// which still lies in the text, its padding or kNoText.
inline const char* copy_token(TokenView token)
{
    store_chunk(g_token, load_chunk(token.text));
    for (size_t i = kChunkSize; i < token.length; i += kChunkSize)
        store_chunk(g_token + i, load_chunk(token.text + i));
    g_token[token.length] = '\0';
    return g_token;
}
