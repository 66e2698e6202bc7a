// Token reader for light lists: words separated by blanks, quoted strings,
// and // comments skipped.
#pragma once

#include <cstddef>

// Tokens keep at most this many characters; a word this long or longer is
// discarded whole.
constexpr size_t kMaxToken = 512;

// A token as it lies in the text: `length` bytes at `text`, not ended by a
// zero.
struct TokenView {
    const char* text;
    size_t length;
};

// Reads the next token of the zero-ended text at *cursor and moves the
// cursor past it. At the end of the text the token is empty and the cursor
// becomes null; every later call returns the empty token again.
TokenView read_token(const char** cursor);

// The same token, ended by a zero in one process-wide buffer that the next
// call overwrites.
const char* next_token(const char** cursor);
