// Buffered output of the light translation: pieces are gathered in the
// record's own buffer and reach the stream in large writes.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>

// Every fresh page of the buffer costs a page fault, so it is no larger
// than a few write calls per megabyte need: a larger one was measured to be
// slower on short lists and no faster on a 100 MB one.
constexpr size_t kOutputBufferSize = size_t{1} << 16;

// Bytes one step of the translation (one key with its values) may append
// without a check of its own, copy slack included. The key table is checked
// against it at compile time (light_keys.h).
constexpr size_t kStepRoom = 2112;
static_assert(kStepRoom * 8 <= kOutputBufferSize, "several steps fit between two writes");

// `failed` is set by the first write that fails; later writes are skipped.
struct LightOutput {
    FILE* file = nullptr;
    size_t used = 0;
    bool failed = false;
    char buffer[kOutputBufferSize];
};

// Writes what is buffered; true when every write so far succeeded.
bool flush_light_output(LightOutput* out);

// Makes room for one step, so that the appends of that step need no check.
inline void reserve_step(LightOutput* out)
{
    if (kOutputBufferSize - out->used < kStepRoom) flush_light_output(out);
}

inline void append(LightOutput* out, const char* data, size_t size)
{
    memcpy(out->buffer + out->used, data, size);
    out->used += size;
}

template <size_t N> inline void append_literal(LightOutput* out, const char (&text)[N])
{
    append(out, text, N - 1);
}
