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
// found there is the word's end. A quoted value without blanks is a run too,
// whose first and last bytes are its quotes; a mask of quote marks (see
// enter_block) tells such a run from a word without a branch, since values
// are quoted in no order a processor could learn. Any other string ends at
// the next bit of the block's quote mask, block after block where needed, a
// comment at the next newline or zero, and the walk starts over from there.
// No prefix sums pair the quotes: a quote or two slashes count only at the
// start of a token, and comments hold quotes.
//
// The masks over one line, byte 0 on the left, '1' for a set bit:
//
//   text         origin "1" "a b" 3
//   ordinary     111111.111.11.11.1
//   bounds       1.....11..11.11.11   ordinary ^ (ordinary << 1)
//   quotes       .......1.1.1...1..
//   run lasts    .....1...1..1..1.1   ordinary & ~(ordinary >> 1)
//   quote marks  .....1.1...11....1   quotes ^ run lasts
//
// origin is the word from bound 0 to bound 6. The run "1" holds one quote
// mark, its first byte: it is a whole string. The run "a holds two, so the
// string goes on past it and scan_string finds its end, the next quote.
//
// Registers: a scan that is a local of its caller, its address never taken
// by a function left out of line, lives in registers. Behind a pointer it
// would be read again from memory after every byte the caller stores
// through a char pointer, since such a store may change any object. Hence
// scan_slowly_on_copy, the always-inline scan_token, and the translation's
// local output cursor; the comments there point here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "block.h"
#include "text_block.h"
#include "token_rules.h"

// The scan reads the text in aligned blocks of this many bytes, the last
// one holding the terminating zero, and copies tokens a chunk at a time, up
// to a chunk past a token's end: a TextBlock's alignment and padding keep
// both reads inside its allocation.
constexpr size_t kScanBlock = 64;
static_assert(kScanBlock == 8 * sizeof(uint64_t),
              "a block's masks are one uint64_t: a bit for each of its bytes");
static_assert(kScanBlock % kChunkSize == 0, "a block is whole chunks");
static_assert(kBlockAlignment % kScanBlock == 0, "texts start on a block boundary");
static_assert(kScanBlock <= kTextPadding, "a TextBlock carries the block holding its end");

// The inline paths take a token whole, with no limit applied, when it ends
// in the block it starts in or the next one.
static_assert(2 * kScanBlock <= kMaxToken,
              "a token the inline scan takes whole, up to two blocks long, is within kMaxToken");

// Bytes that can be read from the start of a returned token, whatever its
// length: short tokens may be copied as one block.
constexpr size_t kTokenReadable = kChunkSize;

// The token, and room for a whole chunk stored at any offset below
// kMaxToken (see copy_token).
extern char g_token[kMaxToken + kChunkSize];
static_assert(kMaxToken % kChunkSize == 0, "the last chunk stored ends at kMaxToken");

