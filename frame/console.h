// The programs' side of the console: the command line they are given and
// the messages they print. Each system has its own source (console_posix.cpp,
// console_windows.cpp) and CMake picks one.
#pragma once

struct ToolProfile;

// The program's entry: hands the command line to tool_main with every
// argument in UTF-8, as Linux passes it, and returns tool_main's status.
int console_main(int argc, char** argv, const ToolProfile& profile);

// Prints one formatted message on standard output, as printf would. A
// console on Windows is given the text as wide characters, so that names
// appear as typed; a file or a pipe gets the very bytes.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void print_message(const char* format, ...);
