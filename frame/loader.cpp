// Whole-file input: the input opened and checked, its size found, its bytes
// read into a fresh block.
#include "loader.h"

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

void release_block(FileBlock* block)
{
    free_block(block->data);
    *block = FileBlock{};
}

bool load_text(const char* path, TextBlock* out)
{
    *out = TextBlock{};
    size_t size = 0;
    unsigned char* data = load_block(path, kTextEnd, &size);
    if (data == nullptr) return false;
    data[size] = '\0';
    out->text = reinterpret_cast<char*>(data);
    out->length = static_cast<int32_t>(size);
    return true;
}

void release_text(TextBlock* text)
{
    free_block(reinterpret_cast<unsigned char*>(text->text));
    *text = TextBlock{};
}
