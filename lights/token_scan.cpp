// next_token over the block scan of token_scan.h, with the scan kept
// between calls: a call that continues where the last one left the cursor
// goes on from that scan rather than classifying its block again.
#include "token_scan.h"

static TokenScan g_scan;
// Where the last call left the cursor while g_scan still stands there;
// null when it keeps nothing.
static const char* g_resume;

const char* next_token(const char** cursor, size_t* length)
{
    const char* p = *cursor;
    if (p == nullptr) {
        g_token[0] = '\0';
        *length = 0;
        return g_token;
    }
    if (p != g_resume) start_scan(&g_scan, p);
    TokenView token = scan_next(&g_scan);
    // A cursor on a block boundary is not kept: every text starts on one,
    // so a new text in the memory of a released one never meets a stale
    // scan.
    bool on_boundary = (reinterpret_cast<uintptr_t>(token.after) & (kScanBlock - 1)) == 0;
    g_resume = on_boundary ? nullptr : token.after;
    *cursor = token.after;
    *length = token.length;
    return copy_token(token);
}

const char* next_token(const char** cursor)
{
    size_t length;
    return next_token(cursor, &length);
}
