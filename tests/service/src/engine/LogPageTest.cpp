#include "engine/LogPage.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/text.h"
#include "engine/BigEndian.h"

namespace {

// Builds a log page: header with the given page code, then parameters.
class PageBuilder {
public:
    explicit PageBuilder(BYTE page) : m_bytes{page, 0, 0, 0} {}
    PageBuilder& Param(WORD code, std::vector<BYTE> value) {
        m_bytes.push_back(BYTE(code >> 8));
        m_bytes.push_back(BYTE(code));
        m_bytes.push_back(0x03);
        m_bytes.push_back(BYTE(value.size()));
        m_bytes.insert(m_bytes.end(), value.begin(), value.end());
        return *this;
    }
    std::vector<BYTE> Build(int lengthAdjust = 0) {
        const std::size_t length = m_bytes.size() - 4 + lengthAdjust;
        m_bytes[2] = BYTE(length >> 8);
        m_bytes[3] = BYTE(length);
        return m_bytes;
    }

private:
    std::vector<BYTE> m_bytes;
};

SmartCounters Parse(BYTE page, const std::vector<BYTE>& data, std::size_t transferred = SIZE_MAX) {
    DeviceNode n;
    ParseLogPage(n, page, data.data(), std::min(transferred, data.size()));
    return n.counters;
}

TEST(CopyBigEndian, ReversesCutsAndZeroFills) {
    struct Case {
        std::vector<BYTE> source;
        std::vector<BYTE> expected;  // destination of 4 bytes
    };
    const Case cases[] = {
        {{0x01, 0x02}, {0x02, 0x01, 0x00, 0x00}},
        {{0x09, 0x08, 0x01, 0x02, 0x03, 0x04}, {0x04, 0x03, 0x02, 0x01}},
        {{}, {0x00, 0x00, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> dest(4, 0xCC);
        CopyBigEndian(dest.data(), dest.size(), c.source.data(), BYTE(c.source.size()));
        EXPECT_EQ(dest, c.expected);
    }
}

TEST(LogPages, ErrorCounterPagesFillEightByteCounters) {
    auto write = PageBuilder(0x02)
                     .Param(0x0003, {0x01, 0x02})
                     .Param(0x0005, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10})  // longer: low bytes kept
                     .Param(0x0006, {0x07})
                     .Param(0x8003, {0x55})  // vendor code: ignored
                     .Build();
    SmartCounters c = Parse(0x02, write);
    EXPECT_EQ(c.writeErrorsCorrected, 0x0102u);
    EXPECT_EQ(c.bytesWritten, 0x10u);
    EXPECT_EQ(c.writeErrorsUncorrected, 7u);

    c = Parse(0x06, PageBuilder(0x06).Param(0x0000, {0x00, 0x2A}).Build());
    EXPECT_EQ(c.nonMediumErrors, 42u);
}

TEST(LogPages, TemperaturesOnlyFromOneTo127) {
    struct Case {
        BYTE current;
        BYTE reference;
        BYTE expectTemp;
        BYTE expectSecond;
    };
    const Case cases[] = {{35, 65, 35, 65}, {0xFF, 65, 0, 65}, {0, 128, 0, 0}, {127, 1, 127, 1}};
    for (const Case& t : cases) {
        auto page = PageBuilder(0x0D).Param(0x0000, {0, t.current}).Param(0x0001, {0, t.reference}).Build();
        SmartCounters c = Parse(0x0D, page);
        EXPECT_EQ(c.temperature, t.expectTemp);
        EXPECT_EQ(c.secondTemperature, t.expectSecond);
    }
    // Informational exceptions: sense code, qualifier, temperature, trip.
    SmartCounters c = Parse(0x2F, PageBuilder(0x2F).Param(0x0000, {0, 0, 40, 70}).Build());
    EXPECT_EQ(c.temperature, 40);
    EXPECT_EQ(c.secondTemperature, 70);
    c = Parse(0x2F, PageBuilder(0x2F).Param(0x0001, {0, 0, 40, 70}).Build());
    EXPECT_EQ(c.temperature, 0) << "only a first parameter with code 0 counts";
}

TEST(LogPages, StartStopPageGivesDateAndCycles) {
    auto page = PageBuilder(0x0E)
                    .Param(0x0001, {'2', '0', '0', '8', '2', '1'})
                    .Param(0x0003, {0, 0, 0xC3, 0x50})
                    .Param(0x0004, {0, 0, 0x01, 0x2C})
                    .Build();
    SmartCounters c = Parse(0x0E, page);
    EXPECT_EQ(plat::FieldView(c.manufactureYear, 5), u"2008");
    EXPECT_EQ(plat::FieldView(c.manufactureWeek, 3), u"21");
    EXPECT_EQ(c.lifetimeStartStopCycles, 50000u);
    EXPECT_EQ(c.startStopCycles, 300u);
}

TEST(LogPages, SelfTestPageTakesFirstParameterAtItsPosition) {
    std::vector<BYTE> empty(16, 0);
    std::vector<BYTE> stamped(16, 0);
    stamped[2] = 0x01;
    stamped[3] = 0x02;
    std::vector<BYTE> later = stamped;
    later[3] = 0x03;
    // The first result has no time stamp; the second is out of position; the
    // third is in position with a time stamp; the fourth is not used.
    auto page = PageBuilder(0x10)
                    .Param(0x0001, empty)
                    .Param(0x0007, later)
                    .Param(0x0003, stamped)
                    .Param(0x0004, later)
                    .Build();
    EXPECT_EQ(Parse(0x10, page).powerOnHours, 0x0102u);
}

TEST(LogPages, PageLengthIsCutToTransferredBytes) {
    auto page = PageBuilder(0x03).Param(0x0003, {0x05}).Param(0x0006, {0x01, 0x02, 0x03, 0x04}).Build();
    // The second parameter arrived only in part: it is not used.
    SmartCounters c = Parse(0x03, page, page.size() - 2);
    EXPECT_EQ(c.readErrorsCorrected, 5u);
    EXPECT_EQ(c.readErrorsUncorrected, 0u);
    // A page length that claims more than was sent changes nothing else.
    c = Parse(0x03, PageBuilder(0x03).Param(0x0003, {0x05}).Build(200));
    EXPECT_EQ(c.readErrorsCorrected, 5u);
    // Fewer bytes than a header: nothing.
    c = Parse(0x03, page, 3);
    EXPECT_EQ(c.readErrorsCorrected, 0u);
}

}  // namespace
