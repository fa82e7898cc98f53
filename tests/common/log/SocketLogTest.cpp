#include "log/SocketLog.h"

#include <gtest/gtest.h>

#include "LogTestSupport.h"

namespace {

class SocketLogTest : public logtest::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        ASSERT_TRUE(StartLog(m_log, "s.log", 4));
    }
    void TearDown() override {
        logging::SetSocketLog(nullptr);
        LogFixture::TearDown();
    }
    CLog m_log;
};

TEST_F(SocketLogTest, SilentWithoutAnAttachedLogOrBelowLevelFour) {
    logging::SocketDiag("*** error: CBasicSocket::Bind() bind() failed %i", 98);
    logging::SetSocketLog(&m_log);
    m_log.SetLevel(3);
    logging::SocketDiag(u"quiet");
    EXPECT_EQ(logtest::ReadAll(Path("s.log")), "");
}

TEST_F(SocketLogTest, WritesOneLevelFourEntryAndKeepsTheLastError) {
    logging::SetSocketLog(&m_log);
    m_log.SetLevel(15);
    SetLastError(10054);
    logging::SocketDiag("*** error: CBasicSocket::Bind() bind() failed %i", 98);
    EXPECT_EQ(GetLastError(), 10054u);
    EXPECT_EQ(logtest::ReadAll(Path("s.log")),
              "05.03.2007 14:02:09:031 INF: SOCKETS:*** error: CBasicSocket::Bind() bind() failed 98\r\n");
}

}  // namespace
