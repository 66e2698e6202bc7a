#pragma once

#include "tool.h"

extern const ToolProfile kOrrelProfile;

// Loads the light list `input` and writes its light entity file `output`.
// Prints its own failure messages; true when the output is complete.
bool load_and_convert_lights(const char* input, const char* output);
