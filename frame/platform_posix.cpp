// The frame's system interface on Linux and other POSIX systems.
#include "platform.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/mman.h>
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

FileKind entry_kind(const char* path)
{
    struct stat st;
    return lstat(path, &st) == 0 ? kind_of(st) : FileKind::Missing;
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

unsigned char* map_pages(size_t before, size_t length, size_t alignment, bool huge, void** start,
                         size_t* total)
{
    // Map more than needed, then give back the parts below and above the
    // aligned range, so that the kernel can back it with huge pages.
    size_t span = before + length + alignment;
    int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#ifdef MAP_POPULATE
    // One call faults in every small page, far cheaper than a fault each.
    if (!huge) flags |= MAP_POPULATE;
#endif
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    // Offsets from the start of the mapping, so that every pointer below is
    // derived from `raw` itself.
    auto* base = static_cast<unsigned char*>(raw);
    uintptr_t first = reinterpret_cast<uintptr_t>(raw);
    size_t lead = static_cast<size_t>(
        ((first + before + alignment - 1) & ~(uintptr_t{alignment} - 1)) - first - before);
    unsigned char* keep = base + lead;
    unsigned char* aligned = keep + before;
    if (lead > 0) munmap(base, lead);
    size_t trail = span - lead - before - length;
    if (trail > 0) munmap(aligned + length, trail);
#ifdef MADV_HUGEPAGE
    if (huge) madvise(aligned, length, MADV_HUGEPAGE);
#endif
    *start = keep;
    *total = before + length;
    return aligned;
}

void unmap_pages(void* start, size_t total) { munmap(start, total); }

void* alloc_aligned(size_t alignment, size_t size)
{
    void* p = nullptr;
    return posix_memalign(&p, alignment, size == 0 ? 1 : size) == 0 ? p : nullptr;
}

void free_aligned(void* p) { free(p); }

size_t directory_length(const char* path)
{
    const char* slash = strrchr(path, '/');
    return slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
}

bool final_target(const char* path, char* target, size_t size)
{
    size_t length = strlen(path);
    if (length >= size) return false;
    memcpy(target, path, length + 1);
    char link[kPathCapacity];
    for (int depth = 0; depth < 40; ++depth) { // the system's own limit on link chains
        ssize_t got = readlink(target, link, sizeof link);
        if (got < 0) return true; // not a link, or nothing there: the name itself
        size_t n = static_cast<size_t>(got);
        if (n >= sizeof link) return false;
        // A relative link is read from the directory that holds it.
        size_t dir = link[0] == '/' ? 0 : directory_length(target);
        if (dir + n >= size) return false;
        memcpy(target + dir, link, n);
        target[dir + n] = '\0';
    }
    return false;
}

bool may_write(const char* path) { return access(path, W_OK) == 0 || errno == ENOENT; }

uint64_t name_entropy()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint64_t>(now.tv_nsec) ^ static_cast<uint64_t>(now.tv_sec) << 30 ^
           static_cast<uint64_t>(getpid()) << 20;
}

// The temporary file a signal must remove, in storage the handler can read.
static const int kGuardedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kGuardedCount = sizeof kGuardedSignals / sizeof kGuardedSignals[0];
static char g_temporary[kPathCapacity];
static volatile sig_atomic_t g_temporary_live = 0;
static struct sigaction g_previous[kGuardedCount];
static bool g_replaced[kGuardedCount];

// Only async-signal-safe calls: remove the file, then die of the same
// signal (it is delivered once the handler returns), so that the shell and
// make see the interruption.
static void remove_and_die(int sig)
{
    if (g_temporary_live != 0) unlink(g_temporary);
    g_temporary_live = 0;
    signal(sig, SIG_DFL);
    raise(sig);
}

// A signal ignored by whoever started the program stays ignored.
static void guard_temporary(const char* name)
{
    memcpy(g_temporary, name, strlen(name) + 1);
    g_temporary_live = 1;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = remove_and_die;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kGuardedCount; ++i) {
        g_replaced[i] = sigaction(kGuardedSignals[i], nullptr, &g_previous[i]) == 0 &&
                        g_previous[i].sa_handler != SIG_IGN &&
                        sigaction(kGuardedSignals[i], &action, nullptr) == 0;
    }
}

void drop_temporary()
{
    for (int i = 0; i < kGuardedCount; ++i) {
        if (g_replaced[i]) sigaction(kGuardedSignals[i], &g_previous[i], nullptr);
        g_replaced[i] = false;
    }
    g_temporary_live = 0;
}

// The creation and the guard happen with the signals held back, so that no
// interruption can fall between them.
FILE* create_temporary(const char* name, const char* like, bool* exists)
{
    *exists = false;
    if (strlen(name) >= kPathCapacity) return nullptr;
    struct stat st;
    bool copy_mode = stat(like, &st) == 0 && S_ISREG(st.st_mode);
    mode_t mode = copy_mode ? (st.st_mode & 0777) : 0666;
    sigset_t held;
    sigset_t before;
    sigemptyset(&held);
    for (int sig : kGuardedSignals)
        sigaddset(&held, sig);
    if (sigprocmask(SIG_BLOCK, &held, &before) != 0) return nullptr;
    int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    *exists = fd < 0 && errno == EEXIST;
    if (fd >= 0) guard_temporary(name);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) return nullptr;
    // The umask applies to a new output, not to the bits an old one had.
    FILE* file = nullptr;
    if (!copy_mode || fchmod(fd, mode) == 0) file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
        unlink(name);
        drop_temporary();
    }
    return file;
}

bool replace_file(const char* from, const char* to) { return rename(from, to) == 0; }

FILE* open_in_place(const char* path)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    // Writes wait as usual once the open has not.
    int flags = fcntl(fd, F_GETFL);
    FILE* file = nullptr;
    if (flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) file = fdopen(fd, "wb");
    if (file == nullptr) close(fd);
    return file;
}

void survive_failed_writes()
{
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}
