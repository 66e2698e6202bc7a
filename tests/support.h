// Helpers shared by the tests: scratch directories, whole-file reads and
// writes, and running a built program the way a user would.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "file_io.h"
#include "text_block.h"

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

// Runs `program` with `args` (each passed as one argument, in UTF-8) in `dir`.
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const fs::path& dir);

// The programs under test; TAVLICK and ORREL in the environment name other
// builds of them.
std::string tavlick_program();
std::string orrel_program();

// The 44-byte header of a palette texture naming `width` x `height` pixels
// at `offset`, whatever the file holds; the unread bytes hold junk.
Bytes texture_header(int32_t width, int32_t height, int32_t offset);

// A palette texture: the header, padding up to `offset`, then the given
// pixel block.
Bytes make_texture(int32_t width, int32_t height, int32_t offset, const Bytes& pixels);

// What every light entity file opens with, and how each light starts.
extern const std::string kWorldHeaderText;
std::string light_start(int number);

// The Targa file the converter must produce, computed straight from the
// palette table.
Bytes expected_targa(int32_t width, int32_t height, const Bytes& pixels);
