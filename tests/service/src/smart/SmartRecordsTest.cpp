#include "smart/SmartRecords.h"

#include <gtest/gtest.h>

#include <array>

namespace {

TEST(SmartCountersImage, FieldsSitAtTheirOffsetsAndRoundTrip) {
    SmartCounters c;
    c.writeErrorsCorrected = 0x0102030405060708ull;
    c.nonMediumErrors = 0x6162636465666768ull;
    c.powerOnHours = 0x71727374;
    c.lifetimeStartStopCycles = 0x91929394;
    std::copy_n(u"2008", 4, c.manufactureYear);
    std::copy_n(u"21", 2, c.manufactureWeek);
    c.temperature = 41;
    c.secondTemperature = 68;
    std::array<BYTE, kSmartCountersSize> image;
    image.fill(0xCC);
    WriteCounters(c, image);
    const std::pair<std::size_t, BYTE> expected[] = {
        {0, 0x08}, {7, 0x01}, {48, 0x68}, {55, 0x61}, {56, 0x74}, {64, 0x94}, {68, '2'},
        {74, '8'}, {76, 0},   {78, '2'},  {80, '1'},  {82, 0},    {84, 41},   {85, 68}, {86, 0}, {87, 0}};
    for (const auto& [offset, value] : expected) EXPECT_EQ(image[offset], value) << "offset " << offset;

    SmartCounters back;
    ASSERT_TRUE(ReadCounters(image, back));
    std::array<BYTE, kSmartCountersSize> again;
    WriteCounters(back, again);
    EXPECT_EQ(image, again);
    back.powerOnHours = 7;
    EXPECT_FALSE(ReadCounters(std::span<const BYTE>(image).first(87), back));
    EXPECT_EQ(back.powerOnHours, 7u);
}

TEST(SmartAttributeImage, LayoutAndTerminatedName) {
    SmartAttribute a;
    std::copy_n(u"Temperature", 11, a.name);
    a.flags = 0x0122;
    a.id = 194;
    a.value = 100;
    a.worst = 90;
    for (BYTE i = 0; i < 6; ++i) a.raw[i] = BYTE(0xA0 + i);
    a.threshold = 5;
    std::array<BYTE, kSmartAttributeSize> image;
    image.fill(0xCC);
    WriteAttribute(a, image);
    const std::pair<std::size_t, BYTE> expected[] = {{0, 'T'},   {22, 0},    {60, 0x22}, {61, 0x01}, {62, 194},
                                                     {63, 100},  {64, 90},   {65, 0xA0}, {70, 0xA5}, {71, 5}};
    for (const auto& [offset, value] : expected) EXPECT_EQ(image[offset], value) << "offset " << offset;

    // A damaged image whose name fills all 30 characters reads back terminated.
    for (std::size_t i = 0; i < 60; i += 2) image[i] = 'x';
    SmartAttribute back;
    ASSERT_TRUE(ReadAttribute(image, back));
    EXPECT_EQ(back.name[29], 0);
    EXPECT_EQ(back.threshold, 5);
}

}  // namespace
