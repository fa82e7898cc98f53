#include "log/EventSource.h"

#include <gtest/gtest.h>

#include "base/handle.h"
#include "eventlog/eventlog.h"
#include "log/Log.h"
#include "LogTestSupport.h"

namespace {

class EventLogOutput : public logtest::LogFixture {
protected:
    std::vector<plat::EventRecord> Records() { return m_sink->Records(); }

    std::shared_ptr<plat::MemoryEventSink> m_sink = std::make_shared<plat::MemoryEventSink>();
    plat::ScopedEventSink m_scope{m_sink};
};

TEST_F(EventLogOutput, TemporaryGuiLogReportsOneInformationEventAndDeregisters) {
    const std::size_t handles = plat::OpenHandleCount();
    {
        CLog log;
        ASSERT_EQ(log.Init(u"LUMEX", TRUE, 5, TRUE), S_OK);
        CLog::Print(&log, 5, u"LUMEXGUI", u"Zelmor Lumetra started");
        CLog::Print(&log, 6, u"LUMEXGUI", u"filtered");
    }
    EXPECT_EQ(plat::OpenHandleCount(), handles);
    const auto records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].source, u"LUMEX");
    EXPECT_EQ(records[0].type, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(records[0].category, 0);
    EXPECT_EQ(records[0].event_id, 0u);
    EXPECT_EQ(records[0].strings, std::vector<std::u16string>{u"Zelmor Lumetra started"});
}

TEST_F(EventLogOutput, TypeFollowsTheLevelAndPartsAreTheInsertionStrings) {
    CLog log;
    ASSERT_EQ(log.Init(u"SRC", TRUE, 21, FALSE), S_OK);
    const std::u16string_view parts[] = {u"a", u"b"};
    const std::pair<LONG, WORD> cases[] = {{1, EVENTLOG_ERROR_TYPE},       {2, EVENTLOG_ERROR_TYPE},
                                           {3, EVENTLOG_WARNING_TYPE},     {4, EVENTLOG_INFORMATION_TYPE},
                                           {15, EVENTLOG_INFORMATION_TYPE}, {21, EVENTLOG_INFORMATION_TYPE}};
    for (const auto& [level, type] : cases) log.Write(level, 0x40, u"C", 0, parts);
    const auto records = Records();
    ASSERT_EQ(records.size(), std::size(cases));
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].type, cases[i].second) << "level " << cases[i].first;
        EXPECT_EQ(records[i].event_id, 0x40u);
        EXPECT_EQ(records[i].strings, (std::vector<std::u16string>{u"a", u"b"}));
    }
}

TEST_F(EventLogOutput, FailedRegistrationIsLoggedAndSwitchesTheEventLogOff) {
    CLog log;
    ASSERT_TRUE(StartLog(log, "ev.log", 5));
    EXPECT_EQ(log.Init(u"", TRUE, 5, FALSE), E_FAIL);
    CLog::Print(&log, 5, u"", u"still logging");
    EXPECT_EQ(logtest::ReadAll(Path("ev.log")),
              "05.03.2007 14:02:09:031 AUD: CLOG:RegisterEventSource() failed (87)\r\n"
              "05.03.2007 14:02:09:031 AUD: still logging\r\n");
    EXPECT_TRUE(Records().empty());
}

}  // namespace
