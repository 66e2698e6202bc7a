// Extended attributes on macOS, and its ACLs, which are kept apart from them
// (ACL_TYPE_EXTENDED). Links are never followed.
#include "attributes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/acl.h>

#include "darwin_xattr.h"

// A list that grows between the two calls is asked for again.
char* attribute_names(int fd, const char* path, ssize_t* length)
{
    *length = -1;
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = path != nullptr ? listxattr(path, nullptr, 0, XATTR_NOFOLLOW)
                                       : flistxattr(fd, nullptr, 0, 0);
        if (size <= 0) {
            if (size == 0 || errno == ENOTSUP) *length = 0;
            return nullptr;
        }
        auto* names = static_cast<char*>(malloc(static_cast<size_t>(size)));
        if (names == nullptr) return nullptr;
        ssize_t listed = path != nullptr
                             ? listxattr(path, names, static_cast<size_t>(size), XATTR_NOFOLLOW)
                             : flistxattr(fd, names, static_cast<size_t>(size), 0);
        if (listed >= 0) {
            *length = listed;
            return names;
        }
        int error = errno;
        free(names);
        if (error != ERANGE) return nullptr;
    }
    return nullptr;
}

ssize_t get_attribute(const char* path, const char* name, void* value, size_t size)
{
    return getxattr(path, name, size == 0 ? nullptr : value, size, 0, XATTR_NOFOLLOW);
}

bool set_attribute(int fd, const char* name, const void* value, size_t size)
{
    return fsetxattr(fd, name, value, size, 0, 0) == 0;
}

bool remove_attribute(int fd, const char* name) { return fremovexattr(fd, name, 0) == 0; }

bool attribute_missing(int error) { return error == ENOATTR; }

// The system's own attributes (protection of system files) are its to set.
bool is_systems(const char* name) { return strncmp(name, "com.apple.system.", 17) == 0; }

// A new file inherits entries of its folder's ACL; the replacement gets
// exactly the previous output's, an empty one where it had none.
bool copy_acl(int fd, const char* like)
{
    acl_t acl = acl_get_file(like, ACL_TYPE_EXTENDED);
    if (acl == nullptr && errno != ENOENT) return false;
    if (acl == nullptr) acl = acl_init(0);
    bool copied = acl != nullptr && acl_set_fd_np(fd, acl, ACL_TYPE_EXTENDED) == 0;
    if (acl != nullptr) acl_free(acl);
    return copied;
}
