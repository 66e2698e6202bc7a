// Light translation: turns a light list into a light entity file, key by
// key through the LightKey table.
#pragma once

#include <cstddef>
#include <cstdio>

enum class KeyAction {
    OpenLight,  // numbered comment, "{", the light class line
    CloseLight, // "}"
    KeyLine,    // "key" "values joined by spaces"
    NoShadow,   // the two no-shadow lines
    Drop,       // values read and thrown away
};

struct LightKey {
    const char* token; // matched whole and case-sensitively
    int values;        // tokens that follow and belong to this key
    KeyAction action;
};

extern const LightKey kLightKeys[];
extern const size_t kLightKeyCount;

// Number of the next light; the first "{" of a translation is light 0.
extern int g_light_number;

// Buffered output of a translation: pieces are gathered here and reach the
// stream in large writes. `failed` is set by the first write that fails.
struct LightOutput {
    FILE* file;
    size_t used;
    bool failed;
};

// Translates the zero-terminated `text` into `out`, starting with the world
// header. Returns false on an unrecognised token, after printing it; what
// was written before it stays written. Stops early once a write fails.
bool translate_lights(const char* text, LightOutput* out);

// Writes what is still buffered; true when every write succeeded.
bool flush_light_output(LightOutput* out);

// Creates the file `path` and translates `text` into it. Returns true when
// the whole text was translated and written. A failed write removes the
// partial output; an unrecognised token keeps it.
bool convert_lights(const char* path, const char* text);
