// Token reader for light lists: words separated by blanks, quoted strings,
// and // comments skipped.
#pragma once

#include <cstddef>

#include "chunk.h"
#include "text_block.h"

// Tokens keep at most this many characters; a word this long or longer is
// discarded whole.
constexpr size_t kMaxToken = 512;

// The scan reads whole chunks, the last one starting at or before the
// text's terminating zero: it needs this many readable bytes past the zero,
// which every TextBlock carries.
constexpr size_t kTokenLookahead = kChunkSize;
static_assert(kTokenLookahead <= kTextPadding, "a TextBlock carries the scan's lookahead");

// Bytes that can be read from the start of a returned token, whatever its
// length: short tokens may be copied as one block.
constexpr size_t kTokenReadable = kChunkSize;

// Returns the next token of the text at *cursor, which points into a
// TextBlock's text, and moves the cursor past it. The token lives in one
// process-wide buffer that the next call overwrites. At the end of the text
// the token is empty and the cursor becomes null; every later call returns
// the empty token again.
const char* next_token(const char** cursor);

// The same, also giving the token's length.
const char* next_token(const char** cursor, size_t* length);
