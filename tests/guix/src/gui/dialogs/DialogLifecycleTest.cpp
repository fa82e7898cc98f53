// Both dialogs as the LED window uses them: made hidden, opened, closed by
// each of their ways, opened again, and destroyed with a window open.
#include "DialogTestSupport.h"
#include "SMARTDetailDialog.h"
#include "SMARTSelfTestDialog.h"
#include "base/clock.h"

using namespace dlgtest;

namespace {

class DialogLifecycleTest : public DialogTest {
protected:
    plat::ScopedManualClock m_clock;
    ScriptedSmart m_smart;
    SmartDevice m_device;
};

}  // namespace

TEST_F(DialogLifecycleTest, ObjectsStartWithoutWindowsAndOpenOnDemand) {
    OwnerWindow owner;
    CSMARTDetailDialog details(&owner, m_settings);
    CSMARTSelfTestDialog selftest(&owner, m_settings, m_smart);
    EXPECT_FALSE(details.IsOpen());
    EXPECT_FALSE(selftest.IsOpen());
    EXPECT_TRUE(m_smart.Requests().empty()) << "a hidden self-test dialog starts nothing";

    details.SetDevice(&m_device);
    ASSERT_TRUE(details.Open());
    EXPECT_TRUE(details.IsOpen());
    EXPECT_TRUE(IsWindowVisible(details.m_hWnd));
    EXPECT_FALSE(details.Open()) << "one window at a time";
    details.Close();
    EXPECT_FALSE(details.IsOpen());
    ASSERT_TRUE(details.Open()) << "closed dialogs open again";
}

TEST_F(DialogLifecycleTest, TheSelfTestWindowGoesWithItsObjectAndAbortsTheTest) {
    OwnerWindow owner;
    {
        CSMARTSelfTestDialog selftest(&owner, m_settings, m_smart);
        selftest.SetDevice(&m_device);
        m_smart.Script({{true, 120, 0xF9}});
        ASSERT_TRUE(selftest.Open());
        EXPECT_TRUE(selftest.IsOpen());
    }
    const auto requests = m_smart.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].first, "start 1");
    EXPECT_EQ(requests[1].first, "abort");
    EXPECT_EQ(requests[1].second, &m_device);
}
