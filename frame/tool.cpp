#include "tool.h"

#include <cstdio>
#include <cstring>

#include "console.h"
#include "platform.h"

char g_input_name[kNameSize];
char g_output_name[kNameSize];

bool make_file_names(int argc, const char* const* argv, const ToolProfile& profile)
{
    if (argc != 2) {
        print_message("%s", profile.banner);
        print_message("%s", profile.usage);
        return false;
    }
    size_t length = strlen(argv[1]);
    if (length >= static_cast<size_t>(kMaxNameLength)) {
        length = kMaxNameLength; // the cut name is the one that gets opened
    } else if (length < static_cast<size_t>(kMinNameLength)) {
        print_message("%s", profile.too_short);
        print_message("%s", profile.usage);
        return false;
    }
    memset(g_input_name, 0, sizeof g_input_name);
    memset(g_output_name, 0, sizeof g_output_name);
    memcpy(g_input_name, argv[1], length);
    memcpy(g_output_name, argv[1], length);
    // Only the last three characters change: no search for a dot, and the
    // name never grows.
    memcpy(g_output_name + length - 3, profile.suffix, 3);
    g_output_name[length] = '\0';
    return true;
}

// Writing the output must never overwrite the input: equal names, or two
// names that the file system resolves to one file.
static bool names_one_file(const char* input, const char* output)
{
    return strcmp(input, output) == 0 || same_file(input, output);
}

int tool_main(int argc, const char* const* argv, const ToolProfile& profile)
{
    survive_failed_writes();
    hold_signals_once_replaced();
    if (make_file_names(argc, argv, profile)) {
        if (names_one_file(g_input_name, g_output_name)) {
            print_message("Input and output are the same file: %s\n", g_input_name);
        } else if (profile.convert(g_input_name, g_output_name)) {
            print_message("Converted: %s -> %s\n", g_input_name, g_output_name);
        }
    }
    fflush(stdout);
    return 0;
}
