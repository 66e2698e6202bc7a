// An output's folder on macOS and the BSDs: its append-only and immutable
// flags, as st_flags holds them (chflags sappnd, uappnd, schg, uchg).
#include "folder.h"

#include <sys/stat.h>

bool folder_is_frozen(int folder)
{
    struct stat st;
    constexpr unsigned kFrozen = SF_APPEND | UF_APPEND | SF_IMMUTABLE | UF_IMMUTABLE;
    return fstat(folder, &st) == 0 && (st.st_flags & kFrozen) != 0;
}
