// Whole runs of both programs on inputs and outputs that go wrong: each case
// states the one line the user sees, and that the directory afterwards holds
// exactly what it held before plus the output the case expects.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

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

static std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A header naming `width` x `height` at `offset`, followed by `length`
// bytes of pixel data whatever the header says.
static Bytes texture_with(int32_t width, int32_t height, int32_t offset, size_t length)
{
    Bytes file = texture_header(width, height, offset);
    file.insert(file.end(), length, 7);
    return file;
}

struct TextureCase {
    const char* what;
    Bytes file;
    std::string message; // after "Bad texture t.wal: "
};

static void expect_refused(const std::vector<TextureCase>& cases)
{
    for (const TextureCase& c : cases) {
        ScratchDir dir;
        write_file(dir / "t.wal", c.file);
        EXPECT_EQ(run(tavlick(), dir, "t.wal"), "Bad texture t.wal: " + c.message + "\n") << c.what;
    }
}

TEST(bad_input, texture_files_of_0_1_43_and_44_bytes)
{
    std::string too_short = "shorter than its 44-byte header";
    expect_refused({
        {"0 bytes", Bytes{}, too_short},
        {"1 byte", Bytes{1}, too_short},
        {"43 bytes", Bytes(43, 0x5a), too_short},
        {"44 bytes naming one pixel", texture_with(1, 1, 44, 0),
         "pixel block of 1 x 1 at offset 44 runs past the end of the file"},
    });
    // 44 bytes naming an empty image are a whole texture.
    ScratchDir dir;
    write_file(dir / "t.wal", texture_with(0, 0, 0, 0));
    EXPECT_EQ(run(tavlick(), dir, "t.wal", {{"t.tga", text(expected_targa(0, 0, {}))}}),
              "Converted: t.wal -> t.tga\n");
}

TEST(bad_input, texture_header_fields_negative_huge_and_just_past_the_end)
{
    const int32_t kMax = INT32_MAX;
    const int32_t kMin = INT32_MIN;
    std::string past = " runs past the end of the file";
    expect_refused({
        {"negative width", texture_with(-1, 4, 44, 16), "negative size -1 x 4"},
        {"negative height", texture_with(4, -1, 44, 16), "negative size 4 x -1"},
        {"lowest width", texture_with(kMin, 4, 44, 16), "negative size -2147483648 x 4"},
        {"negative offset", texture_with(4, 4, -1, 16), "negative pixel offset -1"},
        {"lowest offset", texture_with(4, 4, kMin, 16), "negative pixel offset -2147483648"},
        {"huge width", texture_with(kMax, 1, 44, 16),
         "pixel block of 2147483647 x 1 at offset 44" + past},
        {"huge height", texture_with(1, kMax, 44, 16),
         "pixel block of 1 x 2147483647 at offset 44" + past},
        {"huge offset", texture_with(4, 4, kMax, 16),
         "pixel block of 4 x 4 at offset 2147483647" + past},
        {"width one past", texture_with(5, 4, 44, 19), "pixel block of 5 x 4 at offset 44" + past},
        {"height one past", texture_with(4, 5, 44, 19), "pixel block of 4 x 5 at offset 44" + past},
        {"offset one past", texture_with(4, 4, 45, 16), "pixel block of 4 x 4 at offset 45" + past},
        {"empty block past", texture_with(0, 4, 61, 16),
         "pixel block of 0 x 4 at offset 61" + past},
    });
    // The same fields one step back inside the file are accepted.
    for (Bytes file : {texture_with(4, 4, 44, 16), texture_with(0, 4, 60, 16)}) {
        ScratchDir dir;
        write_file(dir / "t.wal", file);
        int32_t width = file[32];
        Bytes pixels(static_cast<size_t>(width) * 4, 7);
        EXPECT_EQ(run(tavlick(), dir, "t.wal", {{"t.tga", text(expected_targa(width, 4, pixels))}}),
                  "Converted: t.wal -> t.tga\n");
    }
}

