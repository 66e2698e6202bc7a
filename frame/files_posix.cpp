// What the frame asks of the system about files: their kinds and sizes,
// opening inputs and what is written in place.
#include "platform.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static FileKind kind_of(const struct stat& st)
{
    if (S_ISREG(st.st_mode)) return FileKind::Regular;
    if (S_ISDIR(st.st_mode)) return FileKind::Directory;
    return FileKind::Other;
}

FileKind path_kind(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 ? kind_of(st) : FileKind::Missing;
}

FileKind stream_kind(FILE* file)
{
    struct stat st;
    return fstat(fileno(file), &st) == 0 ? kind_of(st) : FileKind::Missing;
}

bool same_file(const char* a, const char* b)
{
    struct stat sa;
    struct stat sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

int64_t stream_size(FILE* file)
{
    off_t here = ftello(file);
    if (here < 0 || fseeko(file, 0, SEEK_END) != 0) return -1;
    off_t size = ftello(file);
    if (fseeko(file, here, SEEK_SET) != 0) return -1;
    return static_cast<int64_t>(size);
}

// A stream over `fd`, opened with O_NONBLOCK so that the open would not wait
// on a FIFO: reads and writes wait as usual from here on. Closes `fd` and
// gives null when that fails.
static FILE* blocking_stream(int fd, const char* mode)
{
    int flags = fcntl(fd, F_GETFL);
    FILE* file = nullptr;
    if (flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) file = fdopen(fd, mode);
    if (file == nullptr) close(fd);
    return file;
}

FILE* open_in_place(const char* path, bool follow)
{
    int fd = open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    return blocking_stream(fd, "wb");
}

// A regular file under another process's lease refuses an open that may not
// wait; only a regular file has leases, so that open may wait, as any reader
// waits for the holder.
FILE* open_for_reading(const char* path)
{
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EWOULDBLOCK) fd = open(path, O_RDONLY | O_CLOEXEC);
    return fd < 0 ? nullptr : blocking_stream(fd, "rb");
}
