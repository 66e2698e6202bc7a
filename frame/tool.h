// The command line of both programs: the argument check, the two name
// buffers and the output-name rule, and the program's whole course.
#pragma once

// Name buffers hold at most 63 characters and a terminating zero.
constexpr int kNameSize = 64;
constexpr int kMaxNameLength = kNameSize - 1;
constexpr int kMinNameLength = 4;

// Loads the file named `input`, converts it and writes the file named
// `output`. Prints its own failure messages; true only when the output is
// complete.
using ConvertFn = bool (*)(const char* input, const char* output);

// Everything that differs between the two programs, fixed at build time.
struct ToolProfile {
    const char* banner;    // one line, ends in "\n"
    const char* usage;     // one line, ends in "\n"
    const char* too_short; // one line, ends in "\n"
    char suffix[3];        // replaces the last three characters of the name
    ConvertFn convert;
};

// Process-wide name buffers, written once per process by make_file_names.
extern char g_input_name[kNameSize];
extern char g_output_name[kNameSize];

// Checks the command line and fills both name buffers. Returns false when
// the program must stop; the banner, usage or too-short lines are then
// printed.
bool make_file_names(int argc, const char* const* argv, const ToolProfile& profile);

// Everything a program does from its command line to its exit status:
// names, the same-file check, the conversion and the final line. Returns
// the exit status, always 0.
int tool_main(int argc, const char* const* argv, const ToolProfile& profile);
