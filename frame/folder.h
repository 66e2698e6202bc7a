// What the output code asks of an output's folder beyond POSIX: facts only
// some systems keep (folder_linux.cpp, folder_bsd.cpp, folder_none.cpp), and
// files made there without a name (unnamed_linux.cpp, unnamed_none.cpp).
// Where a system has no such thing, the answer is "no" and the output code
// takes the POSIX way.
#pragma once

#include <cstddef>

// True when the folder takes no new names for good: append-only or
// immutable. Read from the folder's attributes, without opening it for
// reading, so that a folder its user may write but not read is seen too.
bool folder_is_frozen(int folder);

// A new file in `folder` without a name, open for writing, with `mode` as
// creat gives it; -1 where none can be made, or where it could not be given
// a name later (link_unnamed).
int open_unnamed(int folder, unsigned mode);

// Gives the unnamed file `fd` the name `name` in `folder`; fails with EEXIST
// when the name is taken, as link does.
bool link_unnamed(int fd, int folder, const char* name);

// A path that reaches `name` in `folder` whatever the folder is called now,
// for the calls that take only a path. Only where open_unnamed has given a
// file, which shows that such paths are there. False when it does not fit.
bool path_in_folder(int folder, const char* name, char* out, size_t size);
