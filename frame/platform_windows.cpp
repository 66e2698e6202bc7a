// The frame's system interface on Windows.
#include "platform.h"

#include <cstring>

#include <fcntl.h>
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

// What the directory entry `path` itself is: a link is Other.
static FileKind entry_kind(const char* path) { return kind_at(path, FILE_FLAG_OPEN_REPARSE_POINT); }

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

// Large pages on Windows need a privilege that ordinary users lack.
unsigned char* alloc_huge_pages(size_t /*size*/) { return nullptr; }

size_t directory_length(const char* path)
{
    size_t length = 0;
    for (size_t i = 0; path[i] != '\0'; ++i)
        if (path[i] == '/' || path[i] == '\\' || (i == 1 && path[i] == ':')) length = i + 1;
    return length;
}

// A link's target is the final path of the file it leads to; a name that is
// no link, or leads nowhere, is itself.
static void final_target(const char* path, char* target, size_t size)
{
    size_t length = strlen(path);
    memcpy(target, path, length + 1);
    if (entry_kind(path) != FileKind::Other || path_kind(path) != FileKind::Regular) return;
    HANDLE h = open_for_query(path, 0);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD got = GetFinalPathNameByHandleA(h, target, static_cast<DWORD>(size),
                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(h);
    if (got == 0 || got >= size) memcpy(target, path, length + 1);
}

// Windows has no append-only folders, and no folder is held open: every step
// works by path. A read-only file is refused rather than replaced.
bool find_output(const char* path, OutputPlace* place)
{
    *place = OutputPlace{};
    if (strlen(path) >= sizeof place->target) return false;
    final_target(path, place->target, sizeof place->target);
    place->name = place->target + directory_length(place->target);
    FileKind kind = path_kind(place->target);
    if (kind == FileKind::Other) place->in_place = open_in_place(place->target, false);
    if (kind == FileKind::Other || kind == FileKind::Directory) return place->in_place != nullptr;
    DWORD attributes = GetFileAttributesA(place->target);
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

uint64_t name_entropy()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<uint64_t>(counter.QuadPart) ^ static_cast<uint64_t>(GetCurrentProcessId())
                                                         << 20;
}

// The console handler runs in a thread of its own while the program goes
// on; the file was opened with FILE_SHARE_DELETE, so it can be deleted
// while open and vanishes when the process ends. Once the output is in
// place (g_holding), a break is swallowed so that the run finishes; a
// closed console ends the process whatever the handler says.
static char g_temporary[kPathCapacity];
static volatile LONG g_temporary_live = 0;
static volatile LONG g_holding = 0;
static bool g_hold_once_replaced = false;

static BOOL WINAPI remove_on_break(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (g_holding != 0) return TRUE;
    if (InterlockedExchange(&g_temporary_live, 0) != 0) DeleteFileA(g_temporary);
    return FALSE; // the default handler then ends the process as usual
}

// A binary stream writing to `h`, which it then owns; null, with the handle
// closed, when the runtime refuses it.
static FILE* write_stream(HANDLE h)
{
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    FILE* file = fd < 0 ? nullptr : _fdopen(fd, "wb");
    if (file == nullptr) {
        if (fd < 0)
            CloseHandle(h);
        else
            _close(fd);
    }
    return file;
}

// Windows makes no file without a name.
FILE* create_unnamed(OutputPlace*, TemporaryFault* fault)
{
    *fault = TemporaryFault::Unsupported;
    return nullptr;
}

static void drop_temporary()
{
    InterlockedExchange(&g_temporary_live, 0);
    if (g_holding == 0) SetConsoleCtrlHandler(remove_on_break, FALSE);
}

// A file that may be written has no permission bits to copy here, and
// ReplaceFile keeps the previous output's ACL and attributes.
FILE* create_temporary(OutputPlace* place, const char* name, TemporaryFault* fault)
{
    *fault = TemporaryFault::NotMade;
    size_t dir = directory_length(place->target);
    size_t length = strlen(name);
    if (dir + length >= kPathCapacity) return nullptr;
    memcpy(place->temporary, place->target, dir);
    memcpy(place->temporary + dir, name, length + 1);
    memcpy(g_temporary, place->temporary, dir + length + 1);
    HANDLE h = CreateFileA(place->temporary, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            *fault = TemporaryFault::NameTaken;
        place->temporary[0] = '\0';
        return nullptr;
    }
    InterlockedExchange(&g_temporary_live, 1);
    SetConsoleCtrlHandler(remove_on_break, TRUE);
    FILE* file = write_stream(h);
    if (file != nullptr) *fault = TemporaryFault::None;
    return file;
}

void discard_replacement(OutputPlace* place)
{
    if (place->temporary[0] != '\0') DeleteFileA(place->temporary);
    place->temporary[0] = '\0';
    drop_temporary();
}

// ReplaceFile keeps the previous output's ACL, attributes and creation
// time. It needs a previous output and is refused by some file systems:
// those cases take the plain move, but a refusal of access stands.
static bool replace_file(const char* from, const char* to)
{
    if (g_hold_once_replaced) InterlockedExchange(&g_holding, 1);
    if (ReplaceFileA(to, from, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0)
        return true;
    if (GetLastError() == ERROR_ACCESS_DENIED) return false;
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}

bool place_replacement(OutputPlace* place)
{
    bool placed = replace_file(place->temporary, place->target);
    if (placed) place->temporary[0] = '\0';
    discard_replacement(place);
    return placed;
}

// Windows has no FIFOs that an open could wait on. OPEN_EXISTING neither
// creates nor truncates, and what turns out to be a file on disk is left.
FILE* open_in_place(const char* path, bool)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    if (GetFileType(h) == FILE_TYPE_DISK) {
        CloseHandle(h);
        return nullptr;
    }
    return write_stream(h);
}

FILE* open_for_reading(const char* path) { return fopen(path, "rb"); }

// Windows sends neither signal.
void survive_failed_writes() {}

void hold_signals_once_replaced() { g_hold_once_replaced = true; }
