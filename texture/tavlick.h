#pragma once

#include "tool.h"

extern const ToolProfile kTavlickProfile;

// Loads the palette texture `input` and writes it as the Targa file
// `output`. Prints its own failure messages; true when the output is
// complete.
bool load_and_convert_texture(const char* input, const char* output);
