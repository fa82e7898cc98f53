// The details dialog's values and lines: durations, gigabytes, temperatures,
// fallbacks, rectangles, and values that hold a comma.
#include "DetailLines.h"
#include "DetailReport.h"
#include "DialogTestSupport.h"
#include "base/text.h"
#include "skin/SkinRecord.h"

using namespace dlgtest;
using namespace details;

namespace {

class DetailLinesTest : public DialogTest {
protected:
    SmartDevice Device(DWORD flags) {
        SmartDevice d;
        d.flags = flags;
        d.deviceNumber = 3;
        plat::CopyToField(d.model, kModelChars, u"ACME Disk 2000");
        plat::CopyToField(d.firmware, kFirmwareChars, u"FW01");
        plat::CopyToField(d.serial, kSerialChars, u"SN-42");
        return d;
    }
    static std::u16string TextOf(const SmartDevice& d, int number, bool fahrenheit = false) {
        return MakeDetailLines(d, fahrenheit)[std::size_t(number - 1)].Text();
    }
};

constexpr ULONGLONG kGiB = 1ull << 30, kMiB = 1ull << 20;

}  // namespace

TEST_F(DetailLinesTest, DurationsKeepDaysAndHoursAndDropTheRest) {
    const struct {
        ULONGLONG hours;
        std::u16string text;
    } cases[] = {
        {0, u""}, {1, u"1 hour"}, {5, u"5 hours"}, {24, u"1 day"}, {30, u"1 day, 6 hours"},
        {49, u"2 days, 1 hour"}, {48, u"2 days"}, {1000000, u"41666 days, 16 hours"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDuration(c.hours * 3600), c.text) << c.hours << " hours";
    EXPECT_EQ(FormatDuration(3599), u"") << "minutes and seconds are dropped";
    EXPECT_EQ(FormatDuration(86400 + 3599), u"1 day");
}

TEST_F(DetailLinesTest, GigabytesHaveThreeDecimalsAndAPointInEveryLocale) {
    EXPECT_EQ(FormatGigabytes(kGiB + kGiB / 2), u"1.500");
    EXPECT_EQ(FormatGigabytes(5 * kMiB), u"0.005");
    EXPECT_EQ(FormatGigabytes(1), u"0.000");
    EXPECT_EQ(FormatGigabytes(0), u"0.000");
    EXPECT_EQ(FormatGigabytes(1000 * kGiB), u"1000.000");
    EXPECT_EQ(FormatGigabytes(kGiB - 1), u"1.000") << "rounded, not cut";
}

TEST_F(DetailLinesTest, TemperaturesWithAndWithoutALimitInBothScales) {
    SmartCounters c;
    c.temperature = 40;
    TemperatureArguments t = TemperatureArgumentsOf(c, false);
    EXPECT_EQ(t.unit, u"C");
    EXPECT_EQ(t.temperature, 40);
    EXPECT_EQ(t.limit, 60) << "no second temperature";
    t = TemperatureArgumentsOf(c, true);
    EXPECT_EQ(t.unit, u"F");
    EXPECT_EQ(t.temperature, 104);
    EXPECT_EQ(t.limit, 140);
    c.secondTemperature = 55;
    EXPECT_EQ(TemperatureArgumentsOf(c, false).limit, 55);
    EXPECT_EQ(TemperatureArgumentsOf(c, true).limit, 131);
    EXPECT_EQ(ToFahrenheit(37), 98) << "the whole part of 98.6";

    SmartDevice d = Device(SMART_FLAG_TEMPERATURE);
    d.counters.temperature = 40;
    EXPECT_EQ(TextOf(d, 14), u"Temp. (°C):\t40 (limit 60)");
    EXPECT_EQ(TextOf(d, 14, true), u"Temp. (°F):\t104 (limit 140)");
    d.flags = 0;
    EXPECT_EQ(TextOf(d, 14, true), u"Temp. (°F):\tn/a") << "fallback with the unit and string 202";
}

TEST_F(DetailLinesTest, MissingValuesUseTheirFallbackLines) {
    SmartDevice d = Device(0);
    d.counters.powerOnHours = 30;
    d.counters.readErrorsCorrected = 7;
    const auto lines = MakeDetailLines(d, false);
    EXPECT_EQ(lines[4].Text(), u"Power-on time:\tn/a") << "no power-on flag";
    EXPECT_EQ(lines[5].Text(), u"Start/stops:\tn/a");
    EXPECT_EQ(lines[6].Text(), u"Data read:\tn/a") << "a count of 0";
    EXPECT_EQ(lines[7].Text(), u"Data written:\tn/a");
    for (int i = 8; i < 13; ++i) EXPECT_TRUE(lines[std::size_t(i)].Text().ends_with(u"n/a")) << "line " << i + 1;

    d.flags = SMART_FLAG_POWER_ON_HOURS | SMART_FLAG_START_STOP | SMART_FLAG_READ_ERRORS | SMART_FLAG_WRITE_ERRORS |
              SMART_FLAG_SEEK_ERRORS;
    d.counters.powerOnHours = 0;
    d.counters.startStopCycles = 12;
    d.counters.bytesRead = 5 * kMiB;
    d.counters.bytesWritten = kGiB + kGiB / 2;
    d.counters.nonMediumErrors = 0x1'0000'0001ull;
    EXPECT_EQ(TextOf(d, 5), u"Power-on time:") << "0 hours with the flag: an empty duration";
    EXPECT_EQ(TextOf(d, 6), u"Start/stops:\t12 of 10000") << "no lifetime cycles: 10000";
    EXPECT_EQ(TextOf(d, 7), u"Data read:\t0.005 GB");
    EXPECT_EQ(TextOf(d, 8), u"Data written:\t1.500 GB");
    EXPECT_EQ(TextOf(d, 9), u"Read errors:\tcorrected 7");
    EXPECT_EQ(TextOf(d, 13), u"Seek errors:\t4294967297") << "64-bit counters";
}

TEST_F(DetailLinesTest, AManufactureDateNeedsBothWeekAndYear) {
    SmartDevice d = Device(0);
    EXPECT_EQ(TextOf(d, 4), u"Manufactured:\tweek  of");
    plat::CopyToField(d.counters.manufactureYear, 5, u"2019");
    EXPECT_EQ(TextOf(d, 4), u"Manufactured:\tweek  of") << "a year without a week";
    plat::CopyToField(d.counters.manufactureWeek, 3, u"07");
    EXPECT_EQ(TextOf(d, 4), u"Manufactured:\tweek 07 of 2019");
}

TEST_F(DetailLinesTest, ValuesWithACommaStayWhole) {
    SmartDevice d = Device(SMART_FLAG_POWER_ON_HOURS);
    d.counters.powerOnHours = 30;
    plat::CopyToField(d.model, kModelChars, u"ACME, Inc. Disk");
    plat::CopyToField(d.serial, kSerialChars, u"12,34");
    const auto lines = MakeDetailLines(d, false);
    EXPECT_EQ(lines[0].Text(), u"ACME, Inc. Disk");
    EXPECT_EQ(lines[2].Text(), u"Firmware FW01   Serial 12,34");
    EXPECT_EQ(lines[4].Text(), u"Power-on time:\t1 day, 6 hours");
    EXPECT_EQ(skin::ParseLabelRecord(lines[4].record).text, u"Power-on time:\t1 day")
        << "the record alone would lose the hours";
}

TEST_F(DetailLinesTest, LinesSitInTheirRectanglesInTableOrder) {
    const auto lines = MakeDetailLines(Device(0), false);
    const std::u16string names[] = {u"DETAIL_MODEL",        u"DRIVE_NUMBER",       u"DETAIL_FIRMWARE",
                                    u"DETAIL_MADE",         u"DETAIL_POWER_ON",    u"DETAIL_START_STOP",
                                    u"DETAIL_READ",         u"DETAIL_WRITTEN",     u"DETAIL_READ_FIXED",
                                    u"DETAIL_WRITE_FIXED",  u"DETAIL_READ_UNFIXED", u"DETAIL_WRITE_UNFIXED",
                                    u"DETAIL_SEEK",         u"DETAIL_TEMPERATURE"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].number, int(i + 1));
        EXPECT_EQ(lines[i].Name(), names[i]);
    }
    EXPECT_EQ(lines[0].rect, (RECT{15, 22, 280, 37}));
    EXPECT_EQ(lines[1].rect, (RECT{})) << "the drive number keeps its record's place";
    EXPECT_EQ(lines[1].Text(), u"Drive 3");
    EXPECT_EQ(lines[2].rect, (RECT{15, 39, 280, 54}));
    EXPECT_EQ(lines[3].rect, (RECT{15, 60, 280, 75}));
    EXPECT_EQ(lines[4].rect, (RECT{15, 77, 280, 92}));
    EXPECT_EQ(lines[13].rect, (RECT{15, 194, 280, 209}));
}

