#include "engine/AtaIdentity.h"

#include <gtest/gtest.h>

#include <map>

#include "base/text.h"

namespace {

struct IdentifySector {
    BYTE bytes[kSmartSectorSize] = {};
    void Set(std::size_t word, WORD value) {
        bytes[2 * word] = BYTE(value);
        bytes[2 * word + 1] = BYTE(value >> 8);
    }
    // ATA strings: two characters per word, the first in the high byte.
    void SetString(std::size_t word, std::string_view text, std::size_t chars) {
        std::string padded(text);
        padded.resize(chars, ' ');
        for (std::size_t i = 0; i < chars; i += 2) Set(word + i / 2, WORD((BYTE(padded[i]) << 8) | BYTE(padded[i + 1])));
    }
};

TEST(AtaIdentity, StringsComeHighByteFirstAndUntrimmed) {
    IdentifySector id;
    id.SetString(10, "  WD-123", 20);
    id.SetString(27, "WDC WD800JB", 40);
    id.SetString(23, "1.0", 8);
    DeviceNode n;
    TakeIdentityStrings(id.bytes, n);
    EXPECT_EQ(plat::FieldView(n.serial, kSerialChars), u"  WD-123            ");
    EXPECT_EQ(plat::FieldView(n.model, kModelChars).substr(0, 12), u"WDC WD800JB ");
    EXPECT_EQ(plat::WideLength(n.model), 40u);
    EXPECT_EQ(plat::FieldView(n.firmware, kFirmwareChars), u"1.0     ");
}

TEST(AtaIdentity, BytesAboveAsciiAreSignExtended) {
    IdentifySector id;
    id.Set(10, 0xE941);  // 0xE9, 'A'
    DeviceNode n;
    TakeIdentityStrings(id.bytes, n);
    EXPECT_EQ(n.serial[0], char16_t(0xFFE9));
    EXPECT_EQ(n.serial[1], u'A');
}

TEST(AtaIdentity, LevelRules) {
    struct Case {
        const char* what;
        std::map<std::size_t, WORD> words;
        BYTE level;
    };
    const Case cases[] = {
        {"major version: highest of bits 1..14", {{80, 0x00FE}}, 7},
        {"major version bit 14", {{80, 0x4002}}, 14},
        {"major version with only bit 15", {{80, 0x8000}}, 0},
        {"major 0xFFFF falls to command sets", {{80, 0xFFFF}, {82, 0x0001}, {83, 0x4000}}, 3},
        {"ATA-3 command sets", {{82, 0x0001}, {83, 0x4000}}, 3},
        {"ATA-3 needs 84, 85 and 87 clear", {{82, 0x0001}, {83, 0x4000}, {85, 1}}, 0},
        {"word 82 all ones: none", {{82, 0xFFFF}, {83, 0x4000}, {84, 0x4000}, {87, 0x4000}}, 0},
        {"without S.M.A.R.T. bit: none", {{82, 0x0002}, {83, 0x4000}, {84, 0x4000}, {87, 0x4000}}, 0},
        {"ATA-4", {{82, 0x0003}, {83, 0x4010}, {84, 0x4000}, {87, 0x4000}}, 4},
        {"ATA-5", {{82, 0x0003}, {83, 0x4100}, {84, 0x4000}, {87, 0x4000}}, 5},
        {"ATA-6", {{82, 0x0003}, {83, 0x4400}, {84, 0x4003}, {87, 0x4003}}, 6},
        {"ATA-7", {{82, 0x0003}, {83, 0x4400}, {84, 0x4013}, {87, 0x4013}}, 7},
        {"nothing fits", {{82, 0x0001}, {83, 0x8000}}, 0},
    };
    for (const Case& c : cases) {
        IdentifySector id;
        for (const auto& [word, value] : c.words) id.Set(word, value);
        EXPECT_EQ(AtaLevelFromIdentity(id.bytes), c.level) << c.what;
    }
}

}  // namespace
