// Whole runs of the built Orrel in a scratch directory: its lines, its exit
// status, and the files it leaves.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support.h"
#include "tools_version.h"

static const std::string& kWorld = kWorldHeaderText;
static const char kBanner[] = ORREL_BANNER;
static const char kUsage[] = "Usage: Orrel.exe <mapname.txt>\n";

TEST(orrel_run, converts_a_light_list)
{
    ScratchDir dir;
    write_file(dir / "base1.txt",
               "// lights\r\n{\r\n\"origin\" \"1\" \"2\" \"3\"\r\nstyle 2\r\n}\r\n");
    EXPECT_EQ(run_program(orrel(), {"base1.txt"}, dir.path).out,
              "Converted: base1.txt -> base1.lit\n");
    EXPECT_EQ(read_text(dir / "base1.lit"), kWorld + "//Light 0\n{\n\"classname\" \"light\"\n"
                                                     "\"origin\" \"1 2 3\"\n\"style\" \"2\"\n}\n");
}

TEST(orrel_run, command_line_faults)
{
    ScratchDir dir;
    EXPECT_EQ(run_program(orrel(), {}, dir.path).out, std::string(kBanner) + kUsage);
    EXPECT_EQ(run_program(orrel(), {"a.b"}, dir.path).out,
              std::string("Funny argument.\n") + kUsage);
    EXPECT_TRUE(fs::is_empty(dir.path));
}

TEST(orrel_run, unrecognised_token_keeps_the_partial_output)
{
    ScratchDir dir;
    write_file(dir / "bad.txt", "{ origin 1 2 3 }\n{ }\nbrightness 5\n{ }");
    EXPECT_EQ(run_program(orrel(), {"bad.txt"}, dir.path).out, "Error: Token \"brightness\"\n");
    EXPECT_EQ(read_text(dir / "bad.lit"),
              kWorld + "//Light 0\n{\n\"classname\" \"light\"\n\"origin\" \"1 2 3\"\n}\n"
                       "//Light 1\n{\n\"classname\" \"light\"\n}\n");
}
