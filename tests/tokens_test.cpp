#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tokens.h"

#include "support.h"

using Tokens = std::vector<std::string>;

// Every token of `text` before the end. The empty token counts only while
// the cursor stays in the text; at the end it must come back with a null
// cursor, and again on every later call.
static Tokens tokens_of(const std::string& text)
{
    Tokens out;
    OwnedText loaded(text);
    const char* cursor = loaded.c_str();
    for (size_t guard = 0; guard <= text.size() + 1; ++guard) {
        std::string token(read_token(&cursor));
        if (cursor == nullptr) {
            EXPECT_EQ(token, "");
            EXPECT_EQ(read_token(&cursor), "");
            EXPECT_EQ(cursor, nullptr);
            return out;
        }
        out.push_back(token);
    }
    ADD_FAILURE() << "no end of text";
    return out;
}

TEST(tokens, the_token_rules)
{
    const std::string w511(511, 'w');
    const std::string w512(512, 'w');
    std::string s600(600, 's');
    for (size_t i = 0; i < s600.size(); ++i)
        s600[i] = static_cast<char>('a' + i % 26);
    const std::string s512 = s600.substr(0, 512);

    const struct {
        std::string text;
        Tokens tokens;
    } cases[] = {
        // Separators: blanks, control bytes, and every byte from 0x80 up,
        // which also ends a word; 0x7f is the highest ordinary byte.
        {"origin\t1 2 3", {"origin", "1", "2", "3"}},
        {"\r\n  a\r\n\x01 b \n", {"a", "b"}},
        {"one\xa0two", {"one", "two"}},
        {"caf\xe9s", {"caf", "s"}},
        {"\xff\x80 \x7f", {"\x7f"}},
        // Comments run to the newline, which is left to separate; one
        // slash, or two after a word's first byte, is part of a word.
        {"// a comment\n{", {"{"}},
        {"//\n//\n\n// c\ny", {"y"}},
        {"x // to the end", {"x"}},
        {"a// b", {"a//", "b"}},
        {"/x", {"/x"}},
        // Braces and quotes inside a word are ordinary.
        {"{origin x\"y }", {"{origin", "x\"y", "}"}},
        // Strings keep blanks, slashes, newlines and high bytes; two quotes
        // in a row give an empty token and the text goes on after them.
        {"\"two words\" next", {"two words", "next"}},
        {"\"a // b\nc\xe9\"", {"a // b\nc\xe9"}},
        {"\"x\"\"y\"", {"x", "y"}},
        {"\"\" z", {"", "z"}},
        // An unclosed string ends at the end of the text, which the next
        // call reports.
        {"\"abc", {"abc"}},
        // Words of kMaxToken bytes or more are dropped whole, the reader
        // standing after them; strings keep their first kMaxToken bytes.
        {w511 + " x", {w511, "x"}},
        {w512 + " x", {"", "x"}},
        {"\"" + s512 + "\" x", {s512, "x"}},
        {"\"" + s600 + "\" x", {s512, "x"}},
        // The end of the text: nothing, blanks alone, a comment alone, and
        // a zero byte wherever it stands.
        {"", {}},
        {" \n\t ", {}},
        {"// only a comment", {}},
        {std::string("ab\0cd ef", 8), {"ab"}},
        {std::string("\"ab\0cd\" ef", 10), {"ab"}},
        {std::string("// c\0\nxyz", 9), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tokens_of(c.text), c.tokens) << c.text;
}
