#include "light_keys.h"

#include <cstring>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#error "key words are compared as little-endian loads"
#endif

// Slots are hashed on the token's length and first byte; a key whose slot
// is taken goes to the next free one.
constexpr size_t key_slot(unsigned char first, size_t length)
{
    return (static_cast<size_t>(first) * 7 + length) & (kKeySlots - 1);
}

struct KeySlotTable {
    KeySlot slots[kKeySlots];
};

constexpr KeySlotTable build_key_slots()
{
    KeySlotTable table{};
    for (const LightKey& key : kLightKeys) {
        size_t length = text_length(key.token);
        size_t at = key_slot(static_cast<unsigned char>(key.token[0]), length);
        while (table.slots[at].key != nullptr)
            at = (at + 1) & (kKeySlots - 1);
        KeySlot& slot = table.slots[at];
        slot.key = &key;
        slot.length = length;
        for (size_t i = 0; i < length && i < 16; ++i) {
            slot.words[i / 8] |= uint64_t{static_cast<unsigned char>(key.token[i])}
                                 << (8 * (i % 8));
            slot.masks[i / 8] |= uint64_t{0xff} << (8 * (i % 8));
        }
        if (length + 4 <= kKeyPrefixRoom) {
            slot.prefix[0] = '"';
            for (size_t i = 0; i < length; ++i)
                slot.prefix[1 + i] = key.token[i];
            slot.prefix[1 + length] = '"';
            slot.prefix[2 + length] = ' ';
            slot.prefix[3 + length] = '"';
            slot.prefix_length = length + 4;
        }
    }
    return table;
}

static constexpr KeySlotTable kKeySlotTable = build_key_slots();

const KeySlot* find_light_key(const char* token, size_t length)
{
    // Most comparisons are two masked word compares of the first sixteen
    // bytes; longer keys compare the rest byte by byte.
    uint64_t words[2];
    memcpy(words, token, 16);
    static_assert(kTokenReadable >= 16, "two words of the token can be read");
    for (size_t at = key_slot(static_cast<unsigned char>(token[0]), length);
         kKeySlotTable.slots[at].key != nullptr; at = (at + 1) & (kKeySlots - 1)) {
        const KeySlot& slot = kKeySlotTable.slots[at];
        if (slot.length != length) continue;
        if (((words[0] ^ slot.words[0]) & slot.masks[0]) != 0 ||
            ((words[1] ^ slot.words[1]) & slot.masks[1]) != 0)
            continue;
        if (length <= 16 || memcmp(slot.key->token + 16, token + 16, length - 16) == 0)
            return &slot;
    }
    return nullptr;
}
