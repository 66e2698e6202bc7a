// The token buffer, and next_token over the block scan of token_scan.h.
// Each call starts a scan
// at its cursor: the translation keeps its own scan from token to token,
// and next_token serves the tests, the fuzz targets and any caller that
// holds a cursor alone.
#include "token_scan.h"

char g_token[kMaxToken + kChunkSize];

const char* next_token(const char** cursor, size_t* length)
{
    const char* p = *cursor;
    if (p == nullptr) {
        g_token[0] = '\0';
        *length = 0;
        return g_token;
    }
    TokenScan scan;
    start_scan(&scan, p);
    TokenView token = scan_next(&scan);
    *cursor = token.after;
    *length = token.length;
    return copy_token(token);
}

const char* next_token(const char** cursor)
{
    size_t length;
    return next_token(cursor, &length);
}
