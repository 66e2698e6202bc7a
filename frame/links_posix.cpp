// Where an output finally lands on Linux: the link chain, the kernel's rule
// for links in shared directories, and directories that take no new names.
#include "platform.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

size_t directory_length(const char* path)
{
    const char* slash = strrchr(path, '/');
    return slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
}

// The directory that holds `path`, "." for a bare name, into `dir` of
// kPathCapacity bytes; false when it does not fit.
static bool directory_of(const char* path, char* dir)
{
    size_t length = directory_length(path);
    if (length >= kPathCapacity) return false;
    if (length == 0) {
        memcpy(dir, ".", 2);
    } else {
        memcpy(dir, path, length);
        dir[length] = '\0';
    }
    return true;
}

// The kernel's rule for links in a sticky world-writable directory: such a
// link is followed only when it belongs to the user who follows it or to
// the directory's owner. Applied here because the program reads the links
// itself and renames onto their target, where the kernel never looks.
static bool may_follow(const char* link)
{
    struct stat entry;
    char dir[kPathCapacity];
    if (lstat(link, &entry) != 0 || !directory_of(link, dir)) return false;
    struct stat holder;
    if (stat(dir, &holder) != 0) return false;
    bool shared = (holder.st_mode & S_ISVTX) != 0 && (holder.st_mode & S_IWOTH) != 0;
    return !shared || entry.st_uid == geteuid() || entry.st_uid == holder.st_uid;
}

bool final_target(const char* path, char* target, size_t size)
{
    size_t length = strlen(path);
    // may_follow copies the target's directory into kPathCapacity bytes.
    if (length >= size || size > kPathCapacity) return false;
    memcpy(target, path, length + 1);
    char link[kPathCapacity];
    for (int followed = 0;; ++followed) {
        ssize_t got = readlink(target, link, sizeof link);
        if (got < 0) return true;                 // not a link, or nothing there: the name itself
        if (followed == kLinkLimit) return false; // the kernel's ELOOP
        size_t n = static_cast<size_t>(got);
        if (n >= sizeof link) return false;
        if (!may_follow(target)) return false;
        // A relative link is read from the directory that holds it.
        size_t dir = link[0] == '/' ? 0 : directory_length(target);
        if (dir + n >= size) return false;
        memcpy(target + dir, link, n);
        target[dir + n] = '\0';
    }
}

bool directory_is_frozen(const char* path)
{
    char dir[kPathCapacity];
    if (!directory_of(path, dir)) return false;
    int fd = open(dir, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false; // then nothing can be made there either
    int flags = 0;
    // File systems without such flags refuse the request: nothing is frozen.
    bool frozen =
        ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
    close(fd);
    return frozen;
}

bool may_write(const char* path) { return access(path, W_OK) == 0 || errno == ENOENT; }
