#pragma once

#include "frame.h"

extern const ToolProfile kOrrelProfile;

// Converts the light list `input` into the light entity file `output`.
bool convert_light_file(const char* input, const char* output);
