// The keys of a light list and what each turns into, as compile-time data,
// with the bounds that other files rely on checked against it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "light_output.h"
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
static_assert(longest_step() + kCopySlack <= kStepRoom,
              "a key of kLightKeys writes more than one step of the output may hold");

constexpr size_t longest_key()
{
    size_t longest = 0;
    for (const LightKey& key : kLightKeys)
        // cppcheck-suppress useStlAlgorithm
        longest = text_length(key.token) > longest ? text_length(key.token) : longest;
    return longest;
}
inline constexpr size_t kLongestKey = longest_key();
static_assert(kLongestKey + 4 <= kKeyPrefixRoom, "a key line's start fits its slot's prefix");

// Keys are found through an open-addressed table at most half full.
inline constexpr size_t kKeySlots = 64;
static_assert(2 * kLightKeyCount <= kKeySlots, "kLightKeys has more keys than the slots allow");

// A recognised key, ready to be written: the start of its key line
// (double quote, key, double quote, space, double quote) is prepared.
// Aligned to a power of two, a slot's address is its index shifted.
struct alignas(128) KeySlot {
    const LightKey* key;
    size_t length;
    KeyAction action; // the key's, kept here to spare a load per token
    int values;
    uint64_t words[2]; // the key's first sixteen bytes, zero-filled
    uint64_t masks[2]; // which of those bytes belong to the key
    char prefix[kKeyPrefixRoom];
    size_t prefix_length;
};

// The slot of the key that `token` (of `length` bytes, readable for
// kTokenReadable bytes) names, or null when it names none (defined below).

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#error "key words are compared as little-endian loads"
#endif

// Slots are hashed on the token's length and first byte; a key whose slot
// is taken goes to the next free one. The multiplier leaves every key of
// kLightKeys in its own slot, and then that slot alone says whether a token
// is a key.
inline constexpr size_t key_slot(unsigned char first, size_t length)
{
    return (static_cast<size_t>(first) * 2 + length) & (kKeySlots - 1);
}

// A free slot's length matches no token.
inline constexpr size_t kFreeSlot = ~size_t{0};

struct KeySlotTable {
    KeySlot slots[kKeySlots];
    bool displaced; // some key lies beyond its own slot
};

constexpr KeySlotTable build_key_slots()
{
    KeySlotTable table{};
    for (KeySlot& slot : table.slots)
        slot.length = kFreeSlot;
    for (const LightKey& key : kLightKeys) {
        size_t length = text_length(key.token);
        size_t at = key_slot(static_cast<unsigned char>(key.token[0]), length);
        while (table.slots[at].key != nullptr) {
            at = (at + 1) & (kKeySlots - 1);
            table.displaced = true;
        }
        KeySlot& slot = table.slots[at];
        slot.key = &key;
        slot.length = length;
        slot.action = key.action;
        slot.values = key.values;
        for (size_t i = 0; i < length && i < 16; ++i) {
            slot.words[i / 8] |= uint64_t{static_cast<unsigned char>(key.token[i])}
                                 << (8 * (i % 8));
            slot.masks[i / 8] |= uint64_t{0xff} << (8 * (i % 8));
        }
        slot.prefix[0] = '"';
        for (size_t i = 0; i < length; ++i)
            slot.prefix[1 + i] = key.token[i];
        slot.prefix[1 + length] = '"';
        slot.prefix[2 + length] = ' ';
        slot.prefix[3 + length] = '"';
        slot.prefix_length = length + 4;
    }
    return table;
}

inline constexpr KeySlotTable kKeySlotTable = build_key_slots();

// Inline: the lookup runs once per token, and a call costs a tenth of it.
inline const KeySlot* find_light_key(const char* token, size_t length)
{
    // Most comparisons are two masked word compares of the first sixteen
    // bytes; longer keys compare the rest byte by byte.
    uint64_t words[2];
    memcpy(words, token, 16);
    static_assert(kTokenReadable >= 16, "two words of the token can be read");
    size_t at = key_slot(static_cast<unsigned char>(token[0]), length);
    for (;;) {
        const KeySlot& slot = kKeySlotTable.slots[at];
        // Length and both masked words as one test: zero when all match.
        uint64_t differ = (slot.length ^ length) | ((words[0] ^ slot.words[0]) & slot.masks[0]) |
                          ((words[1] ^ slot.words[1]) & slot.masks[1]);
        if (differ == 0 && (kLongestKey <= 16 || length <= 16 ||
                            memcmp(slot.key->token + 16, token + 16, length - 16) == 0))
            return &slot;
        // Free slots end the probe; with no key displaced the first slot
        // is the only one a key can be in.
        if (!kKeySlotTable.displaced || slot.key == nullptr) return nullptr;
        at = (at + 1) & (kKeySlots - 1);
    }
}
