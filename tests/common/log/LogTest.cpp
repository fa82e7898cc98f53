#include "log/Log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <thread>
#include <vector>

#include "base/thread.h"
#include "LogTestSupport.h"

namespace {

class LogTest : public logtest::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        ASSERT_TRUE(StartLog(m_log, "text.log", 0));
    }
    std::string Text() { return logtest::ReadAll(Path("text.log")); }

    CLog m_log;
};

TEST_F(LogTest, AtLevelZeroOnlyLevelFifteenIsWritten) {
    for (LONG level = 1; level <= 21; ++level) CLog::Print(&m_log, level, u"", u"level %d", level);
    EXPECT_EQ(Text(), "05.03.2007 14:02:09:031 ALW: level 15\r\n");
}

TEST_F(LogTest, EntriesUpToTheCurrentLevelPass) {
    m_log.SetLevel(4);
    CLog::Print(&m_log, 4, u"SOCKETS", "bind() failed %i", 10048);
    CLog::Print(&m_log, 5, u"SOCKETS", "filtered");
    CLog::Print(&m_log, 25, u"", u"filtered too");
    m_log.SetLevel(30);
    CLog::Print(&m_log, 25, u"", u"terminal");
    EXPECT_EQ(Text(),
              "05.03.2007 14:02:09:031 INF: SOCKETS:bind() failed 10048\r\n"
              "05.03.2007 14:02:09:031 TRM: terminal\r\n");
}

TEST_F(LogTest, EventIdAndPartsReachTheLine) {
    m_log.SetLevel(5);
    const std::u16string_view parts[] = {u"one", u"two"};
    m_log.Write(5, 0x2A, u"CAT", 7, parts);
    EXPECT_EQ(Text(), "05.03.2007 14:02:09:031 AUD: CAT:one | two(EVENT 0x2a)\r\n");
}

TEST_F(LogTest, LongCategoriesAndMessagesAreCut) {
    m_log.SetLevel(5);
    CLog::Print(&m_log, 5, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ", u"%s", std::u16string(5000, u'm'));
    const std::string text = Text();
    EXPECT_EQ(text.substr(24, 25), "AUD: ABCDEFGHIJKLMNOPQRS:");
    EXPECT_EQ(text.size(), 24 + 25 + 4095 + 2);
}

TEST_F(LogTest, ThreadPrefixCarriesTheWritersThreadId) {
    m_log.Init(u"TEST", FALSE, 5, TRUE);
    CLog::Print(&m_log, 5, u"", u"x");
    EXPECT_EQ(Text(), plat::Format("05.03.2007 14:02:09:031 AUD: [08%x] x\r\n", GetCurrentThreadId()));
}

TEST_F(LogTest, FileAppendsAcrossOpensAndAnEmptyPathClosesIt) {
    CLog::Print(&m_log, 15, u"", u"first");
    m_log.Close();
    ASSERT_TRUE(m_log.OpenFile(WidePath("text.log").c_str(), CLog::kTextOutput, FALSE, 0));
    CLog::Print(&m_log, 15, u"", u"second");
    EXPECT_TRUE(m_log.OpenFile(u"", CLog::kTextOutput, FALSE, 0));
    EXPECT_FALSE(m_log.OpenFile(nullptr, CLog::kTextOutput, FALSE, 0));
    CLog::Print(&m_log, 15, u"", u"nowhere");
    EXPECT_EQ(Text(), "05.03.2007 14:02:09:031 ALW: first\r\n05.03.2007 14:02:09:031 ALW: second\r\n");
}

TEST_F(LogTest, BadIndexesAndPathsAreRefused) {
    EXPECT_FALSE(m_log.OpenFile(WidePath("x.log").c_str(), 2, FALSE, 0));
    EXPECT_FALSE(m_log.OpenFile(WidePath("missing/dir/x.log").c_str(), CLog::kTextOutput, FALSE, 0));
    EXPECT_FALSE(m_log.OpenFile((u"/tmp/" + std::u16string(300, u'p')).c_str(), CLog::kTextOutput, FALSE, 0));
}

TEST_F(LogTest, ConsoleGetsTheWholeLineOrTheMessageOnly) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    m_log.SetConsole(fds[1], TRUE);
    CLog::Print(&m_log, 15, u"C", u"full\n");
    m_log.SetConsole(fds[1], FALSE);
    CLog::Print(&m_log, 15, u"C", u"bare");
    m_log.SetConsole(CLog::kNoConsole, FALSE);
    CLog::Print(&m_log, 15, u"C", u"not echoed");
    close(fds[1]);
    char buffer[256] = {};
    std::string echoed;
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) echoed.append(buffer, std::size_t(n));
    close(fds[0]);
    EXPECT_EQ(echoed, "05.03.2007 14:02:09:031 ALW: C:full\nbare\n");
}

class LogParentTest : public LogTest {};

TEST_F(LogParentTest, ChildWritesNothingItselfAndTheParentFilters) {
    CLog child;
    ASSERT_TRUE(StartLog(child, "child.log", 15));
    m_log.SetLevel(4);
    ASSERT_TRUE(child.SetParent(&m_log));
    EXPECT_EQ(child.GetLevel(), 4);
    CLog::Print(&child, 4, u"GOC", u"passes the parent");
    child.Write(5, 0, u"GOC", 0, {});
    EXPECT_EQ(Text(), "05.03.2007 14:02:09:031 INF: GOC:passes the parent\r\n");
    EXPECT_EQ(logtest::ReadAll(Path("child.log")), "");
}

TEST_F(LogParentTest, DestroyingTheParentDetachesItsChildren) {
    CLog child;
    ASSERT_TRUE(StartLog(child, "child.log", 15));
    {
        CLog parent;
        ASSERT_TRUE(child.SetParent(&parent));
    }
    CLog::Print(&child, 15, u"", u"own output again");
    EXPECT_EQ(logtest::ReadAll(Path("child.log")), "05.03.2007 14:02:09:031 ALW: own output again\r\n");
}

TEST_F(LogParentTest, ParentChainsThatLoopAreRefused) {
    CLog a, b;
    EXPECT_FALSE(a.SetParent(&a));
    ASSERT_TRUE(a.SetParent(&b));
    EXPECT_FALSE(b.SetParent(&a));
    EXPECT_TRUE(a.SetParent(nullptr));
    EXPECT_TRUE(b.SetParent(&a));
}

TEST_F(LogTest, ConcurrentWritersProduceWholeLinesOnly) {
    m_log.SetFlush(FALSE);
    m_log.Init(u"TEST", FALSE, 5, TRUE);
    constexpr int kThreads = 4, kLines = 250;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([this, t] {
            for (int i = 0; i < kLines; ++i) CLog::Print(&m_log, 5, u"T", u"writer %d line %d %s", t, i, std::string(100, 'z'));
        });
    }
    for (auto& w : writers) w.join();
    const std::regex line(R"(05\.03\.2007 14:02:09:031 AUD: T:\[08[0-9a-f]+\] writer \d line \d+ z{100}\r)");
    std::istringstream lines(Text());
    int count = 0;
    for (std::string l; std::getline(lines, l); ++count) ASSERT_TRUE(std::regex_match(l, line)) << l;
    EXPECT_EQ(count, kThreads * kLines);
}

}  // namespace
