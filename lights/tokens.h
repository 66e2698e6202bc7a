// Token reader for light lists: words separated by blanks, quoted strings,
// and // comments skipped.
#pragma once

#include <cstddef>
#include <string_view>

// Tokens keep at most this many characters; a word this long or longer is
// discarded whole.
constexpr size_t kMaxToken = 512;

// Reads the next token of the zero-ended text at *cursor, as it lies in the
// text, and moves the cursor past it. At the end of the text the token is empty and the cursor
// becomes null; every later call returns the empty token again.
std::string_view read_token(const char** cursor);
