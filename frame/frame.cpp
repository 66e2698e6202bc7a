#include "frame.h"

#include <cstdlib>
#include <cstring>
#include <new>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

char g_input_name[kNameSize];
char g_output_name[kNameSize];

bool make_file_names(int argc, const char* const* argv, const ToolProfile& profile)
{
    if (argc != 2) {
        fputs(profile.banner, stdout);
        fputs(profile.usage, stdout);
        return false;
    }
    size_t length = strlen(argv[1]);
    if (length >= static_cast<size_t>(kMaxNameLength)) {
        length = kMaxNameLength; // the cut name is the one that gets opened
    } else if (length < static_cast<size_t>(kMinNameLength)) {
        fputs(profile.too_short, stdout);
        fputs(profile.usage, stdout);
        return false;
    }
    memset(g_input_name, 0, sizeof g_input_name);
    memset(g_output_name, 0, sizeof g_output_name);
    memcpy(g_input_name, argv[1], length);
    memcpy(g_output_name, argv[1], length);
    // Only the last three characters change: no search for a dot, and the
    // name never grows.
    memcpy(g_output_name + length - 3, profile.suffix, 3);
    g_output_name[length] = '\0';
    return true;
}

// --- Platform pieces: file identity, file kind, 64-bit positions ---------

#ifdef _WIN32

// Windows has no inode numbers: a file is its volume's serial number and its
// file ID on that volume.
struct FileIdentity {
    ULONGLONG volume;
    unsigned char file_id[16];
};

// ReFS (Dev Drives among them) numbers files with 128 bits, and the 64-bit
// index of GetFileInformationByHandle is not unique there, so the wide ID is
// asked for first; systems before Windows 8 only know the narrow one.
static bool get_identity(const char* path, FileIdentity* id)
{
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    memset(id, 0, sizeof *id);
    FILE_ID_INFO wide;
    BY_HANDLE_FILE_INFORMATION narrow;
    bool ok = true;
    if (GetFileInformationByHandleEx(h, FileIdInfo, &wide, sizeof wide)) {
        id->volume = wide.VolumeSerialNumber;
        memcpy(id->file_id, wide.FileId.Identifier, sizeof id->file_id);
    } else if (GetFileInformationByHandle(h, &narrow)) {
        id->volume = narrow.dwVolumeSerialNumber;
        memcpy(id->file_id, &narrow.nFileIndexLow, sizeof narrow.nFileIndexLow);
        memcpy(id->file_id + 4, &narrow.nFileIndexHigh, sizeof narrow.nFileIndexHigh);
    } else {
        ok = false;
    }
    CloseHandle(h);
    return ok;
}

static bool same_identity(const FileIdentity& a, const FileIdentity& b)
{
    return a.volume == b.volume && memcmp(a.file_id, b.file_id, sizeof a.file_id) == 0;
}

// A regular file on disk: not a directory, a device, a pipe or a link.
static bool is_regular_file_nofollow(const char* path)
{
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool ok =
        GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) != 0 &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    CloseHandle(h);
    return ok;
}

static bool stream_is_regular(FILE* file)
{
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK) return false;
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(h, &info) != 0 &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

static bool path_is_special(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

static int64_t tell64(FILE* file) { return _ftelli64(file); }
static int seek64(FILE* file, int64_t offset, int whence)
{
    return _fseeki64(file, offset, whence);
}

#else

struct FileIdentity {
    dev_t device;
    ino_t inode;
};

static bool get_identity(const char* path, FileIdentity* id)
{
    struct stat st;
    if (stat(path, &st) != 0) return false;
    id->device = st.st_dev;
    id->inode = st.st_ino;
    return true;
}

static bool same_identity(const FileIdentity& a, const FileIdentity& b)
{
    return a.device == b.device && a.inode == b.inode;
}

static bool is_regular_file_nofollow(const char* path)
{
    struct stat st;
    return lstat(path, &st) == 0 && S_ISREG(st.st_mode);
}

static bool stream_is_regular(FILE* file)
{
    struct stat st;
    return fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
}

// Opening a FIFO without a writer would block for ever, so anything that
// exists and is not a regular file is turned away before it is opened.
static bool path_is_special(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 && !S_ISREG(st.st_mode);
}

static int64_t tell64(FILE* file) { return ftello(file); }
static int seek64(FILE* file, int64_t offset, int whence)
{
    return fseeko(file, static_cast<off_t>(offset), whence);
}

#endif

bool names_same_file(const char* input, const char* output)
{
    if (strcmp(input, output) == 0) return true;
    FileIdentity a;
    FileIdentity b;
    return get_identity(input, &a) && get_identity(output, &b) && same_identity(a, b);
}

// --- Blocks ---------------------------------------------------------------

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FRAME_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define FRAME_SANITIZED 1
#endif

#if defined(__linux__) && !defined(FRAME_SANITIZED)
#define FRAME_HUGE_PAGES 1
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kPage = 4096;
#endif

unsigned char* alloc_block(size_t size, size_t* capacity)
{
#ifdef FRAME_HUGE_PAGES
    // A last huge page that would be at least this full is taken whole: a
    // few unused bytes cost less than hundreds of small-page faults.
    constexpr size_t kNearlyFull = kHugePage - kHugePage / 8;
    size_t tail_bytes = size % kHugePage;
    if (size >= kHugePage || tail_bytes >= kNearlyFull) {
        // Map a 2 MiB aligned range so that the kernel can back it with huge
        // pages; a short tail past the last whole huge page stays in small
        // pages, so not much more memory is touched than the block needs.
        size_t length = tail_bytes >= kNearlyFull ? size - tail_bytes + kHugePage
                                                  : (size + kPage - 1) & ~(kPage - 1);
        size_t span = length + kHugePage;
        void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) return nullptr;
        uintptr_t start = reinterpret_cast<uintptr_t>(raw);
        uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
        if (aligned > start) munmap(raw, aligned - start);
        size_t tail = span - (aligned - start) - length;
        if (tail > 0) munmap(reinterpret_cast<void*>(aligned + length), tail);
        void* block = reinterpret_cast<void*>(aligned);
        madvise(block, length, MADV_HUGEPAGE);
        *capacity = length;
        return static_cast<unsigned char*>(block);
    }
#endif
    *capacity = size;
    return static_cast<unsigned char*>(malloc(size == 0 ? 1 : size));
}

