// A system without extended attributes or ACLs: a file's custody is its
// bits, its owner and its group.
#include "attributes.h"

#include <cerrno>

char* attribute_names(int /*fd*/, const char* /*path*/, ssize_t* length)
{
    *length = 0;
    return nullptr;
}

ssize_t get_attribute(const char* /*path*/, const char* /*name*/, void* /*value*/, size_t /*size*/)
{
    errno = ENOTSUP;
    return -1;
}

bool set_attribute(int /*fd*/, const char* /*name*/, const void* /*value*/, size_t /*size*/)
{
    return false;
}

bool remove_attribute(int /*fd*/, const char* /*name*/) { return false; }

bool attribute_missing(int /*error*/) { return false; }

bool is_systems(const char* /*name*/) { return false; }

bool copy_acl(int /*fd*/, const char* /*like*/) { return true; }
