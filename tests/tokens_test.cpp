#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "token_oracle.h"
#include "token_scan.h"
#include "tokens.h"

#include "support.h"

// Every token of `text` up to the end, and whether the cursor became null
// exactly when the empty end token came back. Each call is checked against
// the byte-at-a-time oracle (token_oracle.h), and so are the scans the
// translation keeps from token to token: one telling strings by a branch as
// for keys, one by masks as for values, one taking turns as a key line does,
// and a masked scan started afresh at each cursor.
static void expect_token(const TokenView& got, const char* after, const std::string& token,
                         const char* what, size_t index)
{
    EXPECT_EQ(std::string(copy_token(got)), token) << what << ", token " << index;
    EXPECT_EQ(got.length, token.size()) << what << ", token " << index;
    EXPECT_EQ(got.after, after) << what << ", token " << index;
}

static std::vector<std::string> tokens_of(const std::string& text)
{
    std::vector<std::string> out;
    OwnedText padded(text);
    const char* cursor = padded.c_str();
    const char* reference = padded.c_str();
    TokenScan keys;
    TokenScan values;
    TokenScan turns;
    start_scan(&keys, padded.c_str());
    start_scan(&values, padded.c_str());
    start_scan(&turns, padded.c_str());
    for (int guard = 0; guard < 1000; ++guard) {
        TokenScan fresh;
        const char* before = cursor;
        size_t length = 0;
        std::string token(next_token(&cursor, &length));
        size_t reference_length = 0;
        EXPECT_EQ(next_token_bytewise(&reference, &reference_length), token)
            << "token " << out.size();
        EXPECT_EQ(length, reference_length) << "token " << out.size();
        EXPECT_EQ(cursor, reference) << "token " << out.size();
        expect_token(scan_next(&keys), cursor, token, "kept scan", out.size());
        expect_token(scan_value(&values), cursor, token, "kept masked scan", out.size());
        expect_token(out.size() % 2 == 0 ? scan_next(&turns) : scan_value(&turns), cursor, token,
                     "scan taking turns", out.size());
        if (before != nullptr) {
            start_scan(&fresh, before);
            expect_token(scan_value(&fresh), cursor, token, "fresh masked scan", out.size());
        }
        reference = cursor;
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

    std::string x73(73, 'x');
    std::string l600(600, 'L');
    EXPECT_EQ(tokens_of("origin \"a b\"  // c\n\"\" " + x73 + " " + l600 + " end"),
              (Tokens{"origin", "a b", "", x73, "", "end"}));
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
    // A zero byte ends the text even when more follows it in its chunk.
    EXPECT_EQ(tokens_of(std::string("ab\0cd ef", 8)), (Tokens{"ab"}));
    EXPECT_EQ(tokens_of(std::string("\"ab\0cd\" ef", 10)), (Tokens{"ab"}));
    EXPECT_EQ(tokens_of(std::string("  \0xyz", 6)), Tokens{});
    EXPECT_EQ(tokens_of(std::string("// c\0\nxyz", 9)), Tokens{});

    // A null cursor gives the empty token and length, whatever the call
    // before left in the caller's length.
    OwnedText word("word");
    const char* cursor = word.c_str();
    size_t length = 0;
    EXPECT_STREQ(next_token(&cursor, &length), "word");
    EXPECT_EQ(length, 4u);
    cursor = nullptr;
    EXPECT_STREQ(next_token(&cursor, &length), "");
    EXPECT_EQ(length, 0u);
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

// A text in a block that ends right after its padding: the block reads and
// chunk copies stay inside it (the address sanitizer checks this).
TEST(tokens, reads_stay_within_the_lookahead)
{
    const std::pair<std::string, Tokens> pieces[] = {
        {"a", {"a"}},         {"word", {"word"}}, {"\"quoted\"", {"quoted"}},
        {"\"open", {"open"}}, {"// note", {}},    {"{ }", {"{", "}"}},
        {"\"\"", {""}},
    };
    for (const auto& piece : pieces)
        for (size_t before = 0; before < kScanBlock + 8; ++before)
            EXPECT_EQ(tokens_of(std::string(before, ' ') + piece.first), piece.second)
                << before << " " << piece.first;
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

// The block scan carries state from one 64-byte block of the text to the
// next, and from one call to the next. Each case below puts the carry at
// every offset of a block: `lead` bytes come before the token under test,
// a one-byte word first where there is room (so that the scan reaches the
// token from what it kept of the call before), then separators.
static std::string lead_of(size_t lead)
{
    std::string bytes(lead, ' ');
    for (size_t i = 1; i < lead; i += 5)
        bytes[i] = '\n';
    if (lead >= 2) bytes[0] = 'a';
    return bytes;
}

static Tokens after_lead(size_t lead, Tokens tokens)
{
    if (lead >= 2) tokens.insert(tokens.begin(), "a");
    return tokens;
}

// Ordinary bytes that also hold the characters a scan might stop at.
static std::string word_of(size_t length)
{
    std::string word(length, 'w');
    for (size_t i = 0; i < length; ++i)
        word[i] = i == 0 ? 'x' : "ab\"/{}c/"[i % 8];
    return word;
}

TEST(tokens, words_that_run_across_blocks)
{
    for (size_t lead = 0; lead < kScanBlock; ++lead) {
        size_t to_edge = kScanBlock - lead;
        for (size_t length :
             {size_t{1}, size_t{15}, size_t{16}, size_t{31}, size_t{32}, size_t{33}, to_edge - 1,
              to_edge, to_edge + 1, to_edge + kScanBlock, to_edge + kScanBlock + 1, size_t{200}}) {
            if (length == 0) continue;
            std::string word = word_of(length);
            EXPECT_EQ(tokens_of(lead_of(lead) + word + "\tz"), after_lead(lead, {word, "z"}))
                << lead << " " << length;
            EXPECT_EQ(tokens_of(lead_of(lead) + word), after_lead(lead, {word}))
                << lead << " " << length;
        }
    }
}

// Strings that end before, on and after the last byte of a block, then a
// word right after the closing quote, which is a token of its own.
TEST(tokens, strings_that_run_across_blocks)
{
    for (size_t lead = 0; lead < kScanBlock; ++lead) {
        size_t to_edge = kScanBlock - lead; // the quote, then the string's bytes
        for (size_t length : {size_t{0}, size_t{15}, size_t{16}, size_t{31}, size_t{32}, size_t{33},
                              to_edge - 2, to_edge - 1, to_edge, to_edge + kScanBlock - 2,
                              to_edge + kScanBlock + 5, size_t{150}}) {
            if (length > kMaxToken) continue;
            std::string inside = word_of(length);
            for (size_t i = 0; i < length; ++i)
                if (inside[i] == '"') inside[i] = i % 3 == 0 ? ' ' : '\n';
            std::string quoted = lead_of(lead) + "\"" + inside + "\"";
            EXPECT_EQ(tokens_of(quoted + "y z"), after_lead(lead, {inside, "y", "z"}))
                << lead << " " << length;
            EXPECT_EQ(tokens_of(quoted + " y"), after_lead(lead, {inside, "y"}))
                << lead << " " << length;
            EXPECT_EQ(tokens_of(quoted), after_lead(lead, {inside})) << lead << " " << length;
            EXPECT_EQ(tokens_of(lead_of(lead) + "\"" + inside), after_lead(lead, {inside}))
                << lead << " " << length;
        }
    }
}

TEST(tokens, comments_that_end_in_a_later_block)
{
    for (size_t lead = 0; lead < kScanBlock; ++lead) {
        size_t to_edge = kScanBlock - lead; // the slashes, then the comment's bytes
        for (size_t length : {size_t{0}, to_edge - 3, to_edge - 2, to_edge - 1,
                              to_edge + kScanBlock, size_t{300}}) {
            if (length > 1000) continue;
            std::string note = word_of(length) + "\"";
            std::string comment = lead_of(lead) + "//" + note;
            EXPECT_EQ(tokens_of(comment + "\nw \"q\""), after_lead(lead, {"w", "q"}))
                << lead << " " << length;
            EXPECT_EQ(tokens_of(comment + "\n//\n\"q\""), after_lead(lead, {"q"}))
                << lead << " " << length;
            EXPECT_EQ(tokens_of(comment), after_lead(lead, {})) << lead << " " << length;
        }
    }
}

// A quoted value without blanks is a run of its own, and the masked scan
// takes it whole when its quotes are exactly the run's first and last
// bytes. Runs that only look so, a lone quote, quotes inside the run or a
// word after the closing quote, must still come out as the oracle has
// them, at every offset of a block.
TEST(tokens, quoted_runs_at_every_offset)
{
    const std::pair<std::string, Tokens> cases[] = {
        {"\"v\"", {"v"}},
        {"\"\"", {""}},
        {"\"vw\"x", {"vw", "x"}},
        {"\"v\"w\"", {"v", "w\""}},
        {"\"v\"\"w\"", {"v", "w"}},
        {"\"v\"\"", {"v", " z"}},
        {"x\"v\"", {"x\"v\""}},
        {"\"", {" z"}},
        {"\"v w\"", {"v w"}},
        {"\"//\"", {"//"}},
        {"\"" + std::string(40, 'q') + "\"", {std::string(40, 'q')}},
    };
    for (size_t lead = 0; lead < kScanBlock; ++lead) {
        for (const auto& c : cases) {
            Tokens expected = after_lead(lead, c.second);
            if (expected.back() != " z") expected.push_back("z");
            EXPECT_EQ(tokens_of(lead_of(lead) + c.first + " z"), expected)
                << lead << " " << c.first;
        }
    }
}

// The 512-byte limits, with the limit's edge at every offset of a block.
TEST(tokens, the_token_limits_across_blocks)
{
    for (size_t lead = 0; lead < kScanBlock; ++lead) {
        for (size_t length : {kMaxToken - 1, kMaxToken, kMaxToken + 1}) {
            std::string word = word_of(length);
            Tokens kept_word = length < kMaxToken ? Tokens{word, "z"} : Tokens{"", "z"};
            EXPECT_EQ(tokens_of(lead_of(lead) + word + " z"), after_lead(lead, kept_word))
                << lead << " " << length;

            std::string inside(length, 's');
            for (size_t i = 0; i < length; i += 7)
                inside[i] = ' ';
            EXPECT_EQ(tokens_of(lead_of(lead) + "\"" + inside + "\"z"),
                      after_lead(lead, {inside.substr(0, kMaxToken), "z"}))
                << lead << " " << length;
        }
    }
}

// The end of the text at every offset of two blocks, after each kind of
// token and after separators.
TEST(tokens, the_end_at_every_offset)
{
    for (size_t size = 1; size <= 2 * kScanBlock; ++size) {
        std::string word = word_of(size);
        EXPECT_EQ(tokens_of(word), (Tokens{word})) << size;
        EXPECT_EQ(tokens_of("a " + word), (Tokens{"a", word})) << size;
        EXPECT_EQ(tokens_of(std::string(size - 1, ' ') + "v"), (Tokens{"v"})) << size;
        EXPECT_EQ(tokens_of("v" + std::string(size - 1, '\t')), (Tokens{"v"})) << size;
        std::string inside(size - 1, 's');
        EXPECT_EQ(tokens_of("\"" + inside + "\""), (Tokens{inside})) << size;
        EXPECT_EQ(tokens_of("a \"" + inside + "\""), (Tokens{"a", inside})) << size;
        EXPECT_EQ(tokens_of("a \"" + inside), (Tokens{"a", inside})) << size;
        EXPECT_EQ(tokens_of("v //" + std::string(size - 1, 'c')), (Tokens{"v"})) << size;
    }
}

// Two texts read in turns: a cursor alone says where each one stands.
TEST(tokens, two_texts_read_in_turns)
{
    OwnedText first("alpha beta \"gamma\" delta");
    OwnedText second("one \"two\" three four");
    const char* a = first.c_str();
    const char* b = second.c_str();
    Tokens got;
    while (a != nullptr || b != nullptr) {
        got.push_back(next_token(&a));
        got.push_back(next_token(&b));
    }
    EXPECT_EQ(got,
              (Tokens{"alpha", "one", "beta", "two", "gamma", "three", "delta", "four", "", ""}));
}
