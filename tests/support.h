// Helpers shared by the tests: scratch directories, whole-file reads and
// writes, and running a built program the way a user would.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "loader.h"
#include "output.h"
#include "text_copy.h"

namespace fs = std::filesystem;

using Bytes = std::vector<unsigned char>;

// A text exactly as the loader hands it over, released at scope end.
struct OwnedText {
    TextBlock block;
    explicit OwnedText(const std::string& bytes)
    {
        if (!make_text_block(bytes.data(), bytes.size(), &block)) abort();
    }
    ~OwnedText() { release_text(&block); }
    OwnedText(const OwnedText&) = delete;
    OwnedText& operator=(const OwnedText&) = delete;
    const char* c_str() const { return block.text; }
};

// A fresh directory that is removed with everything in it at scope end.
struct ScratchDir {
    fs::path path;
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    // Names are UTF-8 on every system, as the programs take them.
    std::string operator/(const std::string& name) const
    {
        return (path / fs::u8path(name)).u8string();
    }
};

void write_file(const std::string& path, const Bytes& data);
void write_file(const std::string& path, const std::string& text);
Bytes read_file(const std::string& path);
std::string read_text(const std::string& path);

// What a run of a program printed and how it ended.
struct RunResult {
    std::string out;
    std::string err;
    int status;
    std::string raw_out; // standard output's bytes, line ends untouched
};

// Runs `program` with `args` (each passed as one argument, in UTF-8) in
// `dir`, as a user would from a shell, and checks what every run that ends
// by itself must do: print nothing on standard error and exit with 0.
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const fs::path& dir);

// What a directory holds: each name with its bytes, its link's target, or
// a mark for a subdirectory.
using Listing = std::map<std::string, std::string>;
Listing listing(const fs::path& dir);

// The names `dir` holds, sorted.
std::vector<std::string> names_in(const fs::path& dir);

// Names of the files ending in ".tmp" anywhere under `dir`: what an
// interrupted replacement would leave.
std::vector<std::string> temporaries(const fs::path& dir);

#ifndef _WIN32
// A run started by hand, for what run_program cannot set up: limits, signals,
// other users and odd standard outputs. `prepare` runs in the child before
// the program starts; standard output goes to `dir`/.out unless it changes
// it. Returns the child's process ID.
int start_program(
    const std::string& program, const std::string& arg, const ScratchDir& dir,
    const std::function<void()>& prepare = [] {});

// Waits for a run from start_program and returns its raw wait status; a
// run that takes more than 20 s is killed and fails the test.
int finish_program(int pid);

bool exited_0(int status);

// Waits for a run from start_program, which must end by itself with exit
// status 0, and returns what it printed.
std::string printed_by(int pid, const ScratchDir& dir);

// A copy of `program` in `dir` that another user can run, or "" with the
// reason in *why when none can be reached: a folder on the way to `dir`
// (a home of mode 0700, say) is closed to other users.
std::string program_for_others(const std::string& program, const ScratchDir& dir, std::string* why);

// Makes the child a process of `nobody`, for a `prepare` of start_program.
void become_nobody();
constexpr unsigned kNobody = 65534;
#endif

// The programs under test; TAVLICK and ORREL in the environment name other
// builds of them.
std::string tavlick();
std::string orrel();

// The 44-byte header of a palette texture naming `width` x `height` pixels
// at `offset`, whatever the file holds; the unread bytes hold junk.
Bytes texture_header(int32_t width, int32_t height, int32_t offset);

// A palette texture: the header, padding up to `offset`, then the given
// pixel block.
Bytes make_texture(int32_t width, int32_t height, int32_t offset, const Bytes& pixels);

// What every light entity file opens with, and how each light starts.
extern const std::string kWorldHeaderText;
std::string light_start(int number);

// The texture palette as the tests know it (palette.txt): 256 entries of
// red, green and blue, typed out apart from the program's table.
const Bytes& test_palette();

// The Targa file the converter must produce, computed from test_palette.
Bytes expected_targa(int32_t width, int32_t height, const Bytes& pixels);
