// Blocks that hold a whole input file or a whole output.
#include "block.h"

#include <cstdlib>

#include "platform.h"

// A block that fills half a huge page or more asks for huge pages: a 2 MB
// light list then costs one fault and one clear instead of a fault for each
// small page, and its run takes 0.89 of the time. Smaller blocks (a 512 x 512
// texture's) gain less than a tenth, and take plain memory. So do blocks of
// 64 MiB and more: fresh huge pages that large are often cleared slowly (on a
// virtual machine the host may have to back each again), and a 8192 x 8192
// texture took 1.27 times as long with them, at times twice as long.
constexpr size_t kHugePagesFrom = kHugePage / 2;
constexpr size_t kHugePagesBelow = size_t{64} << 20;

unsigned char* alloc_block(size_t size)
{
    bool huge = size >= kHugePagesFrom && size < kHugePagesBelow;
    unsigned char* data = huge ? alloc_huge_pages(size) : nullptr;
    return data != nullptr ? data : static_cast<unsigned char*>(malloc(size == 0 ? 1 : size));
}

// Releasing changes the block, so the pointer is not to const.
// cppcheck-suppress [constParameter, constParameterPointer]
void free_block(unsigned char* data) { free(data); }
