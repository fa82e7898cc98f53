#include "base/clock.h"
#include "ui/dialog.h"

#include "sample_library.h"

using namespace uitest;

namespace {

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

class AnimateTest : public SampleTest {
protected:
    void SetUp() override {
        SampleTest::SetUp();
        InitCommonControls();
        m_parent = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 40, 20});
        m_anim = CreateWindowExW(0, ANIMATE_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 4, 2, m_parent,
                                 reinterpret_cast<HMENU>(9), nullptr, nullptr);
        ASSERT_NE(m_anim, nullptr);
    }
    BOOL Open(UINT id) {
        return BOOL(SendMessageW(m_anim, ACM_OPENW, reinterpret_cast<WPARAM>(m_library),
                                 reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(id))));
    }
    std::uint32_t Shown() {
        Pump();
        return Pixel(*Headless().Capture(m_parent), 1, 1);
    }
    void Wait(DWORD ms) {
        m_clock->Advance(ms);
        Pump();
    }
    std::vector<WORD> Notices() {
        std::vector<WORD> out;
        for (const Seen& s : SeenOf(WM_COMMAND, m_parent)) out.push_back(HIWORD(DWORD(s.wparam)));
        return out;
    }
    plat::ScopedManualClock m_clock;
    HWND m_parent = nullptr;
    HWND m_anim = nullptr;
};

}  // namespace

TEST_F(AnimateTest, PlaysFramesOnTheClipsTimerAndStopsAtTheEnd) {
    ASSERT_TRUE(Open(400));
    EXPECT_EQ(Shown(), kRed);
    ASSERT_TRUE(SendMessageW(m_anim, ACM_PLAY, 1, MAKELPARAM(0, -1)));
    EXPECT_TRUE(SendMessageW(m_anim, ACM_ISPLAYING, 0, 0));
    Wait(99);
    EXPECT_EQ(Shown(), kRed);
    Wait(1);
    EXPECT_EQ(Shown(), kGreen);
    Wait(100);
    EXPECT_EQ(Shown(), kBlue);
    EXPECT_FALSE(SendMessageW(m_anim, ACM_ISPLAYING, 0, 0));
    Wait(500);
    EXPECT_EQ(Shown(), kBlue);
    EXPECT_EQ(Notices(), (std::vector<WORD>{ACN_START, ACN_STOP}));
}

TEST_F(AnimateTest, RepeatsFromTheFirstFrameOfTheRangeUntilStopped) {
    ASSERT_TRUE(Open(400));
    SendMessageW(m_anim, ACM_PLAY, WPARAM(-1), MAKELPARAM(1, 2));
    std::vector<std::uint32_t> seen{Shown()};
    for (int i = 0; i < 4; ++i) {
        Wait(100);
        seen.push_back(Shown());
    }
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{kGreen, kBlue, kGreen, kBlue, kGreen}));
    SendMessageW(m_anim, ACM_STOP, 0, 0);
    Wait(300);
    EXPECT_EQ(Shown(), kGreen);
}

TEST_F(AnimateTest, SeekShowsOneFrameAndBadRequestsFail) {
    ASSERT_TRUE(Open(400));
    EXPECT_TRUE(SendMessageW(m_anim, ACM_PLAY, 1, MAKELPARAM(2, 2)));
    EXPECT_EQ(Shown(), kBlue);
    EXPECT_FALSE(SendMessageW(m_anim, ACM_ISPLAYING, 0, 0));
    EXPECT_FALSE(SendMessageW(m_anim, ACM_PLAY, 1, MAKELPARAM(3, 2)));
    EXPECT_FALSE(Open(401));
    EXPECT_FALSE(SendMessageW(m_anim, ACM_PLAY, 1, MAKELPARAM(0, -1))) << "nothing open after a failed open";
    EXPECT_TRUE(SendMessageW(m_anim, ACM_OPENW, 0, 0)) << "closing";
}
