// The folder part of a path, as the POSIX sources of the frame share it
// (paths_posix.cpp holds it, with directory_length of platform.h).
#pragma once

// The directory that holds `path`, "." for a bare name, into `dir` of
// kPathCapacity bytes; false when it does not fit.
bool directory_of(const char* path, char* dir);
