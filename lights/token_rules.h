// The token rules, shared by the block scan (token_scan.h) and the
// byte-at-a-time oracle it is checked against (token_oracle.cpp): the byte
// classes, what ends each kind of run, for one byte and for a chunk, and what
// a token keeps.
#pragma once

#include <cstddef>

#include "chunk.h"
#include "tokens.h"

// Bytes are classed by their signed value: zero ends the text, anything up
// to the space separates (so do all bytes from 0x80 up), the rest are
// ordinary characters.
constexpr signed char kFirstOrdinary = ' ' + 1;
inline bool is_ordinary(char c) { return static_cast<signed char>(c) >= kFirstOrdinary; }
inline unsigned not_ordinary_mask(Chunk c) { return below_mask(c, kFirstOrdinary); }

// A word ends at any byte that is not ordinary (the end included), a quoted
// string at a double quote or the end, a comment at a newline or the end.
enum class Run { Word, String, Comment };

constexpr char run_stop(Run kind) { return kind == Run::String ? '"' : '\n'; }

template <Run kind> inline bool ends_run(char c)
{
    if (kind == Run::Word) return !is_ordinary(c);
    return c == run_stop(kind) || c == '\0';
}

template <Run kind> inline unsigned run_ends(Chunk c)
{
    if (kind == Run::Word) return not_ordinary_mask(c);
    return equal_either_mask(c, run_stop(kind), '\0');
}

// A token is more than a run of ordinary bytes only when it starts with one
// of these: a double quote opens a string, two slashes a comment.
constexpr bool opens_string(char c) { return c == '"'; }
inline bool opens_comment(const char* p) { return p[0] == '/' && p[1] == '/'; }

// How much of a run of n bytes the token keeps: a string its first
// kMaxToken bytes, a word all of it or, from kMaxToken bytes on, nothing.
inline size_t string_kept(size_t n) { return n < kMaxToken ? n : kMaxToken; }
inline size_t word_kept(size_t n) { return n < kMaxToken ? n : 0; }
