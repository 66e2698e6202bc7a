// An output's folder on Linux: its append-only and immutable attributes, as
// statx reports them.
#include "folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "frame_config.h"

// C libraries older than the call (musl before 1.2.5) lack statx's wrapper
// and type; the kernel's own header and call serve there.
#if TOOLS_HAVE_STATX
static int read_statx(int dir, const char* path, int flags, unsigned mask, struct statx* st)
{
    return statx(dir, path, flags, mask, st);
}
#else
#include <linux/stat.h>
#include <sys/syscall.h>
static int read_statx(int dir, const char* path, int flags, unsigned mask, struct statx* st)
{
    return static_cast<int>(syscall(SYS_statx, dir, path, flags, mask, st));
}
#endif

bool folder_is_frozen(int folder)
{
    struct statx st;
    constexpr unsigned kFrozen = STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE;
    // File systems without such attributes say so in the mask: nothing is frozen.
    return read_statx(folder, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &st) == 0 &&
           (st.stx_attributes & st.stx_attributes_mask & kFrozen) != 0;
}
