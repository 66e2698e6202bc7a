// The keys of a light list and what each turns into, as compile-time data,
// with the sizes other code relies on derived from it.
#pragma once

#include <cstddef>
#include <cstring>

#include "token_scan.h"
#include "tokens.h"

enum class KeyAction {
    OpenLight,  // numbered comment, "{", the light class line
    CloseLight, // "}"
    KeyLine,    // "key" "values joined by spaces"
    NoShadow,   // the two no-shadow lines
    Drop,       // values read and thrown away
};

struct LightKey {
    const char* token; // matched whole and case-sensitively
    int values;        // tokens that follow and belong to this key
    KeyAction action;
};

inline constexpr LightKey kLightKeys[] = {
    {"{", 0, KeyAction::OpenLight},
    {"}", 0, KeyAction::CloseLight},
    {"origin", 3, KeyAction::KeyLine},
    {"center", 3, KeyAction::Drop},
    {"radius", 3, KeyAction::KeyLine},
    {"style", 1, KeyAction::KeyLine},
    {"material", 1, KeyAction::Drop},
    {"color", 3, KeyAction::KeyLine},
    {"noShadows", 0, KeyAction::NoShadow},
    {"parallel", 0, KeyAction::Drop},
    {"materialParm3", 1, KeyAction::Drop},
    {"angles", 3, KeyAction::KeyLine},
    {"", 0, KeyAction::Drop},
};
inline constexpr size_t kLightKeyCount = sizeof kLightKeys / sizeof kLightKeys[0];

// Fixed output texts, written as they stand.
inline constexpr char kWorldHeader[] =
    "{\n\"classname\" \"worldspawn\"\n\"ambient\" \"0.01 0.01 0.01\"\n}\n";
inline constexpr char kLightClassLine[] = "\"classname\" \"light\"";
inline constexpr char kNoShadowLines[] = "\"noshadow\" \"1\"\n\"noshadow2\" \"1\"";

// The light comment is formatted into a buffer of this size.
inline constexpr size_t kLightCommentSize = 576;

constexpr size_t text_length(const char* text)
{
    size_t n = 0;
    while (text[n] != '\0')
        ++n;
    return n;
}

// The most one key can append: a key line holds a double quote, the key, a
// double quote, a space, a double quote, the values joined by spaces, a
// double quote and a newline.
constexpr size_t step_length(const LightKey& key)
{
    switch (key.action) {
    case KeyAction::OpenLight:
        return kLightCommentSize - 1 + 2 + text_length(kLightClassLine) + 1;
    case KeyAction::CloseLight:
        return 2;
    case KeyAction::KeyLine:
        return 4 + text_length(key.token) + static_cast<size_t>(key.values) * (kMaxToken + 1) + 2;
    case KeyAction::NoShadow:
        return text_length(kNoShadowLines) + 1;
    case KeyAction::Drop:
        return 0;
    }
    return 0;
}

constexpr size_t longest_step()
{
    size_t longest = text_length(kWorldHeader);
    // std::accumulate is not constexpr before C++20.
    for (const LightKey& key : kLightKeys)
        // cppcheck-suppress useStlAlgorithm
        longest = step_length(key) > longest ? step_length(key) : longest;
    return longest;
}

// Appends may copy whole blocks past what they count: a key line's prefix
// is copied as kKeyPrefixRoom bytes and short values as kTokenReadable.
inline constexpr size_t kKeyPrefixRoom = 32;
inline constexpr size_t kCopySlack =
    kKeyPrefixRoom > kTokenReadable ? kKeyPrefixRoom : kTokenReadable;

// Bytes one step of the translation (the world header, or one key with its
// values) may append without a check of its own, copy slack included.
inline constexpr size_t kStepRoom = longest_step() + kCopySlack;

constexpr size_t longest_key()
{
    size_t longest = 0;
    for (const LightKey& key : kLightKeys)
        // cppcheck-suppress useStlAlgorithm
        longest = text_length(key.token) > longest ? text_length(key.token) : longest;
    return longest;
}
inline constexpr size_t kLongestKey = longest_key();
static_assert(kLongestKey + 4 <= kKeyPrefixRoom, "a key line's start fits its prepared prefix");

// A key of kLightKeys ready to be written: the start of its key line
// (double quote, key, double quote, space, double quote) is prepared and
// copied as one kKeyPrefixRoom block.
struct PreparedKey {
    const char* token;
    size_t length;
    KeyAction action;
    int values;
    char prefix[kKeyPrefixRoom];
    size_t prefix_length;
};

struct PreparedKeys {
    PreparedKey keys[kLightKeyCount];
};

constexpr PreparedKeys prepare_keys()
{
    PreparedKeys table{};
    for (size_t k = 0; k < kLightKeyCount; ++k) {
        const LightKey& key = kLightKeys[k];
        PreparedKey& prepared = table.keys[k];
        size_t length = text_length(key.token);
        prepared.token = key.token;
        prepared.length = length;
        prepared.action = key.action;
        prepared.values = key.values;
        prepared.prefix[0] = '"';
        for (size_t i = 0; i < length; ++i)
            prepared.prefix[1 + i] = key.token[i];
        prepared.prefix[1 + length] = '"';
        prepared.prefix[2 + length] = ' ';
        prepared.prefix[3 + length] = '"';
        prepared.prefix_length = length + 4;
    }
    return table;
}

inline constexpr PreparedKeys kPreparedKeys = prepare_keys();

// The key that `token` (of `length` bytes) names, or null when it names none.
inline const PreparedKey* find_light_key(const char* token, size_t length)
{
    for (const PreparedKey& key : kPreparedKeys.keys)
        if (key.length == length && memcmp(key.token, token, length) == 0) return &key;
    return nullptr;
}
