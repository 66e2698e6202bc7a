// Whole runs with names beyond ASCII. Both programs take every name in UTF-8
// on every system: the same name opens the same file, is cut at the same
// byte and is printed with the same bytes, and a name is never swapped for a
// look-alike of it.
#include <gtest/gtest.h>

#include "support.h"

// Accents, Cyrillic, CJK and an emoji (outside the 16-bit range).
static const char* const kStems[] = {"café", "Grüße", "Привет мир", "紋理テクスチャ", "🎨 sketch"};

// Standard output as a file receives it: Windows ends lines in CR LF.
static std::string as_written(const std::string& lines)
{
#ifdef _WIN32
    std::string text;
    for (char c : lines) {
        if (c == '\n') text += '\r';
        text += c;
    }
    return text;
#else
    return lines;
#endif
}

static void expect_line(const RunResult& r, const std::string& line)
{
    EXPECT_EQ(r.out, line);
    EXPECT_EQ(r.raw_out, as_written(line));
}

static const Bytes kPixels = {0, 1, 2, 255, 128, 64};
static const Bytes kDecoyPixels = {9, 9, 9, 9, 9, 9};

TEST(unicode_names, tavlick_converts_each_name_and_nothing_else)
{
    ScratchDir dir;
    // Look-alikes that a code-page conversion would make of the names below.
    write_file(dir / "cafe.wal", make_texture(3, 2, 44, kDecoyPixels));
    write_file(dir / "cafe.tga", "untouched");
    fs::create_directory(dir.path / "a");
    write_file(dir / "a/b.wal", make_texture(3, 2, 44, kDecoyPixels));
    std::vector<std::string> stems(std::begin(kStems), std::end(kStems));
    stems.push_back("a＼b"); // a full-width backslash
    for (const std::string& stem : stems) {
        SCOPED_TRACE(stem);
        write_file(dir / (stem + ".wal"), make_texture(3, 2, 44, kPixels));
        expect_line(run_program(tavlick(), {stem + ".wal"}, dir.path),
                    "Converted: " + stem + ".wal -> " + stem + ".tga\n");
        EXPECT_EQ(read_file(dir / (stem + ".tga")), expected_targa(3, 2, kPixels));
    }
    EXPECT_EQ(read_text(dir / "cafe.tga"), "untouched");
    EXPECT_FALSE(fs::exists(dir.path / "a" / "b.tga"));
}

// The cut to 63 counts UTF-8 bytes: 30 Cyrillic letters are 60 of them, so
// "<30 letters>.wal" is cut to "<30 letters>.wa" (in a code page of one byte
// per letter it would have been used whole).
TEST(unicode_names, the_cut_counts_utf8_bytes)
{
    ScratchDir dir;
    std::string stem;
    for (int i = 0; i < 10; ++i)
        stem += "Щит";
    ASSERT_EQ(stem.size(), 60u);
    write_file(dir / (stem + ".wa"), make_texture(3, 2, 44, kPixels));
    write_file(dir / (stem + ".wal"), make_texture(3, 2, 44, kDecoyPixels));
    expect_line(run_program(tavlick(), {stem + ".wal"}, dir.path),
                "Converted: " + stem + ".wa -> " + stem + "tga\n");
    EXPECT_EQ(read_file(dir / (stem + "tga")), expected_targa(3, 2, kPixels));
    EXPECT_FALSE(fs::exists(fs::u8path(dir / (stem + ".tga"))));
    // A failure names the file as typed, in UTF-8.
    expect_line(run_program(orrel(), {"Привет.txt"}, dir.path), "Couldn't open Привет.txt\n");
}
