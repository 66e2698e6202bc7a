// The oracle of the token scan: the rules of token_rules.h applied a byte at
// a time, the plain statement of what next_token must return. The tests and
// the fuzz targets check the block scan against it; Orrel does not link it.
#pragma once

#include <cstddef>

// next_token's tokens, lengths and cursors, read a byte at a time. The
// token lives in a buffer of the oracle's own.
const char* next_token_bytewise(const char** cursor, size_t* length);
