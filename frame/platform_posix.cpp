// The frame's system interface on Linux and other POSIX systems.
#include "platform.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

// The kernel's rule for links in a sticky world-writable directory: such a
// link is followed only when it belongs to the user who follows it or to
// the directory's owner. Applied here because the program reads the links
// itself and renames onto their target, where the kernel never looks.
static bool may_follow(const char* link, size_t dir_length)
{
    struct stat entry;
    if (lstat(link, &entry) != 0) return false;
    char dir[kPathCapacity];
    if (dir_length == 0) {
        memcpy(dir, ".", 2);
    } else {
        memcpy(dir, link, dir_length);
        dir[dir_length] = '\0';
    }
    struct stat holder;
    if (stat(dir, &holder) != 0) return false;
    bool shared = (holder.st_mode & S_ISVTX) != 0 && (holder.st_mode & S_IWOTH) != 0;
    return !shared || entry.st_uid == geteuid() || entry.st_uid == holder.st_uid;
}

bool final_target(const char* path, char* target, size_t size)
{
    size_t length = strlen(path);
    // may_follow copies a directory part of the target into kPathCapacity.
    if (length >= size || size > kPathCapacity) return false;
    memcpy(target, path, length + 1);
    char link[kPathCapacity];
    for (int followed = 0;; ++followed) {
        ssize_t got = readlink(target, link, sizeof link);
        if (got < 0) return true;                 // not a link, or nothing there: the name itself
        if (followed == kLinkLimit) return false; // the kernel's ELOOP
        size_t n = static_cast<size_t>(got);
        if (n >= sizeof link) return false;
        size_t holder = directory_length(target);
        if (!may_follow(target, holder)) return false;
        // A relative link is read from the directory that holds it.
        size_t dir = link[0] == '/' ? 0 : holder;
        if (dir + n >= size) return false;
        memcpy(target + dir, link, n);
        target[dir + n] = '\0';
    }
}

bool directory_is_frozen(const char* path)
{
    size_t length = directory_length(path);
    char dir[kPathCapacity];
    if (length >= sizeof dir) return false;
    if (length == 0) {
        memcpy(dir, ".", 2);
    } else {
        memcpy(dir, path, length);
        dir[length] = '\0';
    }
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

uint64_t name_entropy()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint64_t>(now.tv_nsec) ^ static_cast<uint64_t>(now.tv_sec) << 30 ^
           static_cast<uint64_t>(getpid()) << 20;
}

// The signals whose default action ends the process, but SIGKILL and SIGSTOP,
// which cannot be caught; the real-time ones are added by guarded_signals.
static const int kEndingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

static void guarded_signals(sigset_t* set)
{
    sigemptyset(set);
    for (int sig : kEndingSignals)
        sigaddset(set, sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig)
        sigaddset(set, sig);
}

// The temporary file a signal must remove, in storage the handler can read.
static char g_temporary[kPathCapacity];
static volatile sig_atomic_t g_temporary_live = 0;
static bool g_guarded = false;
static bool g_hold_once_replaced = false;

// Only async-signal-safe calls: remove the file, then die of the same
// signal (it is delivered once the handler returns), so that the shell and
// make see the interruption. With no file live it does what the default
// action would.
static void remove_and_die(int sig)
{
    if (g_temporary_live != 0) unlink(g_temporary);
    g_temporary_live = 0;
    signal(sig, SIG_DFL);
    raise(sig);
}

// One call a signal installs the handler and reads what it replaces. A
// signal whose action is not the default, ignored by whoever started the
// program or handled by someone else (a sanitizer's crash report), gets
// that action back. The handlers stay once installed, acting as the default
// while no file is live, which spares a second round of calls.
static void guard_temporary(const char* name)
{
    memcpy(g_temporary, name, strlen(name) + 1);
    g_temporary_live = 1;
    if (g_guarded) return;
    g_guarded = true;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = remove_and_die;
    sigemptyset(&action.sa_mask);
    sigset_t set;
    guarded_signals(&set);
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction previous;
        if (sigismember(&set, sig) != 1 || sigaction(sig, &action, &previous) != 0) continue;
        if (previous.sa_handler != SIG_DFL || (previous.sa_flags & SA_SIGINFO) != 0)
            sigaction(sig, &previous, nullptr);
    }
}

void drop_temporary() { g_temporary_live = 0; }

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
    if (g_hold_once_replaced) {
        sigset_t held;
        guarded_signals(&held);
        sigprocmask(SIG_BLOCK, &held, nullptr);
    }
    return rename(from, to) == 0;
}

FILE* open_in_place(const char* path)
{
    int fd = open(path, O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    int flags = fcntl(fd, F_GETFL);
    FILE* file = nullptr;
    // Writes wait as usual once the open has not.
    if (fstat(fd, &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && flags >= 0 &&
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
        file = fdopen(fd, "wb");
    if (file == nullptr) close(fd);
    return file;
}

FILE* open_for_reading(const char* path)
{
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    // Reads of a regular file never wait anyway; the flag only kept the open
    // from waiting for a writer, should the name lead to a FIFO.
    int flags = fcntl(fd, F_GETFL);
    FILE* file = nullptr;
    if (flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) file = fdopen(fd, "rb");
    if (file == nullptr) close(fd);
    return file;
}

void survive_failed_writes()
{
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

// With equal soft and hard limits the kernel ends the run with SIGKILL, which
// no handler sees, where a soft limit below the hard one would first send
// SIGXCPU, which the guard handles. A second less is that chance.
void keep_cpu_limit_catchable()
{
    struct rlimit limit;
    if (getrlimit(RLIMIT_CPU, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur != limit.rlim_max || limit.rlim_cur < 2)
        return;
    limit.rlim_cur -= 1;
    setrlimit(RLIMIT_CPU, &limit);
}

void hold_signals_once_replaced() { g_hold_once_replaced = true; }
