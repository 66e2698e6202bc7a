// Large blocks where the system takes no hint for huge pages: plain memory.
#include "platform.h"

unsigned char* alloc_huge_pages(size_t /*size*/) { return nullptr; }
