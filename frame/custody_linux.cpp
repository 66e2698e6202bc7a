// The custody of a replaced output on Linux: permission bits, extended
// attributes (ACLs among them) exactly as the previous output had them, then
// its owner and group.
#include "custody.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

// Security labels and capabilities are the system's to give: the kernel or
// a security module sets them at birth, and setting them takes privileges
// beyond a file's owner. They are neither carried over nor taken off.
static bool is_systems(const char* name) { return strncmp(name, "security.", 9) == 0; }

// The names of the attributes of `path`, or of `fd` when `path` is null,
// in a fresh block of the size the system reports; *length is their bytes,
// 0 on a file system without attributes, -1 on failure.
static char* attribute_names(int fd, const char* path, ssize_t* length)
{
    *length = -1;
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = path != nullptr ? listxattr(path, nullptr, 0) : flistxattr(fd, nullptr, 0);
        if (size <= 0) {
            if (size == 0 || errno == ENOTSUP) *length = 0;
            return nullptr;
        }
        auto* names = static_cast<char*>(malloc(static_cast<size_t>(size)));
        if (names == nullptr) return nullptr;
        ssize_t listed = path != nullptr ? listxattr(path, names, static_cast<size_t>(size))
                                         : flistxattr(fd, names, static_cast<size_t>(size));
        if (listed >= 0) {
            *length = listed;
            return names;
        }
        int error = errno;
        free(names);
        if (error != ERANGE) return nullptr; // E2BIG: longer than any list can be
    }
    return nullptr;
}

// Applies `act` to `fd` for each attribute name of the list of `list_path`
// (of `fd` itself when null); false when the list cannot be read or `act`
// fails for one.
using AttributeAction = bool (*)(int fd, const char* like, const char* name);
static bool each_attribute(int fd, const char* list_path, AttributeAction act, const char* like)
{
    ssize_t length = 0;
    char* names = attribute_names(fd, list_path, &length);
    bool ok = length >= 0;
    for (ssize_t at = 0; ok && at < length;) {
        const char* name = names + at;
        size_t n = strnlen(name, static_cast<size_t>(length - at));
        ok = n < static_cast<size_t>(length - at) && (is_systems(name) || act(fd, like, name));
        at += static_cast<ssize_t>(n) + 1;
    }
    free(names);
    return ok;
}

static bool remove_attribute(int fd, const char* /*like*/, const char* name)
{
    return fremovexattr(fd, name) == 0 || errno == ENODATA;
}

// Reads the attribute `name` of `like` into a fresh block sized by what the
// system reports, and sets it on `fd`. A value that grows between the two
// calls is asked for again; one gone since it was listed is no loss.
static bool copy_attribute(int fd, const char* like, const char* name)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = getxattr(like, name, nullptr, 0);
        if (size < 0) return errno == ENODATA;
        auto* value = static_cast<char*>(malloc(size == 0 ? 1 : static_cast<size_t>(size)));
        if (value == nullptr) return false;
        ssize_t got = getxattr(like, name, value, static_cast<size_t>(size));
        bool copied = got >= 0 && fsetxattr(fd, name, value, static_cast<size_t>(got), 0) == 0;
        int error = errno;
        free(value);
        if (got >= 0) return copied;
        if (error != ERANGE) return error == ENODATA;
    }
    return false;
}

// What the fresh file got at birth (a folder's default ACL, an inherited
// attribute) goes first: a replacement that kept it would open the file to
// users the previous output was closed to. Then the bits and the previous
// output's attributes, every one or none, while the file is still this
// user's: once it belongs to another, setting them needs the file-owner
// capability, which some containers take from root. A file with an ACL
// shows its mask in the group bits: the ACL copied after them puts the
// owning group's own bits back. Root may then give the owner and the group,
// anyone else the group where they belong to it; otherwise the file stays
// theirs.
bool take_custody(int fd, const char* like, const struct stat& previous)
{
    if (!each_attribute(fd, nullptr, remove_attribute, like) ||
        fchmod(fd, previous.st_mode & 0777) != 0 || !each_attribute(fd, like, copy_attribute, like))
        return false;
    if (fchown(fd, previous.st_uid, previous.st_gid) != 0) {
        int owned = fchown(fd, static_cast<uid_t>(-1), previous.st_gid);
        (void)owned;
    }
    return true;
}
