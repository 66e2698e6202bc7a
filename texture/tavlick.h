#pragma once

#include "frame.h"

extern const ToolProfile kTavlickProfile;

// Converts the palette texture `input` into the Targa file `output`.
bool convert_texture(const char* input, const char* output);
