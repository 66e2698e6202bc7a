// Names for temporary files beside an output.
#pragma once

#include <cstddef>
#include <cstdint>

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
