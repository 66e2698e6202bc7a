// Names for temporary files beside an output.
#include "temporary_name.h"

#include <cstring>

#include "platform.h"

static_assert(kNameLimit > kTemporaryExtra, "a temporary name keeps part of the output's");

bool temporary_name(const char* target, uint64_t random, char* name, size_t size)
{
    static const char kSymbols[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    size_t dir = directory_length(target);
    size_t base = strlen(target + dir);
    size_t kept = base < kNameLimit - kTemporaryExtra ? base : kNameLimit - kTemporaryExtra;
    while (kept > 0 && kept < base &&
           (static_cast<unsigned char>(target[dir + kept]) & 0xc0) == 0x80)
        --kept;
    if (dir + kept + kTemporaryExtra >= size) return false;
    memcpy(name, target, dir);
    char* p = name + dir;
    *p++ = '.';
    memcpy(p, target + dir, kept);
    p += kept;
    *p++ = '.';
    for (int i = 0; i < 6; ++i, random /= 36)
        *p++ = kSymbols[random % 36];
    memcpy(p, ".tmp", 5);
    return true;
}

uint64_t next_random(uint64_t random)
{
    return random * 6364136223846793005u + 1442695040888963407u;
}
