// The frame's system interface on Linux and other POSIX systems.
#include "platform.h"

#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

static FileKind kind_of(const struct stat& st)
{
    if (S_ISREG(st.st_mode)) return FileKind::Regular;
    if (S_ISDIR(st.st_mode)) return FileKind::Directory;
    return FileKind::Other;
}

FileKind path_kind(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 ? kind_of(st) : FileKind::Missing;
}

FileKind entry_kind(const char* path)
{
    struct stat st;
    return lstat(path, &st) == 0 ? kind_of(st) : FileKind::Missing;
}

FileKind stream_kind(FILE* file)
{
    struct stat st;
    return fstat(fileno(file), &st) == 0 ? kind_of(st) : FileKind::Missing;
}

bool same_file(const char* a, const char* b)
{
    struct stat sa;
    struct stat sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

int64_t stream_size(FILE* file)
{
    off_t here = ftello(file);
    if (here < 0 || fseeko(file, 0, SEEK_END) != 0) return -1;
    off_t size = ftello(file);
    if (fseeko(file, here, SEEK_SET) != 0) return -1;
    return static_cast<int64_t>(size);
}

unsigned char* map_pages(size_t before, size_t length, size_t alignment, void** start,
                         size_t* total)
{
    // Map more than needed, then give back the parts below and above the
    // aligned range, so that the kernel can back it with huge pages.
    size_t span = before + length + alignment;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    uintptr_t first = reinterpret_cast<uintptr_t>(raw);
    uintptr_t aligned = (first + before + alignment - 1) & ~(uintptr_t{alignment} - 1);
    uintptr_t keep = aligned - before;
    if (keep > first) munmap(raw, keep - first);
    uintptr_t end = aligned + length;
    uintptr_t span_end = first + span;
    if (span_end > end) munmap(reinterpret_cast<void*>(end), span_end - end);
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
#endif
    *start = reinterpret_cast<void*>(keep);
    *total = before + length;
    return reinterpret_cast<unsigned char*>(aligned);
}

void unmap_pages(void* start, size_t total) { munmap(start, total); }

void* alloc_aligned(size_t alignment, size_t size)
{
    void* p = nullptr;
    return posix_memalign(&p, alignment, size == 0 ? 1 : size) == 0 ? p : nullptr;
}

void free_aligned(void* p) { free(p); }