// Products that wrap around in 32-bit arithmetic must not pass as small
// ones: 65536 x 65536 wraps to 0 pixels and 65537 x 65537 to 131073, which
// this file holds.
TEST(bad_input, width_times_height_overflowing_32_bits)
{
    size_t wrapped = 131073;
    expect_refused({
        {"wraps to 0", texture_with(65536, 65536, 44, 0), "65536 x 65536 pixels is too many"},
        {"wraps to a size the file holds", texture_with(65537, 65537, 44, wrapped),
         "65537 x 65537 pixels is too many"},
        {"wraps negative", texture_with(46341, 46341, 44, 16), "46341 x 46341 pixels is too many"},
        {"largest fields", texture_with(INT32_MAX, INT32_MAX, 44, 16),
         "2147483647 x 2147483647 pixels is too many"},
    });
}

#ifndef _WIN32
TEST(bad_input, a_directory_as_input)
{
    ScratchDir dir;
    fs::create_directory(dir.path / "maps.wal");
    fs::create_directory(dir.path / "maps.txt");
    EXPECT_EQ(run(tavlick(), dir, "maps.wal"), "Couldn't read maps.wal\n");
    EXPECT_EQ(run(orrel(), dir, "maps.txt"), "Couldn't read maps.txt\n");
}

// The link stays a link and the device stays a device: a program must never
// remove what an output name merely points at.
TEST(bad_input, an_output_linked_to_dev_full)
{
    ScratchDir dir;
    write_file(dir / "full.wal", make_texture(4, 4, 44, Bytes(16, 3)));
    write_file(dir / "full.txt", "{ origin 1 2 3 }\n");
    fs::create_symlink("/dev/full", dir.path / "full.tga");
    fs::create_symlink("/dev/full", dir.path / "full.lit");
    EXPECT_EQ(run(tavlick(), dir, "full.wal"), "Couldn't write full.tga\n");
    EXPECT_EQ(run(orrel(), dir, "full.txt"), "Couldn't write full.lit\n");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST(bad_input, an_output_that_cannot_be_created)
{
    ScratchDir dir;
    write_file(dir / "a.wal", make_texture(1, 1, 44, {9}));
    write_file(dir / "a.txt", "{ }");
    // Names that lead into a directory that does not exist.
    fs::create_symlink("missing/a.tga", dir.path / "a.tga");
    fs::create_symlink("missing/a.lit", dir.path / "a.lit");
    EXPECT_EQ(run(tavlick(), dir, "a.wal"), "Couldn't create a.tga\n");
    EXPECT_EQ(run(orrel(), dir, "a.txt"), "Couldn't create a.lit\n");

    // Names taken by a directory.
    write_file(dir / "b.wal", make_texture(1, 1, 44, {9}));
    write_file(dir / "b.txt", "{ }");
    fs::create_directory(dir.path / "b.tga");
    fs::create_directory(dir.path / "b.lit");
    EXPECT_EQ(run(tavlick(), dir, "b.wal"), "Couldn't create b.tga\n");
    EXPECT_EQ(run(orrel(), dir, "b.txt"), "Couldn't create b.lit\n");
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
        {"CR LF line ends", "{\r\norigin 1 2 3\r\n}\r\n", converted, one_light},
        {"bytes from 0x80 up separate",
         "{\xa0origin\x80"
         "1\xe9"
         "2\xff"
         "3\xc3\xa9}",
         converted, one_light},
        {"and are kept inside quotes", "style \"caf\xc3\xa9\xff\"", converted,
         kWorld + "\"style\" \"caf\xc3\xa9\xff\"\n"},
        {"a comment at the very end", "{ origin 1 2 3 }\n// no newline after this", converted,
         one_light},
        {"an unknown key in another case", "{ ORIGIN 1 2 3 }", "Error: Token \"ORIGIN\"\n",
         kWorld + light(0)},
    });
}

TEST(bad_input, light_lists_with_huge_tokens)
{
    std::string converted = "Converted: l.txt -> l.lit\n";
    std::string ten_mb(10 << 20, 'q');
    std::string kept(512, 'q');
    expect_lights({
        {"a 10 MB word is skipped", "{ " + ten_mb + " }", converted, kWorld + light(0) + "}\n"},
        {"a 10 MB quoted value keeps 512 bytes", "style \"" + ten_mb + "\" {", converted,
         kWorld + "\"style\" \"" + kept + "\"\n" + light(0)},
        {"a 10 MB quoted key", "{ \"" + ten_mb + "\" }", "Error: Token \"" + kept + "\"\n",
         kWorld + light(0)},
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
