#include "log/LogLine.h"

#include <gtest/gtest.h>

#include <vector>

#include "log/LogLevel.h"
#include "LogTestSupport.h"

using namespace logging;

namespace {

TEST(LogLevelNames, TableAndOutOfRangeLevels) {
    const std::pair<LONG, std::u16string_view> cases[] = {
        {0, u"off"}, {1, u"CRI"}, {4, u"INF"}, {5, u"AUD"}, {9, u"DB4"}, {10, u"RS1"}, {14, u"RS5"},
        {15, u"ALW"}, {16, u"RS6"}, {20, u"RSA"}, {21, u"TRM"}, {25, u"TRM"}, {-3, u"off"}};
    for (const auto& [level, name] : cases) EXPECT_EQ(LevelName(level), name) << "level " << level;
}

std::u16string Compose(std::vector<std::u16string_view> parts, bool prefix = false, DWORD event_id = 0) {
    return ComposeMessage(prefix, 0x1A2B, parts, event_id);
}

TEST(LogMessage, ThreadPrefixIsLiteralZeroEightThenLowerCaseHex) {
    EXPECT_EQ(Compose({u"CGAPP::LS: <- (0)"}, true), u"[081a2b] CGAPP::LS: <- (0)");
    EXPECT_EQ(Compose({}, true), u"[081a2b] ");
}

TEST(LogMessage, PartsJoinedWithBars) {
    EXPECT_EQ(Compose({u"a"}), u"a");
    EXPECT_EQ(Compose({u"a", u"b"}), u"a | b");
    EXPECT_EQ(Compose({u"a", u"", u"c"}), u"a |  | c");
    EXPECT_EQ(Compose({u"a", u"b", u"c", u"ignored"}), u"a | b | c");
}

TEST(LogMessage, ExactlyOneTrailingLineFeedIsRemoved) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"text\n", u"text"}, {u"text\r\n", u"text\r"}, {u"text\n\n", u"text\n"}, {u"\n", u""}, {u"a\nb", u"a\nb"}};
    for (const auto& [in, out] : cases) EXPECT_EQ(Compose({in}), out);
}

TEST(LogMessage, EventIdFollowsTheMessageBeforeTheLineFeedCheck) {
    EXPECT_EQ(Compose({u"x"}, false, 0x1F), u"x(EVENT 0x1f)");
    EXPECT_EQ(Compose({u"x\n"}, false, 0x1F), u"x\n(EVENT 0x1f)");
}

TEST(LogHeader, CategoryIsFollowedByAColonOnlyWhenPresent) {
    EXPECT_EQ(FormatHeader(4, u""), u"INF: ");
    EXPECT_EQ(FormatHeader(4, u"SOCKETS"), u"INF: SOCKETS:");
}

class LogLineFormat : public logtest::LogFixture {};

TEST_F(LogLineFormat, StampIsDayMonthYearAndMillisecondsInLocalTime) {
    EXPECT_EQ(FormatStamp(logtest::kStampTime), u"05.03.2007 14:02:09:031");
    EXPECT_EQ(FormatLine(logtest::kStampTime, 5, u"LOGD", u"[08a3c] computername='PC1'"),
              u"05.03.2007 14:02:09:031 AUD: LOGD:[08a3c] computername='PC1'");
    setenv("TZ", "XST-2", 1);
    tzset();
    EXPECT_EQ(FormatStamp(logtest::kStampTime), u"05.03.2007 16:02:09:031");
}

TEST_F(LogLineFormat, LineKeepsAtMost4096MessageCharacters) {
    const std::u16string line = FormatLine(logtest::kStampTime, 4, u"", std::u16string(5000, u'm'));
    EXPECT_EQ(line.size(), 23 + 1 + 5 + kMaxLineMessage);
}

}  // namespace
