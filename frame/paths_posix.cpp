// The parts of a path as POSIX systems write them: the folder part ends at
// the last slash.
#include "paths_posix.h"

#include <cstring>

#include "platform.h"

size_t directory_length(const char* path)
{
    const char* slash = strrchr(path, '/');
    return slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
}

bool directory_of(const char* path, char* dir)
{
    size_t length = directory_length(path);
    if (length >= kPathCapacity) return false;
    if (length == 0) {
        memcpy(dir, ".", 2);
    } else {
        memcpy(dir, path, length);
        dir[length] = '\0';
    }
    return true;
}
