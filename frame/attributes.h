// Extended attributes, and ACLs where a system keeps them apart, in the one
// shape the custody of a replaced output uses (custody_posix.cpp). One source
// per system's calls answers: attributes_linux.cpp, attributes_darwin.cpp,
// attributes_freebsd.cpp, and attributes_none.cpp where there are none.
#pragma once

#include <sys/types.h>

// The names of the attributes of `path`, or of the open file `fd` when
// `path` is null, each ended by a zero byte, in a fresh block the caller
// frees (null for none); *length is their bytes, 0 where the file system
// keeps no attributes, -1 on failure.
char* attribute_names(int fd, const char* path, ssize_t* length);

// The value of the attribute `name` of `path` into `value` of `size`
// bytes, or its size when `size` is 0; -1 on failure, with errno.
ssize_t get_attribute(const char* path, const char* name, void* value, size_t size);

// Sets, or removes, the attribute `name` of the open file `fd`.
bool set_attribute(int fd, const char* name, const void* value, size_t size);
bool remove_attribute(int fd, const char* name);

// True for the errno of an attribute that is not there.
bool attribute_missing(int error);

// True for the attributes that belong to the system (security labels,
// capabilities): neither carried over nor taken off.
bool is_systems(const char* name);

// Gives `fd` exactly the ACL of `like`, none where it has none, on systems
// that keep ACLs apart from the attributes; true where there is nothing to
// do.
bool copy_acl(int fd, const char* like);
