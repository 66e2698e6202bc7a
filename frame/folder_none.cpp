// An output's folder on a system that keeps no append-only or immutable
// flags: none is frozen.
#include "folder.h"

bool folder_is_frozen(int /*folder*/) { return false; }
