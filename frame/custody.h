// The custody of a replaced output, as the POSIX output code hands it on
// (custody_posix.cpp).
#pragma once

#include <sys/stat.h>

// The fresh file `fd` takes over the custody of `like`, the output it
// replaces, whose status is `previous`: exactly its bits and its extended
// attributes (ACLs among them) while the file is still this user's, then its
// owner and group where the system allows. False when that cannot be done
// whole.
bool take_custody(int fd, const char* like, const struct stat& previous);
