// Large blocks in huge pages, asked for with Linux's madvise hint.
#include "platform.h"

#include <cstdlib>

#include <sys/mman.h>

// The block is whole huge pages on a huge page's boundary, so that its last,
// partly used page can be a huge one too. The hint is only a hint: where the
// system declines it, the pages are small ones.
unsigned char* alloc_huge_pages(size_t size)
{
    size_t whole = (size + kHugePage - 1) / kHugePage * kHugePage;
    void* data = nullptr;
    if (posix_memalign(&data, kHugePage, whole) != 0) return nullptr;
    madvise(data, whole, MADV_HUGEPAGE);
    return static_cast<unsigned char*>(data);
}
