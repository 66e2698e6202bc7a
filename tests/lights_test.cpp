#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "com_sprintf.h"
#include "light_keys.h"
#include "light_translation.h"
#include "support.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

static const std::string& kWorld = kWorldHeaderText;

struct Translation {
    bool ok;
    std::string output;
    std::string printed;
};

static Translation translate(const std::string& text)
{
    ScratchDir dir;
    FILE* file = fopen((dir / "out").c_str(), "w+b");
    if (file == nullptr) abort();
    LightOutput out;
    out.file = file;
    CaptureStdout();
    OwnedText padded(text);
    bool ok = translate_lights(padded.block, &out);
    std::string printed = GetCapturedStdout();
    EXPECT_TRUE(flush_light_output(&out));
    std::string output;
    rewind(file);
    for (int c; (c = fgetc(file)) != EOF;)
        output.push_back(static_cast<char>(c));
    fclose(file);
    return {ok, output, printed};
}

static const char kTwoLights[] = "{\n"
                                 "origin 16 32 48\n"
                                 "radius 200 200 200\n"
                                 "style 0\n"
                                 "color 1 0.5 0.25\n"
                                 "center 0 0 0\n"
                                 "material lights/bulb\n"
                                 "noShadows\n"
                                 "parallel\n"
                                 "}\n"
                                 "// second light\n"
                                 "{\n"
                                 "\"origin\" \"0\" \"0\" \"64\"\n"
                                 "angles 0 90 0\n"
                                 "materialParm3 1\n"
                                 "}\n";

static const char kTwoLightsOut[] = "//Light 0\n"
                                    "{\n"
                                    "\"classname\" \"light\"\n"
                                    "\"origin\" \"16 32 48\"\n"
                                    "\"radius\" \"200 200 200\"\n"
                                    "\"style\" \"0\"\n"
                                    "\"color\" \"1 0.5 0.25\"\n"
                                    "\"noshadow\" \"1\"\n"
                                    "\"noshadow2\" \"1\"\n"
                                    "}\n"
                                    "//Light 1\n"
                                    "{\n"
                                    "\"classname\" \"light\"\n"
                                    "\"origin\" \"0 0 64\"\n"
                                    "\"angles\" \"0 90 0\"\n"
                                    "}\n";

TEST(light_translation, two_light_example_byte_for_byte)
{
    Translation t = translate(kTwoLights);
    EXPECT_TRUE(t.ok);
    EXPECT_EQ(t.printed, "");
    EXPECT_EQ(t.output, kWorld + kTwoLightsOut);
    // A second translation numbers its lights from 0 again.
    EXPECT_EQ(translate(kTwoLights).output, kWorld + kTwoLightsOut);
}

TEST(light_translation, empty_lists_give_the_world_header_alone)
{
    for (const char* text : {"", "   \n", "// nothing here\n// or here"}) {
        Translation t = translate(text);
        EXPECT_TRUE(t.ok);
        EXPECT_EQ(t.output, kWorld);
    }
}

static void expect_refused(const std::string& text, const std::string& token,
                           const std::string& kept)
{
    Translation t = translate(text);
    EXPECT_FALSE(t.ok) << text;
    EXPECT_EQ(t.printed, "Error: Token \"" + token + "\"\n") << text;
    EXPECT_EQ(t.output, kWorld + kept) << text;
}

TEST(light_translation, unrecognised_tokens_stop_and_keep_what_was_written)
{
    expect_refused("noShadows 1", "1", "\"noshadow\" \"1\"\n\"noshadow2\" \"1\"\n");
    expect_refused("{origin 1 2 3", "{origin", "");
    expect_refused("Origin 1 2 3", "Origin", "");
    expect_refused("{ } { } bogus {", "bogus", light_start(0) + "}\n" + light_start(1) + "}\n");
}

// Near misses of every key: one byte changed in case or in its top bit
// alone (quoted, a byte from 0x80 up is kept, so "\xefrigin" is not
// origin), one byte more, one byte less.
TEST(light_translation, near_misses_of_every_key_are_refused)
{
    for (const LightKey& key : kLightKeys) {
        const std::string name(key.token);
        if (name.empty()) continue;
        std::vector<std::string> misses = {name + name.back()};
        if (name.size() > 1) misses.push_back(name.substr(0, name.size() - 1));
        for (size_t i = 0; i < name.size(); ++i)
            for (char flip : {'\x20', '\x80'}) {
                std::string miss = name;
                miss[i] = static_cast<char>(miss[i] ^ flip);
                misses.push_back(miss);
            }
        for (const std::string& miss : misses)
            expect_refused("\"" + miss + "\" 1 2 3", miss, "");
    }
}

