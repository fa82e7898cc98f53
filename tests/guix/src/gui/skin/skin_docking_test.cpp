// Snapping a skinned dialog to the work area's edges and auto-hiding it at a
// docked edge: moves, drags, timer 1125 on the replaceable clock and the
// slide out of sight and back.
#include "base/clock.h"
#include "base/clock_advancer.h"
#include "skin_test_support.h"
#include "ui/input.h"

using namespace skintest;
using plat::ui::InjectMouseButton;
using plat::ui::InjectMouseMove;
using plat::ui::MouseButton;

namespace {

class DockingDialog : public RecordingDialog {
public:
    std::vector<RECT> moves;  // the window rectangle after every size change
protected:
    void OnSize(UINT type, int cx, int cy) override {
        RECT r;
        GetWindowRect(m_hWnd, &r);
        moves.push_back(r);
        RecordingDialog::OnSize(type, cx, cy);
    }
};

class SkinDockingTest : public SkinTest {
protected:
    void OpenSnapping(DockingDialog& dialog, BOOL auto_hide = FALSE) {
        Open(dialog);
        dialog.EnableSnap(TRUE);
        dialog.SetAutoHide(auto_hide);
        dialog.moves.clear();
    }
    void Place(const CWnd& wnd, int x, int y) {
        SetWindowPos(wnd.m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Pump();
    }
    // Lets time pass by `ms`, then handles what is due.
    void Elapse(plat::ScopedManualClock& clock, std::uint64_t ms) {
        clock->Advance(ms);
        Pump();
    }
    // The same when a slide is due: its pauses run on the same clock, which
    // then moves on by itself while the slide runs.
    void ElapseAndSlide(plat::ScopedManualClock& clock, std::uint64_t ms) {
        clock->Advance(ms);
        plat::ClockAdvancer pauses(*clock, 1);
        Pump();
    }
    static RECT WindowRect(const CWnd& wnd) {
        RECT r;
        GetWindowRect(wnd.m_hWnd, &r);
        return r;
    }
};

constexpr RECT At(int x, int y, int w = 200, int h = 60) { return RECT{x, y, x + w, y + h}; }

}  // namespace

TEST_F(SkinDockingTest, AMoveNearAnEdgeLandsOnItAndDocks) {
    DockingDialog dialog;
    OpenSnapping(dialog);
    EXPECT_FALSE(dialog.IsDocked());
    Place(dialog, 12, 500);
    EXPECT_EQ(WindowRect(dialog), At(0, 500));
    EXPECT_TRUE(dialog.IsDocked());
    EXPECT_EQ(dialog.DockEdge(), skin::kEdgeLeft);
    EXPECT_EQ(dialog.SavedWindowRect(), At(0, 500));
    Place(dialog, 1920 - 200 - 15, 500);
    EXPECT_EQ(WindowRect(dialog), At(1720, 500));
    EXPECT_TRUE(dialog.IsDockedRight());
    Place(dialog, 800, 1040 - 60 + 9);
    EXPECT_EQ(WindowRect(dialog), At(800, 980)) << "the work area ends above the taskbar";
    EXPECT_EQ(dialog.DockEdge(), skin::kEdgeBottom);
    Place(dialog, 800, 500);
    EXPECT_EQ(WindowRect(dialog), At(800, 500));
    EXPECT_FALSE(dialog.IsDocked());
    EXPECT_EQ(dialog.DockEdge(), skin::kEdgeNone);
}

TEST_F(SkinDockingTest, SnappingOffOrASizeOnlyChangeLeavesTheWindowWhereItIs) {
    DockingDialog dialog;
    Open(dialog);
    Place(dialog, 10, 500);
    EXPECT_EQ(WindowRect(dialog), At(10, 500));
    EXPECT_FALSE(dialog.IsDocked());
    EXPECT_FALSE(dialog.EnableSnap(TRUE)) << "the previous switch";
    SetWindowPos(dialog.m_hWnd, nullptr, 0, 0, 210, 60, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(WindowRect(dialog), At(10, 500, 210)) << "not moved, not snapped";
    EXPECT_TRUE(dialog.EnableSnap(FALSE));
}

TEST_F(SkinDockingTest, TheSnapDistanceAndTheMonitorsWorkAreaCount) {
    Headless().SetMonitors({plat::ui::MonitorDesc{RECT{0, 0, 1920, 1080}, RECT{64, 0, 1920, 1080}, true},
                            plat::ui::MonitorDesc{RECT{1920, 0, 3200, 1024}, RECT{1920, 0, 3200, 1024}, false}});
    DockingDialog dialog;
    OpenSnapping(dialog);
    dialog.SetSnapDistance(30);
    Place(dialog, 64 + 30, 300);
    EXPECT_EQ(WindowRect(dialog), At(64, 300)) << "a panel on the left takes 64 pixels";
    Place(dialog, 2500, 500);  // the work area is the one the window is on before a move
    Place(dialog, 1920 + 25, 1024 - 60 - 20);
    EXPECT_EQ(WindowRect(dialog), At(1920, 964)) << "the second monitor's corner: bottom wins over left";
    EXPECT_EQ(dialog.DockEdge(), skin::kEdgeBottom);
}

TEST_F(SkinDockingTest, AHiddenWindowSnapsButDoesNotDock) {
    DockingDialog dialog;
    OpenSnapping(dialog);
    dialog.ShowWindow(SW_HIDE);
    Place(dialog, 8, 400);
    EXPECT_EQ(WindowRect(dialog), At(0, 400));
    EXPECT_FALSE(dialog.IsDocked());
}

TEST_F(SkinDockingTest, DraggedIntoTheTopLeftCornerItDocksAtTheTopAndNeverSlides) {
    plat::ScopedManualClock clock;
    DockingDialog dialog;
    OpenSnapping(dialog, TRUE);
    Place(dialog, 100, 100);
    InjectMouseMove(POINT{150, 150});
    InjectMouseButton(MouseButton::Left, true);
    Pump();
    InjectMouseMove(POINT{150 - 90, 150 - 95});  // the window would be at (10, 5)
    Pump();
    InjectMouseButton(MouseButton::Left, false);
    Pump();
    EXPECT_EQ(WindowRect(dialog), At(0, 0));
    EXPECT_EQ(dialog.DockEdge(), skin::kEdgeTop);
    InjectMouseMove(POINT{900, 600});
    dialog.moves.clear();
    Elapse(clock, 1500);
    EXPECT_TRUE(dialog.IsHidden()) << "counted as slid out";
    EXPECT_TRUE(dialog.moves.empty()) << "but nothing moved";
    InjectMouseMove(POINT{50, 30});
    Elapse(clock, 50);
    EXPECT_FALSE(dialog.IsHidden());
    EXPECT_TRUE(dialog.moves.empty());
    EXPECT_EQ(WindowRect(dialog), At(0, 0));
}

TEST_F(SkinDockingTest, AtTheLeftEdgeItSlidesOutWhenTheCursorLeavesAndBackWhenItComes) {
    plat::ScopedManualClock clock;
    DockingDialog dialog;
    OpenSnapping(dialog, TRUE);
    InjectMouseMove(POINT{900, 600});
    Place(dialog, 5, 300);  // docks, and the move starts timer 1125
    ASSERT_EQ(dialog.DockEdge(), skin::kEdgeLeft);
    dialog.moves.clear();
    Elapse(clock, 1499);
    EXPECT_TRUE(dialog.moves.empty());
    ElapseAndSlide(clock, 1);
    EXPECT_TRUE(dialog.IsHidden());
    ASSERT_EQ(dialog.moves.size(), 33u);
    EXPECT_EQ(dialog.moves.front(), (RECT{0, 300, 194, 360}));
    EXPECT_EQ(dialog.moves.back(), (RECT{0, 300, 3, 360}));
    EXPECT_EQ(dialog.SavedWindowRect(), (RECT{0, 300, 3, 360}));

    dialog.moves.clear();
    Elapse(clock, 50);
    EXPECT_TRUE(dialog.moves.empty()) << "checked every 50 ms while hidden";
    InjectMouseMove(POINT{1, 330});
    ElapseAndSlide(clock, 50);
    EXPECT_FALSE(dialog.IsHidden());
    ASSERT_EQ(dialog.moves.size(), 17u);
    EXPECT_EQ(dialog.moves[15], (RECT{0, 300, 179, 360}));
    EXPECT_EQ(dialog.moves.back(), At(0, 300));
    EXPECT_EQ(Shown(dialog, 150, 30), Coded(kFaceCode, 150, 30)) << "drawn whole again";
}

TEST_F(SkinDockingTest, TheCursorOverTheShownWindowKeepsItIn) {
    plat::ScopedManualClock clock;
    DockingDialog dialog;
    OpenSnapping(dialog, TRUE);
    Place(dialog, 1920 - 205, 300);
    ASSERT_TRUE(dialog.IsDockedRight());
    InjectMouseMove(POINT{1800, 320});
    dialog.moves.clear();
    Elapse(clock, 1500);
    Elapse(clock, 1500);
    EXPECT_FALSE(dialog.IsHidden());
    EXPECT_TRUE(dialog.moves.empty());
    InjectMouseMove(POINT{900, 320});
    ElapseAndSlide(clock, 1500);
    EXPECT_TRUE(dialog.IsHidden());
    EXPECT_EQ(WindowRect(dialog), (RECT{1917, 300, 1920, 360}));
}

TEST_F(SkinDockingTest, MovingAHiddenWindowAwayUndocksItAndShowsItWhole) {
    plat::ScopedManualClock clock;
    DockingDialog dialog;
    OpenSnapping(dialog, TRUE);
    InjectMouseMove(POINT{900, 600});
    Place(dialog, 1920 - 200, 300);
    ElapseAndSlide(clock, 1500);
    ASSERT_TRUE(dialog.IsHidden());
    {
        plat::ClockAdvancer pauses(*clock, 1);
        Place(dialog, 1000, 400);
    }
    EXPECT_FALSE(dialog.IsHidden());
    EXPECT_FALSE(dialog.IsDocked());
    EXPECT_EQ(dialog.DockEdge(), skin::kEdgeNone);
    EXPECT_EQ(WindowRect(dialog), At(1000 - 197, 400)) << "grown back from the strip, whole";
    EXPECT_EQ(Shown(dialog, 199, 59), Coded(kFaceCode, 199, 59));
}

TEST_F(SkinDockingTest, SwitchingAutoHideOffBringsAHiddenWindowBack) {
    plat::ScopedManualClock clock;
    DockingDialog dialog;
    OpenSnapping(dialog, TRUE);
    InjectMouseMove(POINT{900, 600});
    Place(dialog, 600, 1040 - 60);
    ASSERT_EQ(dialog.DockEdge(), skin::kEdgeBottom);
    ElapseAndSlide(clock, 1500);
    ASSERT_TRUE(dialog.IsHidden());
    EXPECT_EQ(WindowRect(dialog), (RECT{600, 1037, 800, 1040}));
    {
        plat::ClockAdvancer pauses(*clock, 1);
        dialog.SetAutoHide(FALSE);
    }
    EXPECT_FALSE(dialog.IsHidden());
    EXPECT_EQ(WindowRect(dialog), At(600, 980));
    dialog.moves.clear();
    Elapse(clock, 1500);
    Elapse(clock, 1500);
    EXPECT_TRUE(dialog.moves.empty()) << "the timer stopped itself";
}

TEST_F(SkinDockingTest, KeepRightDockedHoldsARectangleOnTheRightEdge) {
    DockingDialog dialog;
    OpenSnapping(dialog);
    RECT r{100, 40, 400, 100};
    EXPECT_FALSE(dialog.KeepRightDocked(&r));
    EXPECT_EQ(r, (RECT{100, 40, 400, 100}));
    Place(dialog, 1715, 40);
    ASSERT_TRUE(dialog.IsDockedRight());
    EXPECT_TRUE(dialog.KeepRightDocked(&r));
    EXPECT_EQ(r, (RECT{1620, 40, 1920, 100})) << "width kept";
}
