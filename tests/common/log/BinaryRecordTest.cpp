#include "log/BinaryRecord.h"

#include <gtest/gtest.h>

#include <vector>

#include "log/BinaryRecordReader.h"
#include "log/Log.h"
#include "LogTestSupport.h"

using namespace logging;

namespace {

DWORD U32At(const std::string& bytes, std::size_t at) {
    DWORD v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<BYTE>(bytes[at + std::size_t(i)]);
    return v;
}

std::span<const BYTE> AsBytes(const std::string& s) {
    return std::span(reinterpret_cast<const BYTE*>(s.data()), s.size());
}

LogEntry Entry(std::u16string category, std::u16string message) {
    LogEntry entry;
    entry.tag = 0x77;
    entry.level = 5;
    entry.time = 0x0123456789ABCDEFull;
    entry.category = std::move(category);
    entry.message = std::move(message);
    return entry;
}

TEST(BinaryRecordLayout, FieldsByteForByteWithEmptyCategory) {
    const std::string r = BuildBinaryRecord(Entry(u"", u"hello"), false, 0);
    ASSERT_EQ(r.size(), 44u + 1 + 6 + 1);
    EXPECT_EQ(U32At(r, 0), 0x00010000u);
    EXPECT_EQ(U32At(r, 4), 0x77u);
    EXPECT_EQ(U32At(r, 8), 44u + 1 + 6 + 1);
    EXPECT_EQ(U32At(r, 12), 4u);
    EXPECT_EQ(U32At(r, 16), 5u);
    EXPECT_EQ(U32At(r, 20), 8u);
    EXPECT_EQ(U32At(r, 24), 0x89ABCDEFu);
    EXPECT_EQ(U32At(r, 28), 0x01234567u);
    EXPECT_EQ(U32At(r, 32), 1u);
    EXPECT_EQ(r[36], '\0');
    EXPECT_EQ(U32At(r, 37), 6u);
    EXPECT_EQ(r.substr(41, 6), std::string("hello\0", 6));
    EXPECT_EQ(U32At(r, 47), 1u);
    EXPECT_EQ(r[51], '\0');
}

TEST(BinaryRecordLayout, StringsAreCutToTheirByteLimits) {
    const std::string r = BuildBinaryRecord(Entry(std::u16string(30, u'c'), std::u16string(5000, u'm')), false, 0);
    EXPECT_EQ(U32At(r, 32), kRecordCategoryBytes);
    EXPECT_EQ(U32At(r, 36 + kRecordCategoryBytes), kRecordTextBytes);
}

TEST(BinaryRecordScramble, RotationIsTakenModuloEight) {
    struct Case {
        unsigned count;
        BYTE in, out;
    } cases[] = {{0, 0x81, 0x81}, {1, 0x81, 0x03}, {3, 0x41, 0x0A}, {8, 0x5A, 0x5A}, {16, 0x5A, 0x5A}, {9, 0x81, 0x03}, {7, 0x00, 0x00}};
    for (const Case& c : cases) {
        EXPECT_EQ(ScrambleByte(c.in, c.count), c.out) << "count " << c.count;
        EXPECT_EQ(UnscrambleByte(c.out, c.count), c.in) << "count " << c.count;
    }
}

TEST(BinaryRecordScramble, OnlyStringBytesChangeAndTerminatorsStayZero) {
    const std::string plain = BuildBinaryRecord(Entry(u"C", u"msg"), false, 3);
    const std::string scrambled = BuildBinaryRecord(Entry(u"C", u"msg"), true, 3);
    ASSERT_EQ(plain.size(), scrambled.size());
    EXPECT_EQ(plain.substr(0, 36), scrambled.substr(0, 36));
    EXPECT_EQ(static_cast<BYTE>(scrambled[36]), ScrambleByte('C', 3));
    EXPECT_EQ(scrambled[37], '\0');
    EXPECT_EQ(U32At(scrambled, 38), 4u);
    EXPECT_EQ(scrambled[45], '\0');
    EXPECT_EQ(BuildBinaryRecord(Entry(u"C", u"msg"), true, 9), BuildBinaryRecord(Entry(u"C", u"msg"), true, 1));
    EXPECT_EQ(BuildBinaryRecord(Entry(u"C", u"msg"), true, 16), plain);
}

class BinaryLogOutput : public logtest::LogFixture {};

TEST_F(BinaryLogOutput, EntriesRoundTripThroughTheFile) {
    CLog log;
    ASSERT_TRUE(StartLog(log, "bin.log", 5, CLog::kBinaryOutput, 3));
    CLog::Print(&log, 5, u"LOGD", u"computername='%s'", u"PC1");
    CLog::Print(&log, 4, u"", u"no category\n");
    CLog::Print(&log, 6, u"", u"filtered");
    log.Close();

    const std::string data = logtest::ReadAll(Path("bin.log"));
    BinaryRecordReader reader(AsBytes(data), 3);
    DecodedRecord record;
    ASSERT_EQ(reader.Next(record), ReadStatus::Record);
    EXPECT_EQ(record.declaredSize, 44u + 5 + 19 + 1);
    EXPECT_EQ(record.category, "LOGD");
    EXPECT_EQ(record.message, "computername='PC1'");
    EXPECT_EQ(record.time, logtest::kStampTime);
    ASSERT_EQ(reader.Next(record), ReadStatus::Record);
    EXPECT_EQ(record.level, 4);
    EXPECT_EQ(record.message, "no category");
    EXPECT_EQ(reader.Next(record), ReadStatus::End);
}

}  // namespace
