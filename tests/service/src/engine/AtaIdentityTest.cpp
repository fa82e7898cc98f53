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
};

TEST(AtaIdentity, StringsComeHighByteFirstUntrimmedAndSignExtended) {
    IdentifySector id;
    id.Set(10, 0xE941);  // 0xE9, 'A'
    id.Set(27, 0x5744);  // "WD"
    id.Set(23, 0x312E);  // "1."
    DeviceNode n;
    TakeIdentityStrings(id.bytes, n);
    EXPECT_EQ(n.serial[0], char16_t(0xFFE9));
    EXPECT_EQ(n.serial[1], u'A');
    EXPECT_EQ(plat::FieldView(n.model, kModelChars).substr(0, 2), u"WD");
    EXPECT_EQ(plat::FieldView(n.firmware, kFirmwareChars).substr(0, 2), u"1.");
    EXPECT_EQ(n.model[40], 0);
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
