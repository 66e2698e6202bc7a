// Token reader for light lists: words separated by blanks, quoted strings,
// and // comments skipped.
#pragma once

#include <cstddef>

#include "frame.h"

// Tokens keep at most this many characters; a word this long or longer is
// discarded whole.
constexpr int kMaxToken = 512;

// Bytes that must stay readable after a text's terminating zero: the scan
// reads ahead in chunks. Texts from load_whole_file carry kTextPadding.
constexpr int kTokenLookahead = 16;

// Returns the next token of the zero-terminated text at *cursor and moves
// the cursor past it. The token lives in one process-wide buffer that the
// next call overwrites. At the end of the text the token is empty and the
// cursor becomes null; every later call returns the empty token again.
const char* next_token(const char** cursor);

// The same, also giving the token's length. At least kTokenReadable bytes
// can be read from the start of the returned buffer, whatever the length.
const char* next_token(const char** cursor, size_t* length);
constexpr int kTokenReadable = 16;
