// Whole runs of both programs on inputs and outputs that go wrong: each case
// states the one line the user sees, and that the directory afterwards holds
// exactly what it held before plus the output the case expects.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>
#endif

#include "support.h"

// Runs `tool` on `name` in `dir` and checks that it left the directory as
// it was apart from `output` (the output file's name and bytes, when one is
// expected). Returns what it printed.
static std::string run(const std::string& tool, const ScratchDir& dir, const std::string& name,
                       const std::optional<std::pair<std::string, std::string>>& output = {})
{
    Listing expected = listing(dir.path);
    if (output) expected[output->first] = output->second;
    RunResult r = run_program(tool, {name}, dir.path);
    EXPECT_EQ(listing(dir.path), expected) << name;
    return r.out;
}

// Every fault of a header is in texture_test's table; here, a refused one
// leaves the directory as it was.
TEST(bad_input, texture_headers_refused_whole)
{
    ScratchDir dir;
    write_file(dir / "t.wal", texture_header(1, 1, 44));
    EXPECT_EQ(
        run(tavlick(), dir, "t.wal"),
        "Bad texture t.wal: pixel block of 1 x 1 at offset 44 runs past the end of the file\n");
}

#ifndef _WIN32
TEST(bad_input, inputs_without_a_size)
{
    ScratchDir dir;
    fs::create_directory(dir.path / "maps.wal");
    ASSERT_EQ(mkfifo((dir / "fifo.wal").c_str(), 0600), 0);
    EXPECT_EQ(run(tavlick(), dir, "maps.wal"), "Couldn't read maps.wal\n");
    EXPECT_EQ(run(tavlick(), dir, "fifo.wal"), "Couldn't read fifo.wal\n");
}

#ifdef F_SETLEASE
// A file another process holds a lease on is read once the holder lets go,
// as any reader would: the run waits instead of failing.
TEST(bad_input, an_input_under_a_lease_is_waited_for)
{
    ScratchDir dir;
    write_file(dir / "l.wal", make_texture(2, 2, 44, Bytes(4, 2)));
    int fd = open((dir / "l.wal").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    auto before = signal(SIGIO, SIG_IGN); // the holder's notice of a reader
    if (fcntl(fd, F_SETLEASE, F_WRLCK) != 0) {
        close(fd);
        signal(SIGIO, before);
        GTEST_SKIP() << "no leases here: " << strerror(errno);
    }
    pid_t pid = start_program(tavlick(), "l.wal", dir);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the run did not wait for the holder";
    fcntl(fd, F_SETLEASE, F_UNLCK);
    close(fd);
    signal(SIGIO, before);
    EXPECT_EQ(printed_by(pid, dir), "Converted: l.wal -> l.tga\n");
}
#endif

TEST(bad_input, an_output_that_cannot_be_created)
{
    ScratchDir dir;
    write_file(dir / "a.wal", make_texture(1, 1, 44, {9}));
    // Names that lead into a directory that does not exist.
    fs::create_symlink("missing/a.tga", dir.path / "a.tga");
    EXPECT_EQ(run(tavlick(), dir, "a.wal"), "Couldn't create a.tga\n");

    // Names taken by a directory.
    write_file(dir / "b.wal", make_texture(1, 1, 44, {9}));
    fs::create_directory(dir.path / "b.tga");
    EXPECT_EQ(run(tavlick(), dir, "b.wal"), "Couldn't create b.tga\n");
}
#endif

static const std::string& kWorld = kWorldHeaderText;
static std::string light(int number) { return light_start(number); }

struct LightCase {
    const char* what;
    std::string input;
    std::string message; // the one line printed
    std::string output;  // the whole output file
};

static void expect_lights(const std::vector<LightCase>& cases)
{
    for (const LightCase& c : cases) {
        ScratchDir dir;
        write_file(dir / "l.txt", c.input);
        EXPECT_EQ(run(orrel(), dir, "l.txt", {{"l.lit", c.output}}), c.message) << c.what;
    }
}

TEST(bad_input, light_lists_in_other_encodings)
{
    std::string converted = "Converted: l.txt -> l.lit\n";
    std::string one_light = kWorld + light(0) + "\"origin\" \"1 2 3\"\n}\n";
    expect_lights({
        {"0 bytes", "", converted, kWorld},
        {"1 byte", "{", converted, kWorld + light(0)},
        {"a zero byte ends the text", std::string("{ origin 1 2 3 }\n\0bogus {\n", 26), converted,
         one_light},
        {"bytes from 0x80 up separate",
         "{\xa0origin\x80"
         "1\xe9"
         "2\xff"
         "3\xc3\xa9}",
         converted, one_light},
        {"and are kept inside quotes", "style \"caf\xc3\xa9\xff\"", converted,
         kWorld + "\"style\" \"caf\xc3\xa9\xff\"\n"},
        // A UTF-8 mark is three bytes from 0x80 up, which separate like blanks.
        {"a UTF-8 mark", "\xef\xbb\xbf{ }", converted, kWorld + light(0) + "}\n"},
    });
    // UTF-16, in either byte order, is refused before any output.
    for (const std::string& utf16 :
         {std::string("\xff\xfe{\0 \0}\0", 8), std::string("\xfe\xff\0{\0 \0}", 8)}) {
        ScratchDir dir;
        write_file(dir / "l.txt", utf16);
        EXPECT_EQ(run(orrel(), dir, "l.txt"),
                  "Couldn't convert l.txt: UTF-16 text; save it as plain text\n");
    }
}

TEST(bad_input, light_lists_with_huge_tokens)
{
    std::string converted = "Converted: l.txt -> l.lit\n";
    std::string ten_mb(10 << 20, 'q');
    std::string kept(512, 'q');
    expect_lights({
        {"a 10 MB quoted value keeps 512 bytes", "style \"" + ten_mb + "\" {", converted,
         kWorld + "\"style\" \"" + kept + "\"\n" + light(0)},
        {"an unclosed 10 MB string", "style \"" + ten_mb, converted,
         kWorld + "\"style\" \"" + kept + "\"\n"},
    });
}

TEST(bad_input, light_lists_with_100000_nested_braces)
{
    const int kDepth = 100000;
    std::string input;
    std::string output = kWorld;
    for (int i = 0; i < kDepth; ++i) {
        input += "{\n";
        output += light(i);
    }
    for (int i = 0; i < kDepth; ++i) {
        input += "}\n";
        output += "}\n";
    }
    std::string converted = "Converted: l.txt -> l.lit\n";
    expect_lights({
        {"separated braces each open a light", input, converted, output},
        {"unseparated braces are one skipped word",
         std::string(kDepth, '{') + std::string(kDepth, '}'), converted, kWorld},
    });
}
