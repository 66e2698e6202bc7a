// Sixteen bytes of a text at a time, as bit masks: bit i stands for byte i.
// A vector body serves where the processor has SSE2 and TOOLS_SIMD is on;
// the portable body states the same compares a byte at a time.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

constexpr size_t kChunkSize = 16;
static_assert(kChunkSize <= sizeof(unsigned) * CHAR_BIT,
              "a chunk's mask holds a bit for each of its bytes");

// Index of the lowest set bit of a non-zero mask.
inline unsigned lowest_bit(uint64_t mask)
{
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctzll(mask));
#else
    unsigned i = 0;
    while ((mask & 1u) == 0) {
        mask >>= 1;
        ++i;
    }
    return i;
#endif
}

#if TOOLS_SIMD && defined(__SSE2__)
#include <emmintrin.h>

struct Chunk {
    __m128i v;
};
static_assert(sizeof(__m128i) == kChunkSize, "a chunk is one vector");

inline Chunk load_chunk(const char* p)
{
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))};
}

inline void store_chunk(char* dest, Chunk c)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), c.v);
}

// Bytes whose signed value is below `bound`.
inline unsigned below_mask(Chunk c, signed char bound)
{
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(_mm_set1_epi8(bound), c.v)));
}

inline unsigned equal_mask(Chunk c, char byte)
{
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(c.v, _mm_set1_epi8(byte))));
}

// Bytes equal to either value: one mask taken from both compares.
inline unsigned equal_either_mask(Chunk c, char a, char b)
{
    __m128i either =
        _mm_or_si128(_mm_cmpeq_epi8(c.v, _mm_set1_epi8(a)), _mm_cmpeq_epi8(c.v, _mm_set1_epi8(b)));
    return static_cast<unsigned>(_mm_movemask_epi8(either));
}

#else

struct Chunk {
    char b[kChunkSize];
};

inline Chunk load_chunk(const char* p)
{
    Chunk c;
    memcpy(c.b, p, kChunkSize);
    return c;
}

inline void store_chunk(char* dest, Chunk c) { memcpy(dest, c.b, kChunkSize); }

inline unsigned below_mask(Chunk c, signed char bound)
{
    unsigned mask = 0;
    for (size_t i = 0; i < kChunkSize; ++i)
        mask |= static_cast<unsigned>(static_cast<signed char>(c.b[i]) < bound) << i;
    return mask;
}

inline unsigned equal_mask(Chunk c, char byte)
{
    unsigned mask = 0;
    for (size_t i = 0; i < kChunkSize; ++i)
        mask |= static_cast<unsigned>(c.b[i] == byte) << i;
    return mask;
}

inline unsigned equal_either_mask(Chunk c, char a, char b)
{
    return equal_mask(c, a) | equal_mask(c, b);
}

#endif
