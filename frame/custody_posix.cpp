// The fresh file that replaces an output on Linux: its exclusive creation
// under the signal guard, the previous output's custody, and the rename.
#include "platform.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "signal_guard_posix.h"

uint64_t name_entropy()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint64_t>(now.tv_nsec) ^ static_cast<uint64_t>(now.tv_sec) << 30 ^
           static_cast<uint64_t>(getpid()) << 20;
}

// Reads the attribute `name` of `like` into a fresh block sized by what the
// system reports, and sets it on `fd`. A value that grows between the two
// calls is asked for again.
static bool copy_attribute(int fd, const char* like, const char* name)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = getxattr(like, name, nullptr, 0);
        if (size < 0) return errno == ENODATA; // gone since it was listed
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

// Extended attributes carry ACLs among others. Every one is copied, or the
// copy fails: a replacement that lost an ACL entry would open the file to
// users it was closed to. The list is read into a block of the size the
// system reports; a list too long to be read at all fails the copy.
static bool copy_attributes(int fd, const char* like)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = listxattr(like, nullptr, 0);
        if (size < 0) return errno == ENOTSUP; // a file system without them
        if (size == 0) return true;
        auto* names = static_cast<char*>(malloc(static_cast<size_t>(size)));
        if (names == nullptr) return false;
        ssize_t listed = listxattr(like, names, static_cast<size_t>(size));
        int error = errno;
        bool copied = listed >= 0;
        for (ssize_t at = 0; copied && at < listed;) {
            const char* name = names + at;
            size_t length = strnlen(name, static_cast<size_t>(listed - at));
            copied = length < static_cast<size_t>(listed - at) && copy_attribute(fd, like, name);
            at += static_cast<ssize_t>(length) + 1;
        }
        free(names);
        if (listed >= 0) return copied;
        if (error != ERANGE) return false; // E2BIG: longer than any list can be
    }
    return false;
}

// The fresh file takes over the previous output's custody. The bits and the
// attributes come first, while the file is still this user's: once it
// belongs to another, setting them needs the file-owner capability, which
// some containers take from root. A file with an ACL shows its mask in the
// group bits: the ACL copied after them puts the owning group's own bits
// back. Root may then give the owner and the group, anyone else the group
// where they belong to it; otherwise the file stays theirs.
static bool take_custody(int fd, const char* like, const struct stat& previous)
{
    if (fchmod(fd, previous.st_mode & 0777) != 0 || !copy_attributes(fd, like)) return false;
    if (fchown(fd, previous.st_uid, previous.st_gid) != 0) {
        int owned = fchown(fd, static_cast<uid_t>(-1), previous.st_gid);
        (void)owned;
    }
    return true;
}

// The creation and the guard happen with the signals held back, so that no
// signal can fall between them. Until it has the previous output's custody
// the fresh file is open to this user alone.
FILE* create_temporary(const char* name, const char* like, TemporaryFault* fault)
{
    *fault = TemporaryFault::NotMade;
    if (strlen(name) >= kPathCapacity) return nullptr;
    struct stat previous;
    bool replacing = stat(like, &previous) == 0 && S_ISREG(previous.st_mode);
    sigset_t held;
    sigset_t before;
    guarded_signals(&held);
    if (sigprocmask(SIG_BLOCK, &held, &before) != 0) return nullptr;
    // An exclusive creation never follows a link that has the name.
    int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
    if (fd < 0 && errno == EEXIST) *fault = TemporaryFault::NameTaken;
    if (fd >= 0) guard_temporary(name);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) return nullptr;
    FILE* file = nullptr;
    bool custody = !replacing || take_custody(fd, like, previous);
    if (custody) file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
        unlink(name);
        drop_temporary();
        if (!custody) *fault = TemporaryFault::Custody;
        return nullptr;
    }
    *fault = TemporaryFault::None;
    return file;
}

bool replace_file(const char* from, const char* to)
{
    hold_if_asked_once_replaced();
    return rename(from, to) == 0;
}
