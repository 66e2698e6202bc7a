// The keys of a light list and what each turns into, as compile-time data,
// and the fixed texts of the output.
#pragma once

#include <cstddef>
#include <string_view>

enum class KeyAction {
    OpenLight,  // numbered comment, "{", the light class line
    CloseLight, // "}"
    KeyLine,    // "key" "values joined by spaces"
    NoShadow,   // the two no-shadow lines
    Drop,       // values read and thrown away
};

struct LightKey {
    std::string_view token; // matched whole and case-sensitively
    int values;             // tokens that follow and belong to this key
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

// Fixed output texts, written as they stand.
inline constexpr char kWorldHeader[] =
    "{\n\"classname\" \"worldspawn\"\n\"ambient\" \"0.01 0.01 0.01\"\n}\n";
inline constexpr char kLightClassLine[] = "\"classname\" \"light\"";
inline constexpr char kNoShadowLines[] = "\"noshadow\" \"1\"\n\"noshadow2\" \"1\"";

// The light comment is formatted into a buffer of this size.
inline constexpr size_t kLightCommentSize = 576;
