// Temperature attributes' raw bytes read as degrees.
#include <gtest/gtest.h>

#include "TemperatureRaw.h"

namespace {

SmartAttribute Attribute(BYTE id, std::initializer_list<BYTE> raw) {
    SmartAttribute a;
    a.id = id;
    std::copy(raw.begin(), raw.end(), a.raw);
    return a;
}

TEST(TemperatureRaw, TheRawBytesReadAsPeopleReadThem) {
    struct Case {
        const char* name;
        SmartAttribute attribute;
        const char* text;  // nullptr: no reading
    };
    const Case cases[] = {
        {"current, lowest in byte 2, highest in byte 4", Attribute(194, {36, 0, 18, 0, 45, 0}),
         "36 C, lowest 18 C, highest 45 C"},
        {"lowest and highest in bytes 2 and 3", Attribute(190, {37, 0, 20, 45, 0, 0}),
         "37 C, lowest 20 C, highest 45 C"},
        {"current only", Attribute(194, {36, 0, 0, 0, 0, 0}), "36 C"},
        {"one extreme below", Attribute(194, {37, 0, 18, 0, 0, 0}), "37 C, lowest 18 C"},
        {"extremes that do not bracket the current value", Attribute(194, {60, 0, 18, 0, 45, 0}), "60 C"},
        {"too many bytes for extremes", Attribute(194, {36, 0, 18, 3, 45, 1}), "36 C"},
        {"a wide low word", Attribute(194, {0x10, 0x01, 0, 0, 0, 0}), nullptr},
        {"not a temperature", Attribute(9, {36, 0, 18, 0, 45, 0}), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto reading = ReadTemperature(c.attribute);
        if (!c.text) {
            EXPECT_FALSE(reading.has_value());
            continue;
        }
        ASSERT_TRUE(reading.has_value());
        EXPECT_EQ(TemperatureText(*reading), c.text);
    }
}

}  // namespace
