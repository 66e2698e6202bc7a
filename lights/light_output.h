// Buffered output of the light translation: pieces are gathered in the
// record's own buffer and reach the stream in large writes.
#pragma once

#include <cstddef>
#include <cstdio>

// Every fresh page of the buffer costs a page fault, so it is no larger
// than a few write calls per megabyte need: a larger one was measured to be
// slower on short lists and no faster on a 100 MB one.
constexpr size_t kOutputBufferSize = size_t{1} << 16;

// `failed` is set by the first write that fails; later writes are skipped.
struct LightOutput {
    FILE* file = nullptr;
    size_t used = 0;
    bool failed = false;
    char buffer[kOutputBufferSize];
};

// Writes what is buffered; true when every write so far succeeded.
bool flush_light_output(LightOutput* out);
