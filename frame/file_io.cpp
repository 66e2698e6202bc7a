#include "file_io.h"

#include <cstring>

#include "block.h"
#include "console.h"
#include "platform.h"

// Opens `path` for reading and finds its size. Only a regular file has one
// worth trusting, so what was opened is checked before anything is read:
// the name may have been given to a FIFO or a device since it was looked
// at, and the open does not wait for a FIFO's writer. Sizes must fit a
// signed 32-bit count.
static FILE* open_input(const char* path, size_t* size)
{
    FileKind kind = path_kind(path);
    if (kind != FileKind::Regular && kind != FileKind::Missing) {
        print_message("Couldn't read %s\n", path);
        return nullptr;
    }
    FILE* file = open_for_reading(path);
    if (file == nullptr) {
        print_message("Couldn't open %s\n", path);
        return nullptr;
    }
    int64_t length = stream_kind(file) == FileKind::Regular ? stream_size(file) : -1;
    if (length < 0 || length > INT32_MAX) {
        print_message("Couldn't read %s\n", path);
        fclose(file);
        return nullptr;
    }
    *size = static_cast<size_t>(length);
    return file;
}

bool read_all(FILE* file, unsigned char* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        size_t request = size - done < kReadChunk ? size - done : kReadChunk;
        size_t got = fread(data + done, 1, request, file);
        if (got == 0) return false;
        done += got;
    }
    return true;
}

// Loads the file at `path` whole into a fresh block with `extra` bytes of
// room after its contents. Null on failure, after one line naming the path.
static unsigned char* load_block(const char* path, size_t extra, size_t* size)
{
    FILE* file = open_input(path, size);
    if (file == nullptr) return nullptr;
    unsigned char* data = alloc_block(*size + extra);
    bool ok = data != nullptr;
    if (!ok) print_message("Couldn't allocate memory for %s\n", path);
    if (ok && !read_all(file, data, *size)) {
        print_message("Couldn't read %s\n", path);
        ok = false;
    }
    fclose(file);
    if (ok) return data;
    free_block(data);
    return nullptr;
}

bool load_whole_file(const char* path, FileBlock* out)
{
    *out = FileBlock{};
    size_t size = 0;
    unsigned char* data = load_block(path, 0, &size);
    if (data == nullptr) return false;
    out->data = data;
    out->length = static_cast<int32_t>(size);
    return true;
}

bool load_text(const char* path, TextBlock* out)
{
    *out = TextBlock{};
    size_t size = 0;
    unsigned char* data = load_block(path, kTextEnd, &size);
    if (data == nullptr) return false;
    seal_text(reinterpret_cast<char*>(data), size, out);
    return true;
}

void release_block(FileBlock* block)
{
    free_block(block->data);
    *block = FileBlock{};
}

// What a temporary name adds to the output's: two dots, six random
// symbols and ".tmp".
constexpr size_t kTemporaryExtra = 12;
static_assert(kNameLimit > kTemporaryExtra, "a temporary name keeps part of the output's");

// ".NAME.XXXXXX.tmp" beside `target`: hidden, plainly temporary, and with
// a random part no user's file is likely to share. A long NAME is cut, at
// the start of a UTF-8 character, so that the whole stays a name the file
// system takes.
static bool temporary_name(const char* target, uint64_t random, char* name, size_t size)
{
    static const char kSymbols[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    size_t dir = directory_length(target);
    size_t base = strlen(target + dir);
    size_t kept = base < kNameLimit - kTemporaryExtra ? base : kNameLimit - kTemporaryExtra;
    while (kept > 0 && kept < base &&
           (static_cast<unsigned char>(target[dir + kept]) & 0xc0) == 0x80)
        --kept;
    if (dir + kept + kTemporaryExtra >= size) return false;
    memcpy(name, target, dir);
    char* p = name + dir;
    *p++ = '.';
    memcpy(p, target + dir, kept);
    p += kept;
    *p++ = '.';
    for (int i = 0; i < 6; ++i, random /= 36)
        *p++ = kSymbols[random % 36];
    memcpy(p, ".tmp", 5);
    return true;
}

// A regular output, or a missing one, is replaced by a fresh file made beside
// `out->target`, the file its name finally leads to. Gives NotMade, with
// nothing touched, when no such file can be made: a path too long, a file
// or directory the user may not write, a directory that takes no new names,
// no space or inode left; Custody when the previous output's custody could
// not be carried over (the fresh file is gone again).
static TemporaryFault open_replacement(OutputFile* out)
{
    // A rename would replace a file the user may not write; a fresh file in
    // an append-only directory could be neither moved nor removed.
    if (!may_write(out->target) || directory_is_frozen(out->target)) return TemporaryFault::NotMade;
    uint64_t random = name_entropy();
    TemporaryFault fault = TemporaryFault::NameTaken;
    for (int attempt = 0; attempt < 100 && fault == TemporaryFault::NameTaken; ++attempt) {
        random = random * 6364136223846793005u + 1442695040888963407u;
        if (!temporary_name(out->target, random >> 16, out->temporary, sizeof out->temporary))
            return TemporaryFault::NotMade;
        out->file = create_temporary(out->temporary, out->target, &fault);
    }
    if (fault == TemporaryFault::None) out->replacing = true;
    return fault;
}

bool open_output(const char* path, OutputFile* out)
{
    out->path = path;
    out->file = nullptr;
    out->replacing = false;
    // Every link on the way is checked, whatever the chain ends in: a link
    // planted in a shared directory must not lead even to a FIFO or a device.
    TemporaryFault fault = TemporaryFault::NotMade;
    if (final_target(path, out->target, sizeof out->target)) {
        FileKind kind = path_kind(out->target);
        if (kind == FileKind::Regular || kind == FileKind::Missing) {
            fault = open_replacement(out);
        } else if (kind == FileKind::Other) {
            // A device or a FIFO carries the name without being a file on disk.
            out->file = open_in_place(out->target);
            if (out->file != nullptr) fault = TemporaryFault::None;
        }
    }
    if (fault == TemporaryFault::Custody)
        print_message("Couldn't write %s\n", path);
    else if (fault != TemporaryFault::None)
        print_message("Couldn't create %s\n", path);
    return fault == TemporaryFault::None;
}

bool close_stream(FILE* file)
{
    bool ok = fflush(file) == 0;
    ok = ferror(file) == 0 && ok;
    ok = fclose(file) == 0 && ok;
    return ok;
}

bool finish_output(OutputFile* out, bool written)
{
    bool ok = close_stream(out->file) && written;
    out->file = nullptr;
    if (out->replacing) {
        // The previous output stays unless the new one is whole.
        ok = ok && replace_file(out->temporary, out->target);
        if (!ok) remove(out->temporary);
        drop_temporary();
        out->replacing = false;
    }
    if (!ok) print_message("Couldn't write %s\n", out->path);
    return ok;
}

bool write_whole_file(const char* path, const unsigned char* data, size_t size)
{
    OutputFile out;
    if (!open_output(path, &out)) return false;
    bool written = size == 0 || fwrite(data, 1, size, out.file) == size;
    return finish_output(&out, written);
}
