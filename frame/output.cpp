// The output protocol: where the output lands (find_output), the replacement
// made there (create_unnamed, else create_temporary under a free name),
// written, closed and checked, then placed (place_replacement) or discarded.
// Every step below the protocol is the system's, in platform.h.
#include "output.h"

#include "console.h"
#include "temporary_name.h"

// The replacement of a regular output, or of a missing one: unnamed where
// the system allows, else a named temporary beside the output under the
// first free name.
static TemporaryFault open_replacement(OutputFile* out)
{
    TemporaryFault fault = TemporaryFault::None;
    out->file = create_unnamed(&out->place, &fault);
    if (fault != TemporaryFault::Unsupported) return fault;
    return with_free_name(out->place.name, [out](const char* name) {
        TemporaryFault made = TemporaryFault::None;
        out->file = create_temporary(&out->place, name, &made);
        return made;
    });
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
