// Extended attributes on FreeBSD (the user namespace; the system namespace
// is the system's), and its ACLs, which are kept apart from them: NFSv4
// ACLs or POSIX.1e ones, as the file system has.
#include "attributes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/acl.h>
#include <sys/extattr.h>
#include <unistd.h>

// extattr lists each name after a byte giving its length; the names are
// given here each ended by a zero byte instead, in the same room.
char* attribute_names(int fd, const char* path, ssize_t* length)
{
    *length = -1;
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = path != nullptr ? extattr_list_link(path, EXTATTR_NAMESPACE_USER, nullptr, 0)
                                       : extattr_list_fd(fd, EXTATTR_NAMESPACE_USER, nullptr, 0);
        if (size <= 0) {
            if (size == 0 || errno == EOPNOTSUPP) *length = 0;
            return nullptr;
        }
        auto* names = static_cast<char*>(malloc(static_cast<size_t>(size)));
        if (names == nullptr) return nullptr;
        ssize_t listed =
            path != nullptr
                ? extattr_list_link(path, EXTATTR_NAMESPACE_USER, names, static_cast<size_t>(size))
                : extattr_list_fd(fd, EXTATTR_NAMESPACE_USER, names, static_cast<size_t>(size));
        for (ssize_t at = 0; at < listed;) {
            auto n = static_cast<ssize_t>(static_cast<unsigned char>(names[at]));
            if (at + 1 + n > listed) break;
            memmove(names + at, names + at + 1, static_cast<size_t>(n));
            names[at + n] = '\0';
            at += n + 1;
        }
        if (listed >= 0) {
            *length = listed;
            return names;
        }
        free(names);
    }
    return nullptr;
}

ssize_t get_attribute(const char* path, const char* name, void* value, size_t size)
{
    return extattr_get_link(path, EXTATTR_NAMESPACE_USER, name, size == 0 ? nullptr : value, size);
}

bool set_attribute(int fd, const char* name, const void* value, size_t size)
{
    return extattr_set_fd(fd, EXTATTR_NAMESPACE_USER, name, value, size) ==
           static_cast<ssize_t>(size);
}

bool remove_attribute(int fd, const char* name)
{
    return extattr_delete_fd(fd, EXTATTR_NAMESPACE_USER, name) == 0;
}

bool attribute_missing(int error) { return error == ENOATTR; }

bool is_systems(const char* /*name*/) { return false; }

// A new file inherits entries of its folder's default ACL; the replacement
// gets exactly the previous output's. A file system without ACLs has
// nothing to copy.
bool copy_acl(int fd, const char* like)
{
    acl_type_t type = lpathconf(like, _PC_ACL_NFS4) > 0 ? ACL_TYPE_NFS4 : ACL_TYPE_ACCESS;
    acl_t acl = acl_get_link_np(like, type);
    if (acl == nullptr) return errno == EOPNOTSUPP || errno == EINVAL;
    bool copied = acl_set_fd_np(fd, acl, type) == 0;
    acl_free(acl);
    return copied;
}
