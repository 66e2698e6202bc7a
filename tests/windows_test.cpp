// Windows before 10 1903 ignores the manifest's UTF-8 code page: names then
// reach the program in the ANSI code page, where a character the code page
// lacks becomes a look-alike or "?". tavlick_ansi is Tavlick built without
// its manifest, so it runs as on those systems: such a name must be refused,
// never taken for another file.
#include <gtest/gtest.h>

#include <windows.h>

#include "support.h"

static std::string tavlick_ansi() { return TAVLICK_ANSI_PATH; }

static const Bytes kPixels = {0, 1, 2, 255, 128, 64};

TEST(windows_ansi_code_page, names_the_code_page_lacks_are_refused)
{
    ScratchDir dir;
    fs::create_directory(dir.path / "a");
    write_file(dir / "a/b.wal", make_texture(3, 2, 44, kPixels));
    write_file(dir / "a＼b.wal", make_texture(3, 2, 44, kPixels));
    write_file(dir / "Привет.wal", make_texture(3, 2, 44, kPixels));
    write_file(dir / "一.wal", make_texture(3, 2, 44, kPixels));
    // The full-width backslash has a best fit ("\") in every Western code
    // page; Cyrillic and CJK become "?" there.
    for (const char* name : {"a＼b.wal", "Привет.wal", "一.wal"}) {
        SCOPED_TRACE(name);
        RunResult r = run_program(tavlick_ansi(), {name}, dir.path);
        EXPECT_EQ(r.raw_out, std::string("Couldn't open ") + name + "\r\n");
    }
    EXPECT_FALSE(fs::exists(dir.path / "a" / "b.tga"));
    EXPECT_FALSE(fs::exists(fs::u8path(dir / "a＼b.tga")));
    EXPECT_FALSE(fs::exists(fs::u8path(dir / "Привет.tga")));
    // Too short a name is still too short, whatever its characters.
    RunResult r = run_program(tavlick_ansi(), {"一"}, dir.path);
    EXPECT_EQ(r.out, "Funny argument size.\nUsage: Tavlick.exe <texture.wal>\n");
}

TEST(windows_ansi_code_page, names_the_code_page_holds_convert)
{
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    ScratchDir dir;
    write_file(dir / "café.wal", make_texture(3, 2, 44, kPixels));
    RunResult r = run_program(tavlick_ansi(), {"café.wal"}, dir.path);
    // Messages are in the ANSI code page there, as they always were.
    EXPECT_EQ(r.raw_out, "Converted: caf\xe9.wal -> caf\xe9.tga\r\n");
    EXPECT_EQ(read_file(dir / "café.tga"), expected_targa(3, 2, kPixels));
}
