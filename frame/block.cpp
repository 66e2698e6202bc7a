#include "block.h"

#include <cstdint>
#include <cstring>

#include "platform.h"

// Large blocks are backed by huge pages where the system offers them: a
// first write to a fresh small page costs a page fault, and for large
// conversions those faults outweigh the conversion itself.
//
// Builds with AddressSanitizer take plain memory for every block: the
// sanitizer watches only what the allocator hands out, so a mapped block
// would hide a read or write past its end. Builds for valgrind's leak check
// do the same (TOOLS_HUGE_PAGES off), since valgrind cannot see a mapping
// that is never released.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BLOCK_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define BLOCK_SANITIZED 1
#endif

#if defined(BLOCK_SANITIZED) || !TOOLS_HUGE_PAGES
constexpr bool kMapLargeBlocks = false;
#else
constexpr bool kMapLargeBlocks = true;
#endif

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kPage = 4096;

// Blocks from this size on take small pages faulted in by the mapping
// instead of huge pages. Measured on the build machine (a virtual machine,
// 21 to 31 interleaved runs): with huge pages, an 8192 x 8192 texture
// (64 MiB in, 192 MiB out) took three times the I/O floor in about half the
// runs, its upper quartile far above the floor's, while faulting small
// pages in at the mapping beat the floor's median and upper quartile in
// every run; smaller blocks stayed fast in huge pages (a 4096 x 4096
// texture at 0.5 to 0.75 times the floor).
constexpr size_t kLargestHugeBlock = size_t{64} << 20;

// Bookkeeping kept just below each block, so that free_block needs only the
// pointer: what to hand back to the system, and how.
struct BlockHeader {
    void* start;   // what was allocated or mapped
    size_t mapped; // bytes mapped, or 0 for plain memory
};
static_assert(sizeof(BlockHeader) <= kBlockAlignment, "the header fits below the block");

// How many bytes to map for `size`, or 0 when plain memory serves better:
// below one huge page, mapping buys nothing. A last huge page that would be
// nearly full is taken whole, since a few unused bytes cost less than
// hundreds of small-page faults; a shorter tail stays in small pages.
static size_t mapped_length(size_t size)
{
    if (!kMapLargeBlocks) return 0;
    constexpr size_t kNearlyFull = kHugePage - kHugePage / 8;
    size_t tail = size % kHugePage;
    if (size < kHugePage && tail < kNearlyFull) return 0;
    return tail >= kNearlyFull ? size - tail + kHugePage : (size + kPage - 1) & ~(kPage - 1);
}

unsigned char* alloc_block(size_t size)
{
    if (size > SIZE_MAX - kHugePage - kPage) return nullptr;
    BlockHeader header = {nullptr, 0};
    unsigned char* data = nullptr;
    if (size_t length = mapped_length(size); length != 0) {
        // The header takes a small page of its own below the aligned block.
        bool huge = length < kLargestHugeBlock;
        data =
            map_pages(kPage, length, huge ? kHugePage : kPage, huge, &header.start, &header.mapped);
    }
    if (data == nullptr) {
        // The block ends exactly where the allocation does, so that the
        // address sanitizer sees the first byte past it.
        header.start = alloc_aligned(kBlockAlignment, kBlockAlignment + size);
        header.mapped = 0;
        if (header.start == nullptr) return nullptr;
        data = static_cast<unsigned char*>(header.start) + kBlockAlignment;
    }
    memcpy(data - kBlockAlignment, &header, sizeof header);
    return data;
}

// Releasing changes the block, so the pointer is not to const.
// cppcheck-suppress constParameter
void free_block(unsigned char* data)
{
    if (data == nullptr) return;
    BlockHeader header;
    memcpy(&header, data - kBlockAlignment, sizeof header);
    if (header.mapped != 0)
        unmap_pages(header.start, header.mapped);
    else
        free_aligned(header.start);
}
