// Names for temporary files beside an output.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform.h"

// What a temporary name adds to the output's: two dots, six random symbols
// and ".tmp".
constexpr size_t kTemporaryExtra = 12;

// ".NAME.XXXXXX.tmp" beside `target` (a path, or a bare name), the six
// symbols taken from `random`: hidden, plainly temporary, and with a random
// part no user's file is likely to share. A long NAME is cut, at the start of
// a UTF-8 character, so that the whole stays a name the file system takes.
// False when it does not fit `size` bytes.
bool temporary_name(const char* target, uint64_t random, char* name, size_t size);

// The next of a sequence of random numbers seeded by name_entropy.
uint64_t next_random(uint64_t random);

// How many names with_free_name tries before it gives up.
constexpr int kNameAttempts = 100;

// Calls `make` with fresh temporary names for `target` until it gives
// anything but NameTaken, and gives that: NameTaken when every name was
// taken, NotMade when none fits.
template <typename Make> TemporaryFault with_free_name(const char* target, Make make)
{
    char name[kPathCapacity];
    uint64_t random = name_entropy();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        random = next_random(random);
        if (!temporary_name(target, random >> 16, name, sizeof name))
            return TemporaryFault::NotMade;
        TemporaryFault fault = make(static_cast<const char*>(name));
        if (fault != TemporaryFault::NameTaken) return fault;
    }
    return TemporaryFault::NameTaken;
}
