#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tokens.h"

#include "support.h"

// Every token of `text` up to the end, and whether the cursor became null
// exactly when the empty end token came back.
static std::vector<std::string> tokens_of(const std::string& text)
{
    std::vector<std::string> out;
    OwnedText padded(text);
    const char* cursor = padded.c_str();
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
    OwnedText two_quotes("\"\" z");
    const char* cursor = two_quotes.c_str();
    EXPECT_STREQ(next_token(&cursor), "");
    EXPECT_EQ(cursor, two_quotes.c_str() + 2);
    EXPECT_STREQ(next_token(&cursor), "z");

    // An unclosed string ends at the end of the text.
    OwnedText unclosed("\"abc");
    cursor = unclosed.c_str();
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
    OwnedText with_nul(std::string("a\0b", 3));
    cursor = with_nul.c_str();
    EXPECT_STREQ(next_token(&cursor), "a");
    EXPECT_STREQ(next_token(&cursor), "");
    EXPECT_EQ(cursor, nullptr);
}

// Words and quoted strings are read sixteen bytes at a time; tokens that
// start anywhere in such a chunk and end in it, on its last byte or past it
// must come out whole, as must the end of the text right after them.
TEST(tokens, tokens_at_every_place_in_a_chunk)
{
    for (size_t lead = 0; lead < 20; ++lead) {
        for (size_t length : {1u, 2u, 14u, 15u, 16u, 17u, 31u, 32u, 33u, 511u}) {
            std::string word(length, 'w');
            for (size_t i = 0; i < length; ++i)
                word[i] = static_cast<char>('a' + (i + lead) % 26);
            std::string blanks(lead, ' ');
            for (size_t i = 0; i < lead; i += 3)
                blanks[i] = '\n';
            EXPECT_EQ(tokens_of(blanks + word + "\t" + word), (Tokens{word, word}))
                << lead << " " << length;
            EXPECT_EQ(tokens_of(blanks + word), (Tokens{word})) << lead << " " << length;
            EXPECT_EQ(tokens_of(blanks + "\"" + word + "\"" + word), (Tokens{word, word}))
                << lead << " " << length;
            EXPECT_EQ(tokens_of(blanks + "\"" + word), (Tokens{word})) << lead << " " << length;
            EXPECT_EQ(tokens_of(blanks + "//" + word + "\n" + word), (Tokens{word}))
                << lead << " " << length;
        }
    }
}

// Bytes after the terminating zero are never tokens, even when they sit in
// the chunk that holds the end.
TEST(tokens, nothing_after_the_zero_is_read_as_text)
{
    for (const std::string& text : {std::string("ab\0cd ef", 8), std::string("\"ab\0cd\" ef", 10),
                                    std::string("  \0xyz", 6), std::string("// c\0\nxyz", 9)}) {
        OwnedText padded(text);
        const char* cursor = padded.c_str();
        std::vector<std::string> got;
        while (cursor != nullptr)
            got.push_back(next_token(&cursor));
        got.pop_back(); // the empty end token
        Tokens expected;
        if (text[0] == 'a' || text[0] == '"') expected = {"ab"};
        EXPECT_EQ(got, expected) << text.substr(0, 3);
    }
}

TEST(tokens, length_matches_the_token)
{
    const char* text = "origin \"a b\"  // c\n\"\" " // then a word too long to keep
                       "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx";
    std::string long_word(600, 'L');
    OwnedText all(std::string(text) + " " + long_word + " end");
    const char* cursor = all.c_str();
    while (cursor != nullptr) {
        size_t length = 99;
        const char* token = next_token(&cursor, &length);
        EXPECT_EQ(length, strlen(token));
    }
}

// A text in a block that ends right after its lookahead bytes: the
// chunked reads stay inside it (the address sanitizer checks this).
TEST(tokens, reads_stay_within_the_lookahead)
{
    const std::string pieces[] = {"a", "word", "\"quoted\"", "\"open", "// note", "{ }", "\"\""};
    for (const std::string& piece : pieces) {
        for (size_t before = 0; before < 40; ++before) {
            std::string text = std::string(before, ' ') + piece;
            size_t size = text.size() + 1 + kTokenLookahead;
            std::unique_ptr<char[]> block(new char[size]());
            memcpy(block.get(), text.c_str(), text.size());
            const char* cursor = block.get();
            std::vector<std::string> got;
            while (cursor != nullptr)
                got.push_back(next_token(&cursor));
            got.pop_back(); // the empty end token
            EXPECT_EQ(got, tokens_of(text)) << before << " " << piece;
        }
    }
}

// Cases that reach the scan's slower paths: a word starting right after a
// comment line, a word starting with the highest ordinary byte, and a long
// unclosed string cut by a zero byte.
TEST(tokens, words_and_strings_after_comments_and_at_the_edges_of_the_classes)
{
    std::string long_slash = "/" + std::string(20, 'p');
    EXPECT_EQ(tokens_of("// note\n" + long_slash + " x"), (Tokens{long_slash, "x"}));
    EXPECT_EQ(tokens_of("//\n/" + std::string(15, 'q')), (Tokens{"/" + std::string(15, 'q')}));

    std::string del_word = "\x7f" + std::string(30, 'd');
    EXPECT_EQ(tokens_of("  " + del_word + " y"), (Tokens{del_word, "y"}));
    EXPECT_EQ(tokens_of(std::string(40, ' ') + "\x7f\x7f"), (Tokens{"\x7f\x7f"}));

    std::string open(100, 's');
    EXPECT_EQ(tokens_of("\"" + open + std::string("\0more text\"", 11)), (Tokens{open}));
    EXPECT_EQ(tokens_of("  \"" + open + std::string(1, '\0') + " after"), (Tokens{open}));
}
