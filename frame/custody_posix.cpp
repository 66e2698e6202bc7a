// The custody of a replaced output: permission bits, extended attributes and
// ACLs exactly as the previous output had them, then its owner and group.
// The attributes are reached through attributes.h, one source per system.
#include "custody.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/types.h>
#include <unistd.h>

#include "attributes.h"

// Applies `act` to `fd` for each attribute name of the list of `list_path`
// (of `fd` itself when null), leaving the system's own alone; false when
// the list cannot be read or `act` fails for one.
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

static bool take_off(int fd, const char* /*like*/, const char* name)
{
    return remove_attribute(fd, name) || attribute_missing(errno);
}

// Reads the attribute `name` of `like` into a fresh block sized by what the
// system reports, and sets it on `fd`. A value that grows between the two
// calls is asked for again; one gone since it was listed is no loss.
static bool copy_attribute(int fd, const char* like, const char* name)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = get_attribute(like, name, nullptr, 0);
        if (size < 0) return attribute_missing(errno);
        auto* value = static_cast<char*>(malloc(size == 0 ? 1 : static_cast<size_t>(size)));
        if (value == nullptr) return false;
        ssize_t got = get_attribute(like, name, value, static_cast<size_t>(size));
        bool copied = got >= 0 && set_attribute(fd, name, value, static_cast<size_t>(got));
        int error = errno;
        free(value);
        if (got >= 0) return copied;
        if (error != ERANGE) return attribute_missing(error);
    }
    return false;
}

// What the fresh file got at birth (a folder's default ACL, an inherited
// attribute) goes first: a replacement that kept it would open the file to
// users the previous output was closed to. Then the bits and the previous
// output's attributes and ACL, every one or none, while the file is still
// this user's: once it belongs to another, setting them needs the file-owner
// capability, which some containers take from root. A file with a POSIX ACL
// shows its mask in the group bits: the ACL copied after them puts the
// owning group's own bits back. Root may then give the owner and the group,
// anyone else the group where they belong to it; otherwise the file stays
// theirs.
bool take_custody(int fd, const char* like, const struct stat& previous)
{
    if (!each_attribute(fd, nullptr, take_off, like) || fchmod(fd, previous.st_mode & 0777) != 0 ||
        !each_attribute(fd, like, copy_attribute, like) || !copy_acl(fd, like))
        return false;
    if (fchown(fd, previous.st_uid, previous.st_gid) != 0) {
        int owned = fchown(fd, static_cast<uid_t>(-1), previous.st_gid);
        (void)owned;
    }
    return true;
}
