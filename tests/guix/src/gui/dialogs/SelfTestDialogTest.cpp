// The self-test dialog: what each answer of the service shows, the
// remaining-time text, the cancel button turning into a close button, the
// abort requests of every way of closing, and the polling thread's life,
// on the replaceable clock.
#include <chrono>
#include <thread>

#include "DialogTestSupport.h"
#include "SMARTSelfTestDialog.h"
#include "SelfTestIndicators.h"
#include "base/clock.h"
#include "skin/SkinLabel.h"
#include "skin/SkinProgress.h"

using namespace dlgtest;
using Read = ScriptedSmart::Read;

namespace {

class SelfTestDialogTest : public DialogTest {
protected:
    // Lets the polling thread run (moving the clock on) until it waits for
    // its next answer, then applies what it posted to the GUI thread.
    void Settle() {
        for (int i = 0; i < 20000 && !m_smart.Waiting(); ++i) {
            m_clock->Advance(1000);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_TRUE(m_smart.Waiting()) << "the polling thread never asked again";
        Pump();
    }
    // Opens the dialog and has it take the scripted answers.
    void OpenWith(CSMARTSelfTestDialog& dialog, std::vector<Read> answers) {
        m_smart.Script(std::move(answers));
        dialog.SetDevice(&m_device);
        ASSERT_TRUE(dialog.Open());
        Settle();
    }
    std::u16string LabelText(CSMARTSelfTestDialog& d, std::u16string_view name) {
        CSkinLabel* label = d.FindLabel(name);
        return label ? label->GetText() : u"<none>";
    }
    COLORREF LabelColour(CSMARTSelfTestDialog& d, std::u16string_view name) {
        return d.FindLabel(name)->GetTextColor();
    }
    int Bar(CSMARTSelfTestDialog& d) { return d.FindProgress(u"PROGRESS_A")->GetPos(); }

    plat::ScopedManualClock m_clock;
    ScriptedSmart m_smart;
    SmartDevice m_device;
    OwnerWindow m_owner;
};

constexpr std::u16string_view kCaption = u"TEXT_BUTTON_CANCEL", kTime = u"SMART_SELF_TEST_TIME_LABEL",
                              kResult = u"SMART_SELF_TEST_RESULT_LABEL_STATUS";

}  // namespace

TEST(SelfTestIndicators, TheStatusBytesNibblesStayInRange) {
    EXPECT_EQ(selftest::ProgressOf(0x9F), 10);
    EXPECT_EQ(selftest::StatusOf(0x9F), 15);
    // The byte in the drive's own nibble order (status high) would read as
    // 15 tenths to go: the bar stays within 0 to 100.
    EXPECT_EQ(selftest::ProgressOf(0xF9), 0);
    EXPECT_EQ(selftest::StatusOf(0xF9), 9);
    EXPECT_FALSE(selftest::ResultOf(9));
}

TEST(SelfTestIndicators, RemainingTimeTexts) {
    const struct {
        DWORD seconds;
        std::u16string text;
    } cases[] = {{0, u""},          {59, u"00:00:59"},   {60, u"00:01:00"},          {3600, u"01:00:00"},
                 {36000, u"10:00:00"}, {86399, u"23:59:59"}, {86400, u"1 day, 00:00:00"},
                 {90061, u"1 day, 01:01:01"}, {172800, u"2 days, 00:00:00"}};
    for (const auto& c : cases)
        EXPECT_EQ(selftest::RemainingTimeText(c.seconds, u"day", u"days"), c.text) << c.seconds;
}

TEST_F(SelfTestDialogTest, ARunningTestShowsItsProgressInBlackWithTheClipPlaying) {
    CSMARTSelfTestDialog dialog(&m_owner, m_settings, m_smart);
    OpenWith(dialog, {{true, 90061, 0x9F}});  // nine tenths to go, in progress
    EXPECT_EQ(m_smart.Requests().front().first, "start 1");
    EXPECT_EQ(dialog.Progress(), 10);
    EXPECT_EQ(dialog.Status(), 15);
    EXPECT_EQ(Bar(dialog), 10);
    EXPECT_EQ(LabelText(dialog, kCaption), u"Cancel");
    EXPECT_FALSE(dialog.IsFinished());
    EXPECT_EQ(LabelText(dialog, kTime), u"1 day, 01:01:01");
    EXPECT_EQ(LabelText(dialog, kResult), u"Result: Test in progress...");
    EXPECT_EQ(LabelColour(dialog, kResult), selftest::kBlack);
    EXPECT_TRUE(dialog.Animation().IsPlaying());
}

TEST_F(SelfTestDialogTest, ACompletedTestShowsTheGreenResultAndTheCloseCaption) {
    CSMARTSelfTestDialog dialog(&m_owner, m_settings, m_smart);
    dialog.SetExtendedTest(1);
    OpenWith(dialog, {{true, 600, 0x9F}, {true, 0, 0x00}});
    EXPECT_EQ(m_smart.Requests().front().first, "start 2");
    Settle();
    EXPECT_EQ(dialog.Progress(), 100);
    EXPECT_EQ(Bar(dialog), 100);
    EXPECT_EQ(LabelText(dialog, kCaption), u"Close");
    EXPECT_TRUE(dialog.IsFinished());
    EXPECT_EQ(LabelText(dialog, kTime), u"") << "0 seconds: string 232 with an empty text";
    EXPECT_EQ(LabelText(dialog, kResult), u"Result: Completed without error");
    EXPECT_EQ(LabelColour(dialog, kResult), selftest::kGreen);
    EXPECT_FALSE(dialog.Animation().IsPlaying()) << "stopped at frame 0";
    EXPECT_TRUE(dialog.IsRunning()) << "the thread keeps polling until the dialog closes";
}

TEST_F(SelfTestDialogTest, AnAbortedTestResetsTheBarAndShowsRed) {
    CSMARTSelfTestDialog dialog(&m_owner, m_settings, m_smart);
    OpenWith(dialog, {{true, 10, 0x51}});
    EXPECT_EQ(dialog.Progress(), 50);
    EXPECT_EQ(dialog.Status(), 1);
    EXPECT_EQ(Bar(dialog), 0) << "ended part-way";
    EXPECT_EQ(LabelText(dialog, kResult), u"Result: Aborted or interrupted");
    EXPECT_EQ(LabelColour(dialog, kResult), selftest::kRed);
}

TEST_F(SelfTestDialogTest, StatusEightChangesNoResult) {
    CSMARTSelfTestDialog dialog(&m_owner, m_settings, m_smart);
    OpenWith(dialog, {{true, 300, 0x5F}, {true, 300, 0x58}});
    Settle();
    EXPECT_EQ(LabelText(dialog, kResult), u"Result: Test in progress...") << "status 8 leaves the label";
    EXPECT_EQ(LabelColour(dialog, kResult), selftest::kBlack);
    EXPECT_TRUE(dialog.Animation().IsPlaying());
}

TEST_F(SelfTestDialogTest, AFailedReadKeepsWhatTheLastAnswerShowed) {
    CSMARTSelfTestDialog dialog(&m_owner, m_settings, m_smart);
    OpenWith(dialog, {{true, 300, 0x5F}, {false}});
    Settle();
    EXPECT_EQ(m_smart.Reads(), 3);
    EXPECT_EQ(dialog.Progress(), 50) << "not the 100 of a masked byte";
    EXPECT_EQ(dialog.Status(), 15);
    EXPECT_EQ(dialog.RemainingSeconds(), 300u);
    EXPECT_EQ(Bar(dialog), 50);
    EXPECT_EQ(LabelText(dialog, kCaption), u"Cancel");
}

TEST_F(SelfTestDialogTest, BeforeTheFirstAnswerAStartedTestReadsAsRunning) {
    CSMARTSelfTestDialog dialog(&m_owner, m_settings, m_smart);
    dialog.SetDevice(&m_device);
    ASSERT_TRUE(dialog.Open());
    Pump();
    EXPECT_EQ(LabelText(dialog, kResult), u"Result: Test in progress...") << "not a completed test";

    CSMARTSelfTestDialog refused(&m_owner, m_settings, m_smart);
    m_smart.startResult = false;
    refused.SetDevice(&m_device);
    ASSERT_TRUE(refused.Open());
    Pump();
    EXPECT_EQ(LabelText(refused, kResult), u"n/a") << "a refused start claims nothing";
}

TEST_F(SelfTestDialogTest, CancelAbortsOnceThenClosesAndClosingAbortsAgain) {
    CSMARTSelfTestDialog dialog(&m_owner, m_settings, m_smart);
    OpenWith(dialog, {{true, 120, 0x5F}});
    dialog.OnSkinButton(u"BUTTON_CANCEL");
    Pump();
    EXPECT_EQ(m_smart.Aborts(), 1);
    EXPECT_FALSE(dialog.IsRunning());
    EXPECT_TRUE(dialog.IsFinished());
    EXPECT_EQ(Bar(dialog), 0);
    EXPECT_EQ(LabelText(dialog, kCaption), u"Close");
    EXPECT_TRUE(dialog.IsOpen());

    dialog.OnSkinButton(u"BUTTON_CANCEL");
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_EQ(m_smart.Aborts(), 2) << "the window's destruction sends one more";
}

TEST_F(SelfTestDialogTest, EscapeSendsTwoAbortsAndEveryOtherCloseOne) {
    CSMARTSelfTestDialog dialog(&m_owner, m_settings, m_smart);
    OpenWith(dialog, {{true, 120, 0x5F}});
    dialog.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_EQ(m_smart.Aborts(), 2) << "OnCancel and WM_DESTROY";

    OpenWith(dialog, {{true, 120, 0x5F}});
    dialog.OnSkinButton(u"BUTTON_EXIT");
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_EQ(m_smart.Aborts(), 3);

    OpenWith(dialog, {{true, 120, 0x5F}});
    dialog.SendMessage(WM_COMMAND, 58116);
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_EQ(m_smart.Aborts(), 4);
    dialog.SendMessage(WM_COMMAND, IDOK);
    EXPECT_EQ(m_smart.Aborts(), 4);
}

TEST_F(SelfTestDialogTest, TheMenuAndMinimiseRunTheLedWindowsCommands) {
    CSMARTSelfTestDialog dialog(&m_owner, m_settings, m_smart);
    OpenWith(dialog, {{true, 120, 0x5F}});
    dialog.OnSkinButton(u"BUTTON_MINIMIZE");
    dialog.SendMessage(WM_COMMAND, 206);
    dialog.SendMessage(WM_COMMAND, 167);
    EXPECT_EQ(m_owner.commands, (std::vector<UINT>{155, 155, 205}));
    EXPECT_TRUE(dialog.IsOpen());
}

TEST_F(SelfTestDialogTest, ClosingEndsThePollingAndTheNextTestStartsAfresh) {
    CSMARTSelfTestDialog dialog(&m_owner, m_settings, m_smart);
    OpenWith(dialog, {{true, 0, 0x00}});
    dialog.Close();
    const int reads = m_smart.Reads();
    m_clock->Advance(60000);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(m_smart.Reads(), reads) << "no polling without a window";

    OpenWith(dialog, {{true, 300, 0x9F}});
    EXPECT_EQ(LabelText(dialog, kCaption), u"Cancel");
    EXPECT_FALSE(dialog.IsFinished());
    EXPECT_EQ(dialog.Progress(), 10);
}
