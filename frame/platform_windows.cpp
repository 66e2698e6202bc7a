// The frame's system interface on Windows.
#include "platform.h"

#include <cstring>

#include <io.h>
#include <malloc.h>
#include <windows.h>

// A file is told by what its handle says, so that a device name such as
// NUL, a pipe or a directory is never taken for a file on disk.
static FileKind kind_of(HANDLE h)
{
    if (h == INVALID_HANDLE_VALUE) return FileKind::Missing;
    if (GetFileType(h) != FILE_TYPE_DISK) return FileKind::Other;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h, &info) == 0) return FileKind::Missing;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::Directory;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return FileKind::Other;
    return FileKind::Regular;
}

static HANDLE open_for_query(const char* path, DWORD flags)
{
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

static FileKind kind_at(const char* path, DWORD flags)
{
    HANDLE h = open_for_query(path, flags);
    FileKind kind = kind_of(h);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return kind;
}

FileKind path_kind(const char* path) { return kind_at(path, 0); }

FileKind entry_kind(const char* path) { return kind_at(path, FILE_FLAG_OPEN_REPARSE_POINT); }

FileKind stream_kind(FILE* file)
{
    return kind_of(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
}

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
    HANDLE h = open_for_query(path, 0);
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

bool same_file(const char* a, const char* b)
{
    FileIdentity ia;
    FileIdentity ib;
    return get_identity(a, &ia) && get_identity(b, &ib) && ia.volume == ib.volume &&
           memcmp(ia.file_id, ib.file_id, sizeof ia.file_id) == 0;
}

int64_t stream_size(FILE* file)
{
    int64_t here = _ftelli64(file);
    if (here < 0 || _fseeki64(file, 0, SEEK_END) != 0) return -1;
    int64_t size = _ftelli64(file);
    if (_fseeki64(file, here, SEEK_SET) != 0) return -1;
    return size;
}

// Large pages on Windows need a privilege that ordinary users lack, so
// large blocks take plain memory there.
unsigned char* map_pages(size_t, size_t, size_t, void**, size_t*) { return nullptr; }

void unmap_pages(void*, size_t) {}

void* alloc_aligned(size_t alignment, size_t size)
{
    return _aligned_malloc(size == 0 ? 1 : size, alignment);
}

void free_aligned(void* p) { _aligned_free(p); }
