// Token reader for light lists: words separated by blanks, quoted strings,
// and // comments skipped.
#pragma once

#include <cstddef>

#include "chunk.h"
#include "text_block.h"

// Tokens keep at most this many characters; a word this long or longer is
// discarded whole.
constexpr size_t kMaxToken = 512;

// The scan reads the text in aligned blocks of this many bytes, the last
// one holding the terminating zero, and copies tokens a chunk at a time,
// up to a chunk past a token's end: a TextBlock's alignment and padding
// keep both reads inside its allocation.
constexpr size_t kScanBlock = 64;
static_assert(kScanBlock <= kTextPadding, "a TextBlock carries the block holding its end");

// Bytes that can be read from the start of a returned token, whatever its
// length: short tokens may be copied as one block.
constexpr size_t kTokenReadable = kChunkSize;

// Returns the next token of the text at *cursor, any position in a
// TextBlock's text, and moves the cursor past it. The token lives in one
// process-wide buffer that the next call overwrites. At the end of the text
// the token is empty and the cursor becomes null; every later call returns
// the empty token again.
const char* next_token(const char** cursor);

// The same, also giving the token's length.
const char* next_token(const char** cursor, size_t* length);

// The same tokens read a byte at a time: the reference the block scan is
// checked against.
const char* next_token_bytewise(const char** cursor, size_t* length);
