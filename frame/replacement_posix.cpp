// The replacement of an output: made in the output's folder held open,
// without a name where the system allows (nothing is left then, whatever
// ends the run), else under a guarded temporary name; given the output's
// name when complete.
#include "platform.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "custody.h"
#include "folder.h"
#include "signal_guard_posix.h"
#include "temporary_name.h"

uint64_t name_entropy()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint64_t>(now.tv_nsec) ^ static_cast<uint64_t>(now.tv_sec) << 30 ^
           static_cast<uint64_t>(getpid()) << 20;
}

// Whether a previous output is there to replace, and its status. Until it
// has that output's custody, a fresh file is open to this user alone.
static bool previous_output(const OutputPlace* place, struct stat* previous)
{
    return fstatat(place->folder, place->name, previous, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(previous->st_mode);
}

// The fresh file `fd` takes the previous output's custody, if there is one,
// and becomes a stream; on failure `fd` is closed and *fault says why. The
// previous output is read through the folder held open where the system
// shows a way (it did, if the file was made unnamed), else by its path.
static FILE* take_over(const OutputPlace* place, int fd, const struct stat* previous,
                       TemporaryFault* fault)
{
    char in_folder[kPathCapacity];
    bool held = place->unnamed >= 0 &&
                path_in_folder(place->folder, place->name, in_folder, sizeof in_folder);
    bool custody = !place->existed || take_custody(fd, held ? in_folder : place->target, *previous);
    FILE* file = custody ? fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        close(fd);
        *fault = custody ? TemporaryFault::NotMade : TemporaryFault::Custody;
        return nullptr;
    }
    *fault = TemporaryFault::None;
    return file;
}

// The stream owns one descriptor of the unnamed file and the place a second,
// through which the complete file is named after the stream is closed.
FILE* create_unnamed(OutputPlace* place, TemporaryFault* fault)
{
    *fault = TemporaryFault::Unsupported;
    struct stat previous;
    place->existed = previous_output(place, &previous);
    int fd = open_unnamed(place->folder, place->existed ? 0600 : 0666);
    if (fd < 0) return nullptr;
    place->unnamed = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (place->unnamed < 0) {
        close(fd);
        return nullptr;
    }
    FILE* file = take_over(place, fd, &previous, fault);
    if (file == nullptr) {
        close(place->unnamed);
        place->unnamed = -1;
    }
    return file;
}

// The creation and the guard happen with the signals held back, so that no
// signal can fall between them. An exclusive creation never follows a link
// that has the name.
FILE* create_temporary(OutputPlace* place, const char* name, TemporaryFault* fault)
{
    *fault = TemporaryFault::NotMade;
    if (strlen(name) > kNameLimit) return nullptr;
    struct stat previous;
    place->existed = previous_output(place, &previous);
    sigset_t held;
    sigset_t before;
    guarded_signals(&held);
    if (sigprocmask(SIG_BLOCK, &held, &before) != 0) return nullptr;
    int fd = openat(place->folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    place->existed ? 0600 : 0666);
    if (fd < 0 && errno == EEXIST) *fault = TemporaryFault::NameTaken;
    if (fd >= 0) {
        memcpy(place->temporary, name, strlen(name) + 1);
        guard_temporary(place->folder, name);
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) return nullptr;
    return take_over(place, fd, &previous, fault);
}

static void release_place(OutputPlace* place)
{
    drop_temporary();
    if (place->unnamed >= 0) close(place->unnamed);
    if (place->folder >= 0) close(place->folder);
    place->unnamed = -1;
    place->folder = -1;
    place->temporary[0] = '\0';
}

void discard_replacement(OutputPlace* place)
{
    if (place->temporary[0] != '\0') unlinkat(place->folder, place->temporary, 0);
    release_place(place); // an unnamed file goes with its last descriptor
}

// A new output takes its name at once; when the name is there (a previous
// output, or one a concurrent run has just made) the file is linked under
// a hidden name first and moved over it.
static bool name_unnamed(OutputPlace* place)
{
    if (!place->existed && link_unnamed(place->unnamed, place->folder, place->name)) return true;
    if (!place->existed && errno != EEXIST) return false;
    return with_free_name(place->name, [place](const char* hidden) {
               if (link_unnamed(place->unnamed, place->folder, hidden)) {
                   memcpy(place->temporary, hidden, strlen(hidden) + 1);
                   return TemporaryFault::None;
               }
               return errno == EEXIST ? TemporaryFault::NameTaken : TemporaryFault::NotMade;
           }) == TemporaryFault::None;
}

// Only SIGKILL, or a signal the C library keeps for itself, can end the run
// between the link to the hidden name and the move, and so leave that name.
bool place_replacement(OutputPlace* place)
{
    sigset_t held;
    sigset_t before;
    guarded_signals(&held);
    sigprocmask(SIG_BLOCK, &held, &before);
    bool placed = place->unnamed < 0 || name_unnamed(place);
    if (placed && place->temporary[0] != '\0') {
        placed = renameat(place->folder, place->temporary, place->folder, place->name) == 0;
        if (placed) place->temporary[0] = '\0';
    }
    discard_replacement(place);
    if (!hold_once_replaced() || !placed) sigprocmask(SIG_SETMASK, &before, nullptr);
    return placed;
}
