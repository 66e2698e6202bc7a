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

// Whether a block takes huge pages follows what the kernel reports, not
// one machine's timing, because the cost of a huge page differs by a factor
// of fifty between machines and between runs:
//
// - Where faults in a region that asks for huge pages compact memory
//   themselves (transparent huge page defrag "always", "madvise" or
//   "defer+madvise", Debian's default being "madvise") and too few free
//   2 MiB blocks are on hand, each fault may stall on compaction: hundreds
//   of direct compaction stalls and a quarter of the runs twice as long
//   were seen on such a machine. Huge pages are then taken only when
//   /proc/buddyinfo lists twice the blocks a mapping needs.
// - Where free memory goes back to a hypervisor (a virtio balloon with free
//   page reporting), a free 2 MiB block has usually been handed back, and
//   the host must back it again at the first touch. On the 2-core virtual
//   machine the benchmark runs on (Debian 12 guest, kernel 6.18, THP
//   enabled and defrag "madvise", no compaction stall in any run), touching
//   fresh memory took per 64 MiB: 30 ms in small pages, 3.4 ms in huge pages
//   the host still backed, and 150 to 220 ms in huge pages it had taken
//   back. Blocks freed by the run before are reused while still backed,
//   which is why a 4096 x 4096 texture (16 MiB in, 48 MiB out) converts in
//   0.7 of the I/O floor's time, but blocks as large as an 8192 x 8192
//   texture's (64 MiB in, 192 MiB out) outgrow what such runs leave behind:
//   with huge pages the median of 15 runs was 1.9 times the floor's, its
//   upper quartile 2.1 times. There, blocks from this size on take small
//   pages, faulted in by the mapping itself.
constexpr size_t kLargestHugeBlock = size_t{64} << 20;

// Whether a mapping of `length` bytes asks for huge pages. The kernel's
// report is read at the first large block of the run; the free blocks the
// run itself takes are counted off it.
static bool take_huge_pages(size_t length)
{
    static HugePageReport report = huge_page_report();
    size_t pages = length / kHugePage;
    if (!report.offered) return false;
    if (report.faults_compact && report.free_huge < 2 * pages) return false;
    if (report.host_takes_back && length >= kLargestHugeBlock) return false;
    report.free_huge -= report.free_huge < pages ? report.free_huge : pages;
    return true;
}

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
        bool huge = take_huge_pages(length);
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
