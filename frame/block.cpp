#include "block.h"

#include <cstdint>
#include <cstring>

#include "platform.h"

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

constexpr size_t kPage = 4096;
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kSmallestMappedBlock = kHugePage / 8;
constexpr size_t kPopulatedBlock = size_t{64} << 20;

// A fresh small page costs a fault at its first write, and a block of some
// hundred KiB already takes more faults than one huge page costs to clear;
// smaller blocks stay with the allocator. A block is mapped in whole pages,
// so its last, partly used page is still a huge one. The largest blocks
// outgrow the memory that runs before them freed, and fresh huge pages can
// then cost more than small ones (where free memory goes back to a
// hypervisor, the host must back each again), so those are faulted in whole
// by the mapping itself, which costs no more than plain memory. The rule
// reads nothing from the system, so nothing can make a run wait on it.
BlockMapping block_mapping(size_t size)
{
    if (size < kSmallestMappedBlock || size > SIZE_MAX / 2) return {BlockPages::Plain, 0};
    bool populated = size >= kPopulatedBlock;
    size_t page = populated ? kPage : kHugePage;
    return {populated ? BlockPages::Populated : BlockPages::Huge, (size + page - 1) / page * page};
}

// Bookkeeping kept just below each block, so that free_block needs only the
// pointer: what to hand back to the system, and how.
struct BlockHeader {
    void* start;   // what was allocated or mapped
    size_t mapped; // bytes mapped, or 0 for plain memory
};
static_assert(sizeof(BlockHeader) <= kBlockAlignment, "the header fits below the block");

unsigned char* alloc_block(size_t size)
{
    if (size > SIZE_MAX / 2) return nullptr;
    BlockHeader header = {nullptr, 0};
    unsigned char* data = nullptr;
    if (BlockMapping mapping = block_mapping(size); kMapLargeBlocks && mapping.length != 0) {
        // The header takes a small page of its own below the aligned block.
        bool huge = mapping.pages == BlockPages::Huge;
        data = map_pages(kPage, mapping.length, huge ? kHugePage : kPage, huge, &header.start,
                         &header.mapped);
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
// cppcheck-suppress [constParameter, constParameterPointer]
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