TEST_F(DetailLinesTest, AttributeRowsPadShortNamesAndSwapLongOnes) {
    SmartAttribute a;
    a.value = 100;
    a.worst = 90;
    a.threshold = 6;
    plat::CopyToField(a.name, kSmartNameChars, u"Uncorrected Sectors");
    EXPECT_EQ(AttributeRow(a), u"Uncorrected Sectors\t100\t6\t90") << "19 characters: threshold before worst";
    plat::CopyToField(a.name, kSmartNameChars, u"Temperature");
    EXPECT_EQ(AttributeRow(a), u"Temperature\t\t100\t90\t6") << "11 characters: one tab";
    plat::CopyToField(a.name, kSmartNameChars, u"Seek Err");
    EXPECT_EQ(AttributeRow(a), u"Seek Err\t\t100\t90\t6") << "8 characters: one tab";
    plat::CopyToField(a.name, kSmartNameChars, u"Spin Up");
    EXPECT_EQ(AttributeRow(a), u"Spin Up\t\t\t100\t90\t6") << "7 characters: two tabs";
    plat::CopyToField(a.name, kSmartNameChars, u"Reallocated Sect");
    EXPECT_EQ(AttributeRow(a), u"Reallocated Sect\t100\t6\t90") << "16 characters";
    EXPECT_EQ(AttributeRow(SmartAttribute{}), u"\t\t\t0\t0\t0") << "an unused entry as the record holds it";
}