TEST(light_translation, values_are_taken_whatever_they_are)
{
    EXPECT_EQ(translate("style origin").output, kWorld + "\"style\" \"origin\"\n");
    // The empty key takes no value and writes nothing.
    EXPECT_EQ(translate("\"\" style 1").output, kWorld + "\"style\" \"1\"\n");
    EXPECT_EQ(translate("color \"a b\" {  \"\"").output, kWorld + "\"color\" \"a b { \"\n");
    // A missing last value is empty and the translation still succeeds.
    Translation t = translate("origin 1 2");
    EXPECT_TRUE(t.ok);
    EXPECT_EQ(t.output, kWorld + "\"origin\" \"1 2 \"\n");
    // Nesting is not checked: every brace opens a new numbered light.
    EXPECT_EQ(translate("{ { }").output,
              kWorld + "//Light 0\n{\n\"classname\" \"light\"\n//Light 1\n{\n\"classname\" "
                       "\"light\"\n}\n");
}

TEST(light_translation, a_failed_write_stops_the_translation)
{
    ScratchDir dir;
    write_file(dir / "ro", "");
    FILE* file = fopen((dir / "ro").c_str(), "rb"); // writes to it fail
    ASSERT_NE(file, nullptr);
    LightOutput out;
    out.file = file;
    // Had it gone on, it would have met the bad token at the end.
    std::string many;
    for (int i = 0; i < 20000; ++i)
        many += "{ origin 1 2 3 }\n";
    OwnedText text(many + "bogus");
    CaptureStdout();
    EXPECT_TRUE(translate_lights(text.block, &out));
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_TRUE(out.failed);
    EXPECT_FALSE(flush_light_output(&out));
    fclose(file);
}

// A text as long as the destination less its terminator fits whole; one
// byte more is cut and reported, as is a text longer than the scratch area.
// A destination of no bytes gets nothing, not even a terminator.
TEST(com_sprintf, cuts_and_reports_overflow)
{
    static char dest[100000];
    const struct {
        int size;
        std::string text;
        int kept;
        std::string message;
    } cases[] = {
        {8, "1234567", 7, ""},
        {8, "12345678", 7, "Com_sprintf: overflow of 8 in 8\n"},
        {1, "x", 0, "Com_sprintf: overflow of 1 in 1\n"},
        {1, "", 0, ""},
        {0, "x", 0, ""},
        {100000, std::string(70000, 'h'), 65535, "Com_sprintf: overflow of 70000 in 65536\n"},
    };
    for (const auto& c : cases) {
        memset(dest, '#', sizeof dest);
        CaptureStdout();
        EXPECT_EQ(Com_sprintf(dest, c.size, "%s", c.text.c_str()), c.kept) << c.size;
        EXPECT_EQ(GetCapturedStdout(), c.message) << c.size;
        // The text, its terminator, and nothing after them.
        std::string want = c.text.substr(0, static_cast<size_t>(c.kept)) +
                           std::string(c.size > 0 ? 1 : 0, '\0') + "#";
        EXPECT_EQ(std::string(dest, want.size()), want) << c.size;
    }

    CaptureStdout();
    Com_sprintf(dest, 8, "//Light %i\n", 12345);
    EXPECT_EQ(GetCapturedStdout(), "Com_sprintf: overflow of 14 in 8\n");
    EXPECT_STREQ(dest, "//Light");
}

// Values of every length up to the longest kept, over enough lights that
// the output buffer is written out many times with pieces ending right at
// its edge.
TEST(light_translation, long_outputs_match_piece_for_piece)
{
    std::string text;
    std::string expected = kWorld;
    for (int light = 0; light < 6000; ++light) {
        size_t length = static_cast<size_t>(1 + light * 7 % 40);
        if (light % 997 == 0) length = 511;
        std::string value(length, static_cast<char>('a' + light % 26));
        text += "{\norigin " + value + " \"" + value + " x\" 1\n";
        text += "style \"\"\ncolor 0 0 " + value + "\n}\n";
        expected += "//Light " + std::to_string(light) + "\n{\n\"classname\" \"light\"\n";
        std::string quoted = (value + " x").substr(0, 512); // strings keep 512 bytes
        expected += "\"origin\" \"" + value + " " + quoted + " 1\"\n";
        expected += "\"style\" \"\"\n\"color\" \"0 0 " + value + "\"\n}\n";
    }
    Translation t = translate(text);
    EXPECT_TRUE(t.ok);
    EXPECT_EQ(t.printed, "");
    ASSERT_EQ(t.output.size(), expected.size());
    EXPECT_TRUE(t.output == expected);
}
