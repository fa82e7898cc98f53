// What a S.M.A.R.T. box shows, from the record alone: remaining life,
// temperature text, its colour and the alert; and the layout values of
// string 211.
#include <gtest/gtest.h>

#include "DriveFreeSpace.h"
#include "LedLayoutValues.h"
#include "SmartBoxLook.h"

namespace {

SmartDevice Drive(BYTE temperature, BYTE limit = 0) {
    SmartDevice d;
    d.flags = SMART_FLAG_SUPPORTED;
    d.health = 1;
    d.counters.temperature = temperature;
    d.counters.secondTemperature = limit;
    return d;
}

TEST(SmartBoxTemperature, TextColourAndAlertFollowTheLimit) {
    struct Case {
        BYTE t, limit;
        LONG max_temp;
        bool hot;
    } cases[] = {
        {60, 0, -1, false}, {61, 0, -1, true},   // no limit: above 60 only
        {54, 55, -1, false}, {55, 55, -1, true},  // the drive's limit reached
        {50, 55, 45, true}, {44, 55, 45, false},  // MaxTemp overrides it
        {61, 70, 0, true},                        // MaxTemp 0: no limit at all
        {0, 0, -1, false},                        // unknown
    };
    for (const Case& c : cases) {
        const SmartDevice d = Drive(c.t, c.limit);
        EXPECT_EQ(smartbox::IsTooHot(d, c.max_temp), c.hot) << int(c.t) << " limit " << int(c.limit) << " max " << c.max_temp;
        EXPECT_EQ(smartbox::TemperatureColour(d, c.max_temp), c.hot ? smartbox::kHotText : smartbox::kNormalText);
        EXPECT_EQ(smartbox::RaisesAlert(d, c.max_temp), c.hot);
    }
    EXPECT_EQ(smartbox::TemperatureLimit(Drive(40, 55), 0x12D), 0x2D) << "the low byte of MaxTemp";
}

TEST(SmartBoxTemperature, PrintsCelsiusFahrenheitOrNotAvailable) {
    EXPECT_EQ(smartbox::TemperatureText(Drive(40), false), u"40\u00B0C");
    EXPECT_EQ(smartbox::TemperatureText(Drive(40), true), u"104\u00B0F");
    EXPECT_EQ(smartbox::TemperatureText(Drive(37), true), u"98\u00B0F") << "98.6 truncated";
    EXPECT_EQ(smartbox::TemperatureText(Drive(0), false), u"n/a");
}

TEST(SmartBoxHealth, AFailingDriveRaisesTheAlertWhateverItsTemperature) {
    SmartDevice d = Drive(30);
    EXPECT_FALSE(smartbox::RaisesAlert(d, -1));
    d.health = 0;
    EXPECT_TRUE(smartbox::RaisesAlert(d, -1));
}

TEST(SmartBoxLife, ComesFromStartStopCyclesAndPowerOnHours) {
    SmartDevice d = Drive(30);
    EXPECT_EQ(smartbox::LifePercent(d), 0) << "no start/stop counter";
    d.flags |= SMART_FLAG_START_STOP;
    d.counters.startStopCycles = 5000;
    d.counters.lifetimeStartStopCycles = 10000;
    EXPECT_EQ(smartbox::LifePercent(d), 50);
    d.counters.powerOnHours = 10000;
    EXPECT_EQ(smartbox::LifePercent(d), 50) << "(50 + 50 + 1) x 0.5, truncated";
    d.counters.lifetimeStartStopCycles = 0;  // 10,000 in its place
    d.counters.powerOnHours = 0;
    d.counters.startStopCycles = 2500;
    EXPECT_EQ(smartbox::LifePercent(d), 75);
    d.counters.startStopCycles = 40000;
    EXPECT_EQ(smartbox::LifePercent(d), 0) << "never below 0";
}

TEST(FreeGigabytes, HaveExactlyThreeDecimals) {
    EXPECT_EQ(FormatGigabytes(12.3456), u"12.346");
    EXPECT_EQ(FormatGigabytes(0.05), u"0.050");
    EXPECT_EQ(FormatGigabytes(0), u"0.000");
}

TEST(LayoutValues, TakeTheSecondFieldOfEachPair) {
    const LedLayoutValues v = LedLayoutValues::Parse(
        u"Snap,15,W,20,H,24,a,0,b,0,S,2,M,3,c8,61,r9,17,x,0,y,0,c12,60,r13,16,z,0,z,0,z,0,last,99");
    EXPECT_EQ(v.SnapDistance(), 15);
    EXPECT_EQ(v.LedWidth(), 20);
    EXPECT_EQ(v.LedHeight(), 24);
    EXPECT_EQ(v.Spacing(), 2);
    EXPECT_EQ(v.Margin(), 3);
    EXPECT_EQ(v.ShrinkColumn(), 61);
    EXPECT_EQ(v.ShrinkRow(), 17);
    EXPECT_EQ(v.StretchColumn(), 60);
    EXPECT_EQ(v.StretchRow(), 16);
    EXPECT_EQ(v.Value(17), 99);
    EXPECT_EQ(v.RowHeight(), 24 + 2 * (2 + 3));
    EXPECT_EQ(LedLayoutValues::Parse(u"Snap,15").LedWidth(), 0) << "missing pairs read 0";
}

}  // namespace
