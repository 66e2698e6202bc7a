// Files made without a name on Linux (O_TMPFILE) in an output's folder,
// named when complete through the descriptor's entry in /proc.
#include "folder.h"

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// "/proc/self/fd/N", the path through which the kernel reaches an open
// descriptor.
static bool descriptor_path(int fd, char* out, size_t size)
{
    int n = snprintf(out, size, "/proc/self/fd/%d", fd);
    return n > 0 && static_cast<size_t>(n) < size;
}

// An unnamed file is named by linking its /proc entry, which any user may do;
// without /proc (a sandbox, a chroot without it) the file could never be
// named, so none is made.
int open_unnamed(int folder, unsigned mode)
{
    int fd = openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, static_cast<mode_t>(mode));
    char path[64];
    struct stat via_proc;
    struct stat direct;
    if (fd >= 0 && descriptor_path(fd, path, sizeof path) && stat(path, &via_proc) == 0 &&
        fstat(fd, &direct) == 0 && via_proc.st_ino == direct.st_ino &&
        via_proc.st_dev == direct.st_dev)
        return fd;
    if (fd >= 0) close(fd);
    return -1;
}

bool link_unnamed(int fd, int folder, const char* name)
{
    char path[64];
    return descriptor_path(fd, path, sizeof path) &&
           linkat(AT_FDCWD, path, folder, name, AT_SYMLINK_FOLLOW) == 0;
}

bool path_in_folder(int folder, const char* name, char* out, size_t size)
{
    int n = snprintf(out, size, "/proc/self/fd/%d/%s", folder, name);
    return n > 0 && static_cast<size_t>(n) < size;
}
