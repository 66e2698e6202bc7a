// Token reader for light lists: words separated by blanks, quoted strings,
// and // comments skipped.
#pragma once

#include <cstddef>

// Tokens keep at most this many characters; a word this long or longer is
// discarded whole.
constexpr size_t kMaxToken = 512;

// Returns the next token of the text at *cursor, any position in a
// TextBlock's text (text_block.h), and moves the cursor past it. The token
// lives in one process-wide buffer that the next call overwrites. At the end
// of the text the token is empty and the cursor becomes null; every later
// call returns the empty token again.
const char* next_token(const char** cursor);

// The same, also giving the token's length.
const char* next_token(const char** cursor, size_t* length);
