#include "file_io.h"

#include <cstring>

#include "block.h"
#include "console.h"
#include "platform.h"
#include "temporary_name.h"

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

// The replacement of a regular output, or of a missing one: unnamed where
// the system allows, else a named temporary beside the output under the
// first free random name. NotMade, with nothing touched, when no file can be
// made there at all; Custody when the previous output's custody could not
// be carried over (the fresh file is gone again).
static TemporaryFault open_replacement(OutputFile* out)
{
    TemporaryFault fault = TemporaryFault::None;
    out->file = create_unnamed(&out->place, &fault);
    if (fault != TemporaryFault::Unsupported) return fault;
    char name[kPathCapacity];
    uint64_t random = name_entropy();
    fault = TemporaryFault::NameTaken;
    for (int attempt = 0; attempt < 100 && fault == TemporaryFault::NameTaken; ++attempt) {
        random = next_random(random);
        if (!temporary_name(out->place.name, random >> 16, name, sizeof name))
            return TemporaryFault::NotMade;
        out->file = create_temporary(&out->place, name, &fault);
    }
    return fault;
}

bool open_output(const char* path, OutputFile* out)
{
    out->path = path;
    out->file = nullptr;
    TemporaryFault fault = TemporaryFault::NotMade;
    if (find_output(path, &out->place)) {
        out->file = out->place.in_place;
        fault = out->file != nullptr ? TemporaryFault::None : open_replacement(out);
        if (fault != TemporaryFault::None) discard_replacement(&out->place);
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
    bool replacing = out->file != out->place.in_place;
    out->file = nullptr;
    // The previous output stays unless the new one is whole.
    if (replacing && ok)
        ok = place_replacement(&out->place);
    else if (replacing)
        discard_replacement(&out->place);
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
