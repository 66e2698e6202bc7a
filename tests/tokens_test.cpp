#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tokens.h"

// Every token of `text` up to the end, and whether the cursor became null
// exactly when the empty end token came back.
static std::vector<std::string> tokens_of(const std::string& text)
{
    std::vector<std::string> out;
    const char* cursor = text.c_str();
    for (int guard = 0; guard < 1000; ++guard) {
        std::string token = next_token(&cursor);
        if (cursor == nullptr) {
            EXPECT_EQ(token, "");
            EXPECT_STREQ(next_token(&cursor), ""); // stays at the end
            return out;
        }
        out.push_back(token);
    }
    ADD_FAILURE() << "no end of text";
    return out;
}

using Tokens = std::vector<std::string>;

TEST(tokens, separators_and_comments)
{
    EXPECT_EQ(tokens_of("origin\t1 2 3"), (Tokens{"origin", "1", "2", "3"}));
    EXPECT_EQ(tokens_of("\r\n  a\r\n\x01 b \n"), (Tokens{"a", "b"}));
    EXPECT_EQ(tokens_of("// a comment\n{"), (Tokens{"{"}));
    EXPECT_EQ(tokens_of("a// b"), (Tokens{"a//", "b"}));
    EXPECT_EQ(tokens_of("/x"), (Tokens{"/x"}));
    EXPECT_EQ(tokens_of("x // to the end"), (Tokens{"x"}));
    EXPECT_EQ(tokens_of("//\n//\n\n// c\ny"), (Tokens{"y"}));
    EXPECT_EQ(tokens_of("{origin x\"y }"), (Tokens{"{origin", "x\"y", "}"}));
}

TEST(tokens, quoted_strings)
{
    EXPECT_EQ(tokens_of("\"two words\" next"), (Tokens{"two words", "next"}));
    EXPECT_EQ(tokens_of("\"a // b\nc\""), (Tokens{"a // b\nc"}));
    EXPECT_EQ(tokens_of("\"x\"\"y\""), (Tokens{"x", "y"}));

    // Two quotes in a row give an empty token while the text goes on.
    const char* text = "\"\" z";
    const char* cursor = text;
    EXPECT_STREQ(next_token(&cursor), "");
    EXPECT_EQ(cursor, text + 2);
    EXPECT_STREQ(next_token(&cursor), "z");

    // An unclosed string ends at the end of the text.
    text = "\"abc";
    cursor = text;
    EXPECT_STREQ(next_token(&cursor), "abc");
    EXPECT_NE(cursor, nullptr);
    EXPECT_STREQ(next_token(&cursor), "");
    EXPECT_EQ(cursor, nullptr);
}

TEST(tokens, over_long_words_and_strings)
{
    std::string w511(511, 'w');
    std::string w512(512, 'w');
    EXPECT_EQ(tokens_of(w511 + " x"), (Tokens{w511, "x"}));
    EXPECT_EQ(tokens_of(w512 + " x"), (Tokens{"", "x"}));
    EXPECT_EQ(tokens_of(std::string(100000, '{') + " x"), (Tokens{"", "x"}));

    std::string s600(600, 's');
    for (size_t i = 0; i < s600.size(); ++i)
        s600[i] = static_cast<char>('a' + i % 26);
    EXPECT_EQ(tokens_of("\"" + s600 + "\" x"), (Tokens{s600.substr(0, 512), "x"}));
}

TEST(tokens, bytes_from_0x80_up_separate)
{
    EXPECT_EQ(tokens_of("one\xa0two"), (Tokens{"one", "two"}));
    EXPECT_EQ(tokens_of("caf\xe9s"), (Tokens{"caf", "s"}));
    EXPECT_EQ(tokens_of("\xff\x80\xc3\xa9"), Tokens{});
    EXPECT_EQ(tokens_of("\"caf\xc3\xa9\""), (Tokens{"caf\xc3\xa9"}));
    EXPECT_EQ(tokens_of("\x7f"), (Tokens{"\x7f"}));
}

TEST(tokens, end_of_text)
{
    EXPECT_EQ(tokens_of(""), Tokens{});
    EXPECT_EQ(tokens_of(" \n\t "), Tokens{});
    EXPECT_EQ(tokens_of("// only a comment"), Tokens{});
    const char* cursor = nullptr;
    EXPECT_STREQ(next_token(&cursor), "");
    // A zero byte ends the text even when more follows it.
    std::string with_nul("a\0b", 3);
    cursor = with_nul.c_str();
    EXPECT_STREQ(next_token(&cursor), "a");
    EXPECT_STREQ(next_token(&cursor), "");
    EXPECT_EQ(cursor, nullptr);
}
