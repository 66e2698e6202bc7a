// Where an output lands: the link chain followed as the kernel would, the
// rule for names in shared folders, and the output's folder, held open.
#include "platform.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "folder.h"
#include "frame_config.h"
#include "paths_posix.h"

// The kernel's rule for sticky world-writable folders (its protected_symlinks,
// protected_fifos and protected_regular): a name there that belongs neither
// to the user nor to the folder's owner may have been planted by another
// user, to lead the output to a file of theirs or of the user's, or into a
// FIFO they read. Such a name is used for nothing, whatever it is. False
// too when the folder cannot be looked at.
static bool planted(const char* path)
{
    struct stat entry;
    char dir[kPathCapacity];
    if (lstat(path, &entry) != 0) return false; // nothing there to have been planted
    struct stat holder;
    if (!directory_of(path, dir) || stat(dir, &holder) != 0) return true;
#if TOOLS_HAVE_S_ISVTX
    bool shared = (holder.st_mode & S_ISVTX) != 0 && (holder.st_mode & S_IWOTH) != 0;
#else
    bool shared = false; // a system without sticky folders
#endif
    return shared && entry.st_uid != geteuid() && entry.st_uid != holder.st_uid;
}

// True when the link `link` leads somewhere other than what its text
// `text` names: a link the kernel makes up for an open descriptor
// (/proc/PID/fd/N, where /dev/stdout leads), whose text is no file name
// ("pipe:[N]", "/x (deleted)").
static bool made_up(const char* link, const char* text)
{
    struct stat reached;
    struct stat named;
    if (stat(link, &reached) != 0) return false; // it leads nowhere yet: a name to make
    return stat(text, &named) != 0 || named.st_dev != reached.st_dev ||
           named.st_ino != reached.st_ino;
}

// Follows the chain of links from `place->target`, checking each link on
// the way. Gives the final name in `place->target`, or opens what a made-up
// link leads to in place. False when the chain is refused.
static bool follow_links(OutputPlace* place)
{
    char* target = place->target;
    char text[kPathCapacity];
    for (int followed = 0;; ++followed) {
        ssize_t got = readlink(target, text, sizeof text);
        if (got < 0) return !planted(target);     // not a link, or nothing there: the name itself
        if (followed == kLinkLimit) return false; // the kernel's ELOOP
        size_t n = static_cast<size_t>(got);
        if (n >= sizeof text || planted(target)) return false;
        text[n] = '\0';
        // A relative link is read from the directory that holds it.
        size_t dir = text[0] == '/' ? 0 : directory_length(target);
        if (dir + n >= kPathCapacity) return false;
        char next[kPathCapacity];
        memcpy(next, target, dir);
        memcpy(next + dir, text, n + 1);
        if (made_up(target, next)) {
            place->in_place = open_in_place(target, true);
            return place->in_place != nullptr;
        }
        memcpy(target, next, dir + n + 1);
    }
}

// The folder is opened for lookups only where the system can, so that a
// folder its user may write but not read (0300, 0333) serves as well.
#if TOOLS_HAVE_O_PATH
constexpr int kFolderOpen = O_PATH | O_DIRECTORY | O_CLOEXEC;
#elif TOOLS_HAVE_O_SEARCH
constexpr int kFolderOpen = O_SEARCH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderOpen = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

bool find_output(const char* path, OutputPlace* place)
{
    *place = OutputPlace{};
    size_t length = strlen(path);
    if (length >= kPathCapacity) return false;
    memcpy(place->target, path, length + 1);
    if (!follow_links(place)) return false;
    if (place->in_place != nullptr) return true;
    struct stat st;
    if (stat(place->target, &st) == 0 && !S_ISREG(st.st_mode)) {
        // A device, a FIFO or a socket carries the name without being a file on disk.
        place->in_place = S_ISDIR(st.st_mode) ? nullptr : open_in_place(place->target, false);
        return place->in_place != nullptr;
    }
    // A move would replace a file the user may not write; a fresh file in an
    // append-only folder could be neither moved nor removed.
    char dir[kPathCapacity];
    bool writable = access(place->target, W_OK) == 0 || errno == ENOENT;
    if (!writable || !directory_of(place->target, dir)) return false;
    place->name = place->target + directory_length(place->target);
    place->folder = open(dir, kFolderOpen);
    if (place->folder >= 0 && !folder_is_frozen(place->folder)) return true;
    discard_replacement(place);
    return false;
}
