#include "lights.h"

#include <cstdint>
#include <cstring>

#include "com_sprintf.h"
#include "frame.h"
#include "tokens.h"

const LightKey kLightKeys[] = {
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
const size_t kLightKeyCount = sizeof kLightKeys / sizeof kLightKeys[0];

int g_light_number;

static const char kWorldHeader[] =
    "{\n\"classname\" \"worldspawn\"\n\"ambient\" \"0.01 0.01 0.01\"\n}\n";
static const char kLightClassLine[] = "\"classname\" \"light\"";
static const char kNoShadowLines[] = "\"noshadow\" \"1\"\n\"noshadow2\" \"1\"";

// Every fresh page of the buffer costs a page fault, so it is no larger
// than a few write calls per megabyte need: a larger one was measured to
// be slower on short lists and no faster on a 100 MB one.
constexpr size_t kOutputBufferSize = size_t{1} << 16;
// Room that every step of the translation may fill without a check: the
// longest key line (three values of kMaxToken bytes) and the slack of the
// sixteen-byte copies of short values.
constexpr size_t kStepRoom = 4 * kMaxToken + 64;
static char g_output_buffer[kOutputBufferSize + 32];

static void write_raw(LightOutput* out, const char* data, size_t size)
{
    if (out->failed) return;
    if (size > 0 && fwrite(data, 1, size, out->file) != size) out->failed = true;
}

bool flush_light_output(LightOutput* out)
{
    write_raw(out, g_output_buffer, out->used);
    out->used = 0;
    return !out->failed;
}

// Makes room for one step of the translation, so that the appends below
// need no check of their own.
static inline void reserve_step(LightOutput* out)
{
    if (kOutputBufferSize - out->used < kStepRoom) flush_light_output(out);
}

static inline void append(LightOutput* out, const char* data, size_t size)
{
    memcpy(g_output_buffer + out->used, data, size);
    out->used += size;
}

template <size_t N> static inline void append_literal(LightOutput* out, const char (&text)[N])
{
    append(out, text, N - 1);
}

// Short tokens are copied as one sixteen-byte block whose tail the next
// append overwrites; the token buffer and the output buffer both have room.
static inline void append_token(LightOutput* out, const char* token, size_t length)
{
    if (length <= static_cast<size_t>(kTokenReadable))
        memcpy(g_output_buffer + out->used, token, kTokenReadable);
    else
        memcpy(g_output_buffer + out->used, token, length);
    out->used += length;
}

// Keys are found through a small open-addressed table built from
// kLightKeys, hashed on the token's length and first byte. Each slot keeps
// the key's first sixteen bytes as two words, so that most comparisons are
// two masked word compares, and the start of its key line.
constexpr size_t kKeySlots = 64;
constexpr size_t kPrefixRoom = 32;
struct KeySlot {
    const LightKey* key;
    size_t length;
    uint64_t words[2];
    uint64_t masks[2];
    char prefix[kPrefixRoom]; // a double quote, the key, a double quote, a space, a double quote
    size_t prefix_length;
};
static KeySlot g_key_slots[kKeySlots];
static bool g_key_slots_built;

static inline size_t key_slot(const char* token, size_t length)
{
    return (static_cast<size_t>(static_cast<unsigned char>(token[0])) * 7 + length) &
           (kKeySlots - 1);
}

static void build_key_slots()
{
    if (g_key_slots_built) return;
    g_key_slots_built = true;
    for (size_t i = 0; i < kLightKeyCount; ++i) {
        const char* token = kLightKeys[i].token;
        size_t length = strlen(token);
        size_t at = key_slot(token, length);
        while (g_key_slots[at].key != nullptr)
            at = (at + 1) & (kKeySlots - 1);
        KeySlot& slot = g_key_slots[at];
        slot.key = &kLightKeys[i];
        slot.length = length;
        char head[16] = {};
        memcpy(head, token, length < 16 ? length : 16);
        memcpy(slot.words, head, 16);
        for (size_t w = 0; w < 2; ++w) {
            size_t bytes = length > 8 * w ? length - 8 * w : 0;
            slot.masks[w] = bytes >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * bytes)) - 1;
        }
        if (length + 4 <= kPrefixRoom) {
            slot.prefix[0] = '"';
            memcpy(slot.prefix + 1, token, length);
            memcpy(slot.prefix + 1 + length, "\" \"", 3);
            slot.prefix_length = length + 4;
        }
    }
}

