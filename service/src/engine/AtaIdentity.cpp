#include "engine/AtaIdentity.h"

using namespace ata_identify;

namespace {

void TakeString(const BYTE* identify, std::size_t firstWord, std::size_t words, WCHAR* field) {
    for (std::size_t i = 0; i < words; ++i) {
        const WORD w = Word(identify, firstWord + i);
        field[2 * i] = static_cast<WCHAR>(static_cast<std::int16_t>(static_cast<std::int8_t>(w >> 8)));
        field[2 * i + 1] = static_cast<WCHAR>(static_cast<std::int16_t>(static_cast<std::int8_t>(w & 0xFF)));
    }
    field[2 * words] = 0;
}

// Drives before the major version word are told apart by which command-set
// words they fill: words 83, 84 and 87 must mark themselves valid (0x4000)
// with the reserved bits of their generation clear.
struct CommandSetRule {
    WORD mask83;
    WORD mask84and87;
    BYTE level;
};

constexpr CommandSetRule kCommandSetRules[] = {
    {0xFFE0, 0xFFFF, 4},
    {0xFE00, 0xFFFF, 5},
    {0xC000, 0xFFD0, 6},
    {0xC000, 0xD800, 7},
};

BYTE LevelFromMajorVersion(WORD major) {
    for (int bit = 14; bit >= 1; --bit) {
        if (major & (1u << bit)) return static_cast<BYTE>(bit);
    }
    return 0;
}

}  // namespace

void TakeIdentityStrings(const BYTE* identify, DeviceNode& node) {
    TakeString(identify, kSerialWord, 10, node.serial);
    TakeString(identify, kModelWord, 20, node.model);
    TakeString(identify, kFirmwareWord, 4, node.firmware);
}

BYTE AtaLevelFromIdentity(const BYTE* identify) {
    const WORD major = Word(identify, kMajorVersion);
    if (major != 0 && major != 0xFFFF) return LevelFromMajorVersion(major);
    const WORD w82 = Word(identify, kCommandSet1);
    const WORD w83 = Word(identify, kCommandSet2);
    const WORD w84 = Word(identify, kCommandSetExt);
    const WORD w85 = Word(identify, kEnabled1);
    const WORD w87 = Word(identify, kDefault);
    if ((w82 & 0xFFF1) == 1 && w83 == 0x4000 && w84 == 0 && w85 == 0 && w87 == 0) return 3;
    if (w82 == 0xFFFF || (w82 & 1) == 0) return 0;
    for (const CommandSetRule& r : kCommandSetRules) {
        if ((w83 & r.mask83) == 0x4000 && (w84 & r.mask84and87) == 0x4000 && (w87 & r.mask84and87) == 0x4000) {
            return r.level;
        }
    }
    return 0;
}