// Where the scan stands: a block of the text, its masks, and the bounds of
// its runs from the scan's position on.
struct TokenScan {
    const char* block;
    uint64_t ordinary;
    uint64_t quote_marks; // see enter_block
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

// A chunk's mask for each chunk of the block, put together: bit i of the
// result stands for byte i of the block.
template <typename ChunkMask> inline uint64_t block_mask(const char* block, ChunkMask chunk_mask)
{
    uint64_t mask = 0;
    for (size_t i = 0; i < kScanBlock / kChunkSize; ++i)
        mask |= uint64_t{chunk_mask(load_chunk(block + i * kChunkSize))} << (i * kChunkSize);
    return mask;
}

// Bit i is set when byte i of the block ends a run of this kind.
template <Run kind> inline uint64_t block_ends(const char* block)
{
    return block_mask(block, [](Chunk c) { return run_ends<kind>(c); });
}

// Bit i is set when byte i of the block is a double quote. A string ends at
// a quote or at the end of the text, but no quote follows the end: a string
// that reaches it finds no quote in its blocks and is left to scan_slowly,
// so the blocks the walk enters need no mask of zeros.
inline uint64_t block_quotes(const char* block)
{
    return block_mask(block, [](Chunk c) { return equal_mask(c, run_stop(Run::String)); });
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

// The last byte of each run. A run that reaches the block's last byte may
// go on in the next block, but the walk never takes such a run as a whole
// string, so its mark there does not matter.
inline uint64_t run_lasts(uint64_t ordinary) { return ordinary & ~(ordinary >> 1); }

// The quote marks are the block's double quotes with the last byte of every
// run flipped. A run that starts with a quote is a whole string, closed by
// its last byte and holding no other quote, exactly when its only mark is
// its first byte: the closing quote's mark is flipped away, and a quote
// within it or a last byte that is not a quote leaves a mark.
inline void enter_block(TokenScan* scan, const char* block)
{
    scan->block = block;
    scan->ordinary = ~block_ends<Run::Word>(block);
    scan->quote_marks = block_quotes(block) ^ run_lasts(scan->ordinary);
}

// Starts a scan at any cursor into a TextBlock's text: the byte before it
// does not count, so the cursor starts a run if it is ordinary.
inline void start_scan(TokenScan* scan, const char* cursor)
{
    size_t offset = reinterpret_cast<uintptr_t>(cursor) & (kScanBlock - 1);
    enter_block(scan, cursor - offset);
    scan->bounds = run_bounds(scan->ordinary & (~uint64_t{0} << offset), 0);
}

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

    if (opens_string(*start)) {
        // The quote itself and what lies before it cannot end the string.
        const char* block = scan->block;
        uint64_t stops =
            block_ends<Run::String>(block) & bits_after(static_cast<size_t>(start - block));
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

// scan_slowly on a copy of the scan, so that the caller's stays in
// registers (see the top of this file).
inline TokenView scan_slowly_on_copy(TokenScan* scan)
{
    TokenScan copy = *scan;
    TokenView token = scan_slowly(&copy);
    *scan = copy;
    return token;
}

// The quotes of the scan's block, from its marks.
inline uint64_t scan_quotes(const TokenScan* scan)
{
    return scan->quote_marks ^ run_lasts(scan->ordinary);
}

// A string opening at `start`, at bit `at` of the scan's block, with the
// scan's bounds still holding it: the quote itself and what lies before it
// cannot end it, and past the block the next block's quotes take over. A
// string that meets the end of the text finds no quote, and the block that
// holds the end is the text's last.
inline TokenView scan_string(TokenScan* scan, const char* start, size_t at)
{
    const char* block = scan->block;
    const char* stop_block = block;
    uint64_t stops = scan_quotes(scan) & bits_after(at);
    if (stops == 0) {
        if (block[kScanBlock - 1] == '\0') return scan_slowly_on_copy(scan);
        stop_block += kScanBlock;
        enter_block(scan, stop_block);
        stops = scan_quotes(scan);
        if (stops == 0) {
            enter_block(scan, block);
            return scan_slowly_on_copy(scan);
        }
    }
    size_t stop = lowest_bit(stops);
    // The closing quote is consumed.
    scan->bounds = run_bounds(scan->ordinary & bits_after(stop), 0);
    const char* close = stop_block + stop;
    size_t length = static_cast<size_t>(close - start - 1);
    return {length != 0 ? start + 1 : kNoText, length, close + 1};
}

// How a scan tells strings from words. By a branch, the cheaper way where
// a processor learns which tokens are quoted, as it does for the keys of a
// list; by arithmetic on the masks where quoting follows no pattern, as
// with values: each wrong guess costs more than the arithmetic.
enum class Quoting { Branch, Masks };

// The next token. Inline, the common cases: a word or a string that ends in
// the block it starts in or the next one, and a comment that ends in its
// block. Always inline: the translation reads tokens in several places,
// and a copy called out of line would keep the scan in memory (see the top
// of this file).
template <Quoting quoting>
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline TokenView
scan_token(TokenScan* scan)
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
        if (opens_comment(start)) {
            // The walk goes on from the newline or the end, which is not
            // ordinary and so starts nothing. Most comments are short: the
            // chunk after the slashes holds their end.
            unsigned near = run_ends<Run::Comment>(load_chunk(start + 2));
            size_t stop = near != 0 ? at + 2 + lowest_bit(near) : kScanBlock;
            if (stop >= kScanBlock) {
                uint64_t stops = block_ends<Run::Comment>(block) & bits_after(at);
                if (stops == 0) return scan_slowly_on_copy(scan);
                stop = lowest_bit(stops);
            }
            scan->bounds = run_bounds(scan->ordinary & bits_after(stop), 0);
            continue;
        }
        if (quoting == Quoting::Branch && opens_string(*start)) return scan_string(scan, start, at);
        uint64_t rest = without_lowest(bounds);
        if (rest != 0) {
            uint64_t next = without_lowest(rest);
            size_t end = lowest_bit(rest);
            if (quoting == Quoting::Branch) {
                scan->bounds = next;
                return {start, end - at, block + end};
            }
            // A run that ends in its block is a word, or a whole string
            // (see enter_block): the run less its quotes. Either way the
            // walk goes on from the run's end.
            uint64_t first = bounds ^ rest; // the token's first byte
            uint64_t past = rest ^ next;    // the byte after its last
            uint64_t quoted = opens_string(*start);
            // Marks of the run other than its first byte; they count only
            // for a string, which the mask of all ones or none selects.
            uint64_t stray = ((scan->quote_marks & (past - first)) ^ first) & (0 - quoted);
            if (stray == 0) {
                scan->bounds = next;
                size_t length = end - at - 2 * quoted;
                return {length != 0 ? start + quoted : kNoText, length, block + end};
            }
        }
        if (quoting == Quoting::Masks && opens_string(*start)) return scan_string(scan, start, at);
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

inline TokenView scan_next(TokenScan* scan) { return scan_token<Quoting::Branch>(scan); }
inline TokenView scan_value(TokenScan* scan) { return scan_token<Quoting::Masks>(scan); }

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