void free_block(unsigned char* data, size_t capacity)
{
    if (data == nullptr) return;
#ifdef FRAME_HUGE_PAGES
    if (capacity >= kHugePage) {
        munmap(data, capacity);
        return;
    }
#endif
    (void)capacity;
    free(data);
}

void release_block(FileBlock* block)
{
    free_block(block->data, block->capacity);
    *block = FileBlock{};
}

// --- Loading --------------------------------------------------------------

// Size of an open file, found by seeking to its end and back; -1 when the
// stream cannot seek (a pipe) or the size is out of reach.
static int64_t stream_size(FILE* file)
{
    int64_t here = tell64(file);
    if (here < 0 || seek64(file, 0, SEEK_END) != 0) return -1;
    int64_t size = tell64(file);
    if (seek64(file, here, SEEK_SET) != 0) return -1;
    return size;
}

bool load_whole_file(const char* path, bool terminate, FileBlock* out)
{
    *out = FileBlock{};
    if (path_is_special(path)) {
        printf("Couldn't read %s\n", path);
        return false;
    }
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        printf("Couldn't open %s\n", path);
        return false;
    }
    // Sizes must fit the block's signed 32-bit count; the terminating zero of
    // a text sits past the counted bytes.
    int64_t size = stream_is_regular(file) ? stream_size(file) : -1;
    if (size < 0 || size > INT32_MAX) {
        printf("Couldn't read %s\n", path);
        fclose(file);
        return false;
    }
    size_t capacity = 0;
    size_t want = static_cast<size_t>(size) + (terminate ? kTextPadding : 0);
    unsigned char* data = alloc_block(want, &capacity);
    if (data == nullptr) {
        printf("Couldn't allocate memory for %s\n", path);
        fclose(file);
        return false;
    }
    size_t done = 0;
    size_t total = static_cast<size_t>(size);
    while (done < total) {
        size_t request = total - done;
        if (request > static_cast<size_t>(kReadChunk)) request = kReadChunk;
        size_t got = fread(data + done, 1, request, file);
        if (got == 0) {
            printf("Couldn't read %s\n", path);
            free_block(data, capacity);
            fclose(file);
            return false;
        }
        done += got;
    }
    fclose(file);
    if (terminate) memset(data + total, 0, kTextPadding);
    out->data = data;
    out->length = static_cast<int32_t>(size);
    out->capacity = capacity;
    return true;
}

// --- Writing --------------------------------------------------------------

bool close_output(FILE* file)
{
    bool ok = fflush(file) == 0;
    ok = ferror(file) == 0 && ok;
    ok = fclose(file) == 0 && ok;
    return ok;
}

void remove_partial_output(const char* path)
{
    if (is_regular_file_nofollow(path)) remove(path);
}

bool write_whole_file(const char* path, const unsigned char* data, size_t size)
{
    FILE* file = fopen(path, "wb");
    if (file == nullptr) {
        printf("Couldn't create %s\n", path);
        return false;
    }
    bool ok = size == 0 || fwrite(data, 1, size, file) == size;
    ok = close_output(file) && ok;
    if (!ok) {
        printf("Couldn't write %s\n", path);
        remove_partial_output(path);
    }
    return ok;
}

// --- The run --------------------------------------------------------------

int run_tool(int argc, const char* const* argv, const ToolProfile& profile)
{
    if (make_file_names(argc, argv, profile)) {
        if (names_same_file(g_input_name, g_output_name)) {
            printf("Input and output are the same file: %s\n", g_input_name);
        } else if (profile.convert(g_input_name, g_output_name)) {
            printf("Converted: %s -> %s\n", g_input_name, g_output_name);
        }
    }
    fflush(stdout);
    return 0;
}
