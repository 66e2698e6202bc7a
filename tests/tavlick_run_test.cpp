// Whole runs of the built Tavlick in a scratch directory: its lines, its
// exit status, and the files it leaves.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support.h"
#include "tools_version.h"

static const char kBanner[] = TAVLICK_BANNER;
static const char kUsage[] = "Usage: Tavlick.exe <texture.wal>\n";

TEST(tavlick_run, converts_a_texture)
{
    ScratchDir dir;
    Bytes pixels(37 * 23);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 11 + 5);
    write_file(dir / "wall.wal", make_texture(37, 23, 100, pixels));
    EXPECT_EQ(run_program(tavlick(), {"wall.wal"}, dir.path).out,
              "Converted: wall.wal -> wall.tga\n");
    EXPECT_EQ(read_file(dir / "wall.tga"), expected_targa(37, 23, pixels));
}

TEST(tavlick_run, command_line_faults)
{
    ScratchDir dir;
    EXPECT_EQ(run_program(tavlick(), {}, dir.path).out, std::string(kBanner) + kUsage);
    EXPECT_EQ(run_program(tavlick(), {"a.b"}, dir.path).out,
              std::string("Funny argument size.\n") + kUsage);
    EXPECT_EQ(names_in(dir.path), (std::vector<std::string>{}));
}

// Equal names are refused before the file is looked at, even when it is
// missing; other names are compared as the files they lead to.
TEST(tavlick_run, refuses_an_input_that_is_its_own_output)
{
    ScratchDir dir;
    Bytes texture = make_texture(2, 2, 44, {1, 2, 3, 4});
    EXPECT_EQ(run_program(tavlick(), {"x.tga"}, dir.path).out,
              "Input and output are the same file: x.tga\n");
    // The check takes the names as cut to 63 characters, not as typed.
    std::string name63 = std::string(59, 'w') + ".tga";
    write_file(dir / name63, texture);
    EXPECT_EQ(run_program(tavlick(), {name63 + "-and-more"}, dir.path).out,
              "Input and output are the same file: " + name63 + "\n");
    EXPECT_EQ(read_file(dir / name63), texture);
    fs::remove(dir.path / name63);

    // On a case-insensitive file system y.TGA is its own output y.tga.
    write_file(dir / "y.TGA", texture);
#ifdef _WIN32
    EXPECT_EQ(run_program(tavlick(), {"y.TGA"}, dir.path).out,
              "Input and output are the same file: y.TGA\n");
    EXPECT_EQ(names_in(dir.path), (std::vector<std::string>{"y.TGA"}));
#else
    EXPECT_EQ(run_program(tavlick(), {"y.TGA"}, dir.path).out, "Converted: y.TGA -> y.tga\n");
    EXPECT_EQ(read_file(dir / "y.tga"), expected_targa(2, 2, {1, 2, 3, 4}));
#endif
    EXPECT_EQ(read_file(dir / "y.TGA"), texture);

#ifndef _WIN32 // the MinGW runtime's std::filesystem cannot make symbolic links
    // An input linked to its own output is refused; one linked to another
    // file converts.
    write_file(dir / "own.tga", texture);
    fs::create_symlink("own.tga", dir.path / "own.wal");
    EXPECT_EQ(run_program(tavlick(), {"own.wal"}, dir.path).out,
              "Input and output are the same file: own.wal\n");
    EXPECT_EQ(read_file(dir / "own.tga"), texture);
    fs::create_symlink("own.tga", dir.path / "link.wal");
    EXPECT_EQ(run_program(tavlick(), {"link.wal"}, dir.path).out,
              "Converted: link.wal -> link.tga\n");
    EXPECT_EQ(read_file(dir / "link.tga"), expected_targa(2, 2, {1, 2, 3, 4}));
    EXPECT_EQ(read_file(dir / "own.tga"), texture);
#endif
}

TEST(tavlick_run, inputs_of_2_gib_or_more_are_refused)
{
    ScratchDir dir;
    write_file(dir / "big.wal", make_texture(1, 1, 44, {0}));
    fs::resize_file(dir.path / "big.wal", uint64_t{1} << 31); // sparse: no disk used
    EXPECT_EQ(run_program(tavlick(), {"big.wal"}, dir.path).out, "Couldn't read big.wal\n");
    EXPECT_EQ(names_in(dir.path), (std::vector<std::string>{"big.wal"}));
}
