// Sixteen bytes of a text at a time, as bit masks: bit i stands for byte i.
// A vector body serves where the processor has SSE2 and TOOLS_SIMD is on;
// the portable body states the same classes a byte at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

constexpr size_t kChunkSize = 16;

// Bytes are classed by their signed value: zero ends the text, anything up
// to the space separates (so do all bytes from 0x80 up), the rest are
// ordinary characters.
inline bool is_ordinary(char c) { return static_cast<signed char>(c) > ' '; }

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

inline Chunk load_chunk(const char* p)
{
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))};
}

inline void store_chunk(char* dest, Chunk c)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), c.v);
}

// Signed compare, as is_ordinary: zero and separators.
inline unsigned not_ordinary_mask(Chunk c)
{
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(_mm_set1_epi8(' ' + 1), c.v)));
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

inline unsigned not_ordinary_mask(Chunk c)
{
    unsigned mask = 0;
    for (size_t i = 0; i < kChunkSize; ++i)
        mask |= static_cast<unsigned>(!is_ordinary(c.b[i])) << i;
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
