// The console on POSIX systems: arguments and output are bytes already.
#include "console.h"

#include <cstdarg>
#include <cstdio>

#include "tool.h"

int console_main(int argc, char** argv, const ToolProfile& profile)
{
    return tool_main(argc, argv, profile);
}

void print_message(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
}
