// Light translation: turns a light list into a light entity file, key by
// key through kLightKeys.
#pragma once

#include "light_output.h"
#include "loader.h"

// Translates `text` into `out`, starting with the world header. Returns
// false on an unrecognised token, after printing it; what was written before
// it stays written. Once a write fails the translation stops early and
// returns true: `out->failed` tells, and the caller reports it.
bool translate_lights(const TextBlock& text, LightOutput* out);

// Creates the file `path` and translates `text` into it. True when the
// whole text was translated and written. On a failed write the partial file
// is removed; on an unrecognised token it is kept. The caller keeps `text`.
bool convert_lights(const char* path, const TextBlock& text);
