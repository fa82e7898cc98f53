#include "log/LogPath.h"

#include <gtest/gtest.h>

#include "base/format.h"
#include "base/thread.h"
#include "LogTestSupport.h"

using namespace logging;

namespace {

class LogPathTest : public logtest::LogFixture {};

TEST_F(LogPathTest, EveryPlaceholderIsReplacedAndNothingElse) {
    const std::u16string pid = plat::Format(u"%lu", GetCurrentProcessId());
    EXPECT_EQ(ExpandLogPath(u"/logs/gui_%D_%P.log"), u"/logs/gui_20070305140209_" + pid + u".log");
    EXPECT_EQ(ExpandLogPath(u"%P-%P"), pid + u"-" + pid);
    EXPECT_EQ(ExpandLogPath(u"%d%p%%x"), u"%d%p%%x");
    EXPECT_EQ(ExpandLogPath(u"%D%D"), u"2007030514020920070305140209");
}

TEST_F(LogPathTest, StampFollowsLocalTime) {
    setenv("TZ", "XST-2", 1);
    tzset();
    EXPECT_EQ(ExpandLogPath(u"%D"), u"20070305160209");
}

}  // namespace