// The slot of the key that `token` names, or null. The token buffer can be
// read for kTokenReadable bytes whatever the token's length.
static const KeySlot* find_key(const char* token, size_t length)
{
    uint64_t words[2];
    memcpy(words, token, 16);
    for (size_t at = key_slot(token, length); g_key_slots[at].key != nullptr;
         at = (at + 1) & (kKeySlots - 1)) {
        const KeySlot& slot = g_key_slots[at];
        if (slot.length != length) continue;
        if (((words[0] ^ slot.words[0]) & slot.masks[0]) != 0 ||
            ((words[1] ^ slot.words[1]) & slot.masks[1]) != 0)
            continue;
        if (length <= 16 || memcmp(slot.key->token + 16, token + 16, length - 16) == 0)
            return &slot;
    }
    return nullptr;
}

static void open_light(LightOutput* out)
{
    char comment[576];
    Com_sprintf(comment, sizeof comment, "//Light %i\n", g_light_number);
    ++g_light_number;
    append(out, comment, strlen(comment));
    append_literal(out, "{\n");
    append_literal(out, kLightClassLine);
    append_literal(out, "\n");
}

// Values are read one at a time, right before each is written, since every
// token shares the one buffer.
static void write_key_line(LightOutput* out, const KeySlot& slot, const char** cursor)
{
    if (slot.prefix_length != 0) {
        memcpy(g_output_buffer + out->used, slot.prefix, kPrefixRoom);
        out->used += slot.prefix_length;
    } else {
        append_literal(out, "\"");
        append(out, slot.key->token, slot.length);
        append_literal(out, "\" \"");
    }
    for (int i = 0; i < slot.key->values; ++i) {
        if (i > 0) append_literal(out, " ");
        size_t length;
        const char* value = next_token(cursor, &length);
        append_token(out, value, length);
    }
    append_literal(out, "\"\n");
}

bool translate_lights(const char* text, LightOutput* out)
{
    build_key_slots();
    g_light_number = 0;
    reserve_step(out);
    append_literal(out, kWorldHeader);
    const char* cursor = text;
    while (cursor != nullptr && !out->failed) {
        size_t length;
        const char* token = next_token(&cursor, &length);
        const KeySlot* slot = find_key(token, length);
        if (slot == nullptr) {
            printf("Error: Token \"%s\"\n", token);
            return false;
        }
        const LightKey& key = *slot->key;
        reserve_step(out);
        switch (key.action) {
        case KeyAction::OpenLight:
            open_light(out);
            break;
        case KeyAction::CloseLight:
            append_literal(out, "}\n");
            break;
        case KeyAction::KeyLine:
            write_key_line(out, *slot, &cursor);
            break;
        case KeyAction::NoShadow:
            append_literal(out, kNoShadowLines);
            append_literal(out, "\n");
            break;
        case KeyAction::Drop:
            for (int i = 0; i < key.values; ++i)
                next_token(&cursor);
            break;
        }
    }
    return true;
}

bool convert_lights(const char* path, const char* text)
{
    FILE* file = fopen(path, "wb");
    if (file == nullptr) {
        printf("Couldn't create %s\n", path);
        return false;
    }
    LightOutput out = {file, 0, false};
    bool translated = translate_lights(text, &out);
    bool written = flush_light_output(&out);
    written = close_output(file) && written;
    if (!written) {
        printf("Couldn't write %s\n", path);
        remove_partial_output(path);
        return false;
    }
    return translated;
}
