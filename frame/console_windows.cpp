// The console on Windows. The manifest embedded in each program makes the
// process's ANSI code page UTF-8 (Windows 10 1903 and later), so argv and
// every narrow file function take UTF-8 there, as on Linux. Older systems
// ignore that setting and hand over names in their ANSI code page, where a
// character the code page lacks becomes a look-alike (café as cafe under
// 1251): such a name is refused rather than another file converted.
#include "console.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include <windows.h>

#include "tool.h"

// msvcrt's own parse of the wide command line, the one argv comes from.
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env, int glob, int* startup);

// The code page of the messages' bytes: the ANSI one (UTF-8 under the
// manifest), or UTF-8 itself for a name refused on an older system.
static UINT g_message_code_page = CP_ACP;

// True when the ANSI code page holds every character of `name`, so that
// argv carries the name itself rather than a look-alike.
static bool fits_ansi_code_page(const wchar_t* name)
{
    BOOL lossy = FALSE;
    int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, nullptr, 0, nullptr, &lossy);
    return size > 0 && lossy == FALSE;
}

static bool refuse_name(const char* input, const char*)
{
    print_message("Couldn't open %s\n", input);
    return false;
}

int console_main(int argc, char** argv, const ToolProfile& profile)
{
    if (argc != 2 || GetACP() == CP_UTF8) return tool_main(argc, argv, profile);
    int wide_argc = 0;
    wchar_t** wide_argv = nullptr;
    wchar_t** wide_env = nullptr;
    int startup = 0;
    if (__wgetmainargs(&wide_argc, &wide_argv, &wide_env, 0, &startup) != 0 || wide_argc != 2 ||
        fits_ansi_code_page(wide_argv[1]))
        return tool_main(argc, argv, profile);
    // Only the first 63 bytes are used; 256 UTF-16 units give at least that.
    char name[1024] = {};
    size_t units = wcslen(wide_argv[1]);
    int take = units < 256 ? static_cast<int>(units) : 256;
    WideCharToMultiByte(CP_UTF8, 0, wide_argv[1], take, name, sizeof name - 1, nullptr, nullptr);
    // The usual checks and messages, with UTF-8 names and no file opened.
    ToolProfile refused = profile;
    refused.convert = refuse_name;
    g_message_code_page = CP_UTF8;
    const char* names[] = {argv[0], name, nullptr};
    return tool_main(2, names, refused);
}

// True when standard output is a console, rather than a file, a pipe or
// the NUL device.
static bool output_is_console(HANDLE* out)
{
    *out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return *out != nullptr && *out != INVALID_HANDLE_VALUE && GetFileType(*out) == FILE_TYPE_CHAR &&
           GetConsoleMode(*out, &mode) != 0;
}

// Messages hold names of 63 bytes and tokens of 512; longer ones take the heap.
constexpr int kMessageSize = 1024;

// Gives the console `text` as wide characters, each "\n" as "\r\n". The
// console's code page is left as the user set it.
static void write_console(HANDLE out, const char* text, int length)
{
    wchar_t fixed[2 * kMessageSize];
    wchar_t* wide = fixed;
    size_t capacity = 2 * static_cast<size_t>(length);
    if (capacity > sizeof fixed / sizeof fixed[0]) {
        wide = static_cast<wchar_t*>(malloc(capacity * sizeof(wchar_t)));
        if (wide == nullptr) return;
    }
    // Converted into the upper half, then spread out from the start.
    wchar_t* converted = wide + length;
    int count = MultiByteToWideChar(g_message_code_page, 0, text, length, converted, length);
    size_t used = 0;
    for (int i = 0; i < count; ++i) {
        if (converted[i] == L'\n') wide[used++] = L'\r';
        wide[used++] = converted[i];
    }
    DWORD written = 0;
    WriteConsoleW(out, wide, static_cast<DWORD>(used), &written, nullptr);
    if (wide != fixed) free(wide);
}

void print_message(const char* format, ...)
{
    static int console = -1;
    static HANDLE out = nullptr;
    if (console < 0) console = output_is_console(&out) ? 1 : 0;
    va_list args;
    va_start(args, format);
    if (console == 0) {
        vprintf(format, args);
        va_end(args);
        return;
    }
    va_list again;
    va_copy(again, args);
    char fixed[kMessageSize];
    char* text = fixed;
    int length = vsnprintf(fixed, sizeof fixed, format, args);
    if (length >= kMessageSize) {
        text = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
        if (text != nullptr) vsnprintf(text, static_cast<size_t>(length) + 1, format, again);
    }
    va_end(again);
    va_end(args);
    if (length <= 0 || text == nullptr) return;
    fflush(stdout); // anything stdio still holds goes first
    write_console(out, text, length);
    if (text != fixed) free(text);
}
