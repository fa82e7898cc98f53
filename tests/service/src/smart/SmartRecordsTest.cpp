#include "smart/SmartRecords.h"

#include <gtest/gtest.h>

#include <array>

namespace {

SmartCounters SampleCounters() {
    SmartCounters c;
    c.writeErrorsCorrected = 0x0102030405060708ull;
    c.writeErrorsUncorrected = 0x1112131415161718ull;
    c.bytesWritten = 0x2122232425262728ull;
    c.readErrorsCorrected = 0x3132333435363738ull;
    c.readErrorsUncorrected = 0x4142434445464748ull;
    c.bytesRead = 0x5152535455565758ull;
    c.nonMediumErrors = 0x6162636465666768ull;
    c.powerOnHours = 0x71727374;
    c.startStopCycles = 0x81828384;
    c.lifetimeStartStopCycles = 0x91929394;
    std::copy_n(u"2008", 4, c.manufactureYear);
    std::copy_n(u"21", 2, c.manufactureWeek);
    c.temperature = 41;
    c.secondTemperature = 68;
    return c;
}

TEST(SmartCountersImage, FieldsSitAtTheirOffsetsLittleEndian) {
    std::array<BYTE, kSmartCountersSize> image;
    image.fill(0xCC);
    WriteCounters(SampleCounters(), image);
    // Each u64 counter's least significant byte comes first.
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(image[8 * i], 0x08 + 0x10 * i) << "counter " << i;
        EXPECT_EQ(image[8 * i + 7], 0x01 + 0x10 * i) << "counter " << i;
    }
    EXPECT_EQ(image[56], 0x74);
    EXPECT_EQ(image[60], 0x84);
    EXPECT_EQ(image[64], 0x94);
    EXPECT_EQ(image[68], '2');
    EXPECT_EQ(image[69], 0);
    EXPECT_EQ(image[74], '8');
    EXPECT_EQ(image[76], 0);  // terminator
    EXPECT_EQ(image[78], '2');
    EXPECT_EQ(image[80], '1');
    EXPECT_EQ(image[82], 0);
    EXPECT_EQ(image[84], 41);
    EXPECT_EQ(image[85], 68);
    EXPECT_EQ(image[86], 0);
    EXPECT_EQ(image[87], 0);
}

TEST(SmartCountersImage, RoundTripsAndRejectsShortInput) {
    std::array<BYTE, kSmartCountersSize> image;
    WriteCounters(SampleCounters(), image);
    SmartCounters back;
    ASSERT_TRUE(ReadCounters(image, back));
    std::array<BYTE, kSmartCountersSize> again;
    WriteCounters(back, again);
    EXPECT_EQ(image, again);

    SmartCounters untouched;
    untouched.powerOnHours = 7;
    EXPECT_FALSE(ReadCounters(std::span<const BYTE>(image).first(87), untouched));
    EXPECT_EQ(untouched.powerOnHours, 7u);
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
    EXPECT_EQ(image[0], 'T');
    EXPECT_EQ(image[22], 0);
    EXPECT_EQ(image[60], 0x22);
    EXPECT_EQ(image[61], 0x01);
    EXPECT_EQ(image[62], 194);
    EXPECT_EQ(image[63], 100);
    EXPECT_EQ(image[64], 90);
    EXPECT_EQ(image[65], 0xA0);
    EXPECT_EQ(image[70], 0xA5);
    EXPECT_EQ(image[71], 5);

    // A damaged image whose name fills all 30 characters still reads back
    // as a terminated name.
    for (std::size_t i = 0; i < 60; i += 2) image[i] = 'x';
    SmartAttribute back;
    ASSERT_TRUE(ReadAttribute(image, back));
    EXPECT_EQ(back.name[29], 0);
    EXPECT_EQ(back.id, 194);
    EXPECT_EQ(back.threshold, 5);
}

TEST(SmartDeviceRecord, AddressPacksPortPathTargetLun) {
    SmartDevice d;
    d.port = 1;
    d.path = 2;
    d.target = 3;
    d.lun = 4;
    EXPECT_EQ(SmartAddress(d), 0x01020304u);
    EXPECT_STREQ(SmartFlagName(0), "SMART_FLAG_REMOVABLE");
    EXPECT_STREQ(SmartFlagName(23), "SMART_FLAG_POWER_ON_FROM_SELFTEST");
    EXPECT_EQ(SmartFlagName(24), nullptr);
    EXPECT_EQ(SelfTestPercentDone(0x3F), 70);
}

}  // namespace
