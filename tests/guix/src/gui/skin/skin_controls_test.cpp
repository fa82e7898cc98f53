// The skinned controls under the mouse, the keyboard and the clock: button
// looks, hover tracking, captions following their button, scrolling labels,
// progress bars, sliders and the setters other threads call.
#include <thread>

#include "base/clock.h"
#include "skin_test_support.h"
#include "ui/input.h"

using namespace skintest;
using plat::ui::InjectMouseButton;
using plat::ui::MouseButton;

namespace {

class SkinControlsTest : public SkinTest {
protected:
    void Press(const CSkinDialog& dialog, int x, int y) {
        MoveTo(dialog, x, y);
        InjectMouseButton(MouseButton::Left, true);
        Pump();
    }
    void Release() {
        InjectMouseButton(MouseButton::Left, false);
        Pump();
    }
    // The code (red channel) of the image a control's pixel came from.
    int CodeAt(const CSkinDialog& dialog, int x, int y) { return int(Shown(dialog, x, y) >> 16); }
    // Rows of `area` (dialog coordinates) where text covers the coded face.
    std::vector<int> TextRows(const CSkinDialog& dialog, const RECT& area) {
        Pump();
        auto shown = Headless().Capture(dialog.m_hWnd);
        std::vector<int> rows;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (uitest::Pixel(*shown, x, y) != Coded(kFaceCode, x, y)) {
                    rows.push_back(y);
                    break;
                }
        return rows;
    }
};

}  // namespace

// --- Buttons ------------------------------------------------------------------

TEST_F(SkinControlsTest, AButtonShowsHoverWhileTheMouseIsOverItAndPressedWhileHeld) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_BUTTON_ONE);
    EXPECT_EQ(CodeAt(dialog, 12, 14), kFaceCode);
    MoveTo(dialog, 20, 15);
    EXPECT_TRUE(dialog.Button(0)->IsHovered());
    EXPECT_EQ(GetCapture(), dialog.Button(0)->m_hWnd) << "hover tracking holds the mouse";
    EXPECT_EQ(Shown(dialog, 12, 14), Coded(kHoverCode, 12, 14));
    Press(dialog, 20, 15);
    EXPECT_EQ(CodeAt(dialog, 12, 14), kPressedCode);
    Release();
    EXPECT_EQ(dialog.events, (std::vector<std::string>{"button BUTTON_ONE"}));
    EXPECT_FALSE(dialog.Button(0)->IsHovered()) << "a click ends the hover";
    EXPECT_GT(dialog.mouseMoves, 0);

    MoveTo(dialog, 21, 15);
    EXPECT_TRUE(dialog.Button(0)->IsHovered());
    MoveTo(dialog, 150, 50);
    EXPECT_FALSE(dialog.Button(0)->IsHovered()) << "leaving the button";
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(CodeAt(dialog, 12, 14), kFaceCode);
}

TEST_F(SkinControlsTest, AReleaseOutsideTheButtonIsNoClick) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_BUTTON_ONE);
    Press(dialog, 20, 15);
    MoveTo(dialog, 150, 50);
    Release();
    EXPECT_TRUE(dialog.events.empty());
}

TEST_F(SkinControlsTest, ADragStartedElsewhereDoesNotHoverAButton) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_BUTTON_ONE);
    CSkinButton& button = *dialog.Button(0);
    // A move with the left button down reaching a button that was not hovered.
    SendMessageW(button.m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_FALSE(button.IsHovered());
    EXPECT_NE(GetCapture(), button.m_hWnd);
}

TEST_F(SkinControlsTest, LatchedAndDisabledButtonsFollowTheTable) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_BUTTON_ONE);  // plain
    dialog.AddButtonFromString(IDS_BUTTON_TWO);  // toggle
    dialog.SetButtonState(u"BUTTON_ONE", TRUE);
    dialog.SetButtonState(u"BUTTON_TWO", TRUE);
    EXPECT_EQ(CodeAt(dialog, 12, 14), kPressedCode);
    EXPECT_EQ(CodeAt(dialog, 52, 14), kPressedCode);
    MoveTo(dialog, 20, 15);
    EXPECT_EQ(CodeAt(dialog, 12, 14), kHoverCode) << "a plain latched button shows hover while hovered";
    MoveTo(dialog, 60, 15);  // ends the first button's hover
    MoveTo(dialog, 61, 15);
    ASSERT_TRUE(dialog.Button(1)->IsHovered());
    EXPECT_EQ(CodeAt(dialog, 52, 14), kPressedCode) << "a latched toggle stays pressed under the mouse";
    EXPECT_EQ(CodeAt(dialog, 12, 14), kPressedCode);
    MoveTo(dialog, 150, 50);

    dialog.SetButtonState(u"BUTTON_ONE", FALSE);
    dialog.SetButtonState(u"BUTTON_TWO", FALSE);
    dialog.EnableButton(u"BUTTON_ONE", FALSE);
    dialog.EnableButton(u"BUTTON_TWO", FALSE);
    EXPECT_EQ(CodeAt(dialog, 12, 14), kDisabledCode);
    EXPECT_EQ(CodeAt(dialog, 52, 14), kFaceCode) << "a toggle button keeps its look when disabled";
}

TEST_F(SkinControlsTest, ACaptionLabelFollowsItsButtonsHover) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_BUTTON_CAPTION);  // 120, 5 .. 190, 35
    dialog.AddLabelFromString(IDS_LABEL_CAPTION);    // 125, 10 .. 185, 30
    dialog.AddLabelFromString(IDS_LABEL_A);          // elsewhere
    ASSERT_EQ(dialog.LabelsInside(RECT{120, 5, 190, 35}).size(), 1u);
    EXPECT_EQ(Shown(dialog, 126, 11), Coded(kFaceCode, 126, 11));
    MoveTo(dialog, 122, 7);
    ASSERT_TRUE(dialog.Button(0)->IsHovered());
    EXPECT_EQ(Shown(dialog, 126, 11), Coded(kHoverCode, 126, 11)) << "the caption's background is hovered too";
    EXPECT_EQ(Shown(dialog, 11, 29), Coded(kFaceCode, 11, 29)) << "a label outside the button is not";
    MoveTo(dialog, 100, 50);
    EXPECT_EQ(Shown(dialog, 126, 11), Coded(kFaceCode, 126, 11));

    // The button painting alone (a latched state from outside) leaves the
    // caption's white text on top, with nothing else to paint.
    dialog.SetButtonState(u"BUTTON_CAPTION", TRUE);
    UpdateWindow(dialog.Button(0)->m_hWnd);
    auto shown = Headless().Capture(dialog.m_hWnd);
    int white = 0;  // the coded images' red is 30 at most
    for (int y = 10; y < 30; ++y)
        for (int x = 125; x < 185; ++x) white += (uitest::Pixel(*shown, x, y) >> 16) > 150;
    EXPECT_GT(white, 10) << "the caption's text";
    EXPECT_EQ(uitest::Pixel(*shown, 122, 7), Coded(kPressedCode, 122, 7));
}

TEST_F(SkinControlsTest, ControlsWithATipGetATooltip) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_BUTTON_ONE);      // "First button"
    dialog.AddButtonFromString(IDS_BUTTON_CAPTION);  // no tip
    ASSERT_TRUE(dialog.Button(0)->Tooltip().Exists());
    EXPECT_EQ(dialog.Button(0)->Tooltip().Control().GetToolCount(), 1);
    WCHAR text[64] = {};
    TTTOOLINFOW info;
    info.hwnd = dialog.Button(0)->m_hWnd;
    info.uId = 1;
    info.lpszText = text;
    SendMessageW(dialog.Button(0)->Tooltip().Control().m_hWnd, TTM_GETTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(std::u16string(text), u"First button");
}

// --- Labels -----------------------------------------------------------------------

TEST_F(SkinControlsTest, ALongTextScrollsOneCharacterEvery200Ms) {
    plat::ScopedManualClock clock;
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddLabelFromString(IDS_LABEL_A);
    dialog.AddLabelFromString(IDS_LABEL_LONG);
    CSkinLabel& fits = *dialog.Label(0);
    CSkinLabel& long_one = *dialog.Label(1);
    EXPECT_FALSE(fits.IsScrolling());
    ASSERT_TRUE(long_one.IsScrolling());
    const int n = int(long_one.GetText().size());
    ASSERT_GT(n, long_one.Capacity());
    EXPECT_EQ(long_one.Offset(), 0);
    clock->Advance(199);
    Pump();
    EXPECT_EQ(long_one.Offset(), 0);
    for (int step = 1; step <= n; ++step) {
        clock->Advance(step == 1 ? 1 : 200);
        Pump();
        ASSERT_EQ(long_one.Offset(), step);
    }
    clock->Advance(200);
    Pump();
    EXPECT_EQ(long_one.Offset(), 0) << "past the end it starts again";
    EXPECT_EQ(fits.Offset(), 0);

    long_one.SetText(u"Fits");
    EXPECT_FALSE(long_one.IsScrolling());
    clock->Advance(1000);
    Pump();
    EXPECT_EQ(long_one.Offset(), 0) << "a text that fits stops the timer";
}

TEST_F(SkinControlsTest, AFittingTextIsCentredAndAScrollingOneTopAligned) {
    RecordingDialog dialog;
    Open(dialog);
    const RECT area{10, 5, 110, 45};
    dialog.AddLabelFromRecord(u"FITS,DejaVu Sans,,,12,0,0,0,0,0,Hi,", area);
    std::vector<int> rows = TextRows(dialog, area);
    ASSERT_FALSE(rows.empty());
    EXPECT_NEAR((rows.front() + rows.back()) / 2.0, (area.top + area.bottom) / 2.0, 2.0);

    dialog.DeleteLabels();
    dialog.AddLabelFromRecord(u"SCROLLS,DejaVu Sans,,,12,0,0,0,0,0,A text much too long for a label this wide,",
                              area);
    ASSERT_TRUE(dialog.Label(0)->IsScrolling());
    rows = TextRows(dialog, area);
    ASSERT_FALSE(rows.empty());
    EXPECT_LT(rows.front(), area.top + 4) << "top-aligned";
    EXPECT_LT(rows.back(), area.top + 20);
}

TEST(SkinScrolledText, RepeatsTheTextAfterADash) {
    EXPECT_EQ(ScrolledText(u"abc", 0, 5), u"abc");
    EXPECT_EQ(ScrolledText(u"abcdefgh", 0, 5), u"abcdefgh");
    EXPECT_EQ(ScrolledText(u"abcdefgh", 6, 5), u"gh - abcdefgh");
    EXPECT_EQ(ScrolledText(u"abcdefgh", 8, 5), u" - abcdefgh") << "the offset may reach the length";
    EXPECT_EQ(ScrolledText(u"abcdef", 5, 20), u"abcdef") << "fits";
    EXPECT_EQ(ScrolledText(u"abcdefgh", 7, 7), u"h - abcdefgh");
}

TEST_F(SkinControlsTest, PressingALabelOrTheBackgroundDragsTheDialog) {
    struct Case {
        POINT grab;  // client point pressed
        POINT by;    // how far the mouse then moves
    } cases[] = {{{20, 33}, {30, 25}}, {{150, 50}, {-40, 10}}};  // on LABEL_A, on the face
    for (const Case& c : cases) {
        RecordingDialog dialog;
        Open(dialog);
        dialog.AddLabelFromString(IDS_LABEL_A);
        Press(dialog, c.grab.x, c.grab.y);
        plat::ui::InjectMouseMove(POINT{300 + c.grab.x + c.by.x, 200 + c.grab.y + c.by.y});
        Pump();
        Release();
        RECT r;
        GetWindowRect(dialog.m_hWnd, &r);
        EXPECT_EQ(r.left, 300 + c.by.x) << "pressed at " << c.grab.x;
        EXPECT_EQ(r.top, 200 + c.by.y) << "pressed at " << c.grab.x;
        EXPECT_TRUE(dialog.events.empty()) << "a drag clicks nothing";
    }
}

TEST_F(SkinControlsTest, AReleaseThatReachesALabelReportsIt) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddLabelFromString(IDS_LABEL_A);
    SendMessageW(dialog.Label(0)->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(dialog.events, (std::vector<std::string>{"label LABEL_A"}));
}

TEST_F(SkinControlsTest, ADoubleClickOnALabelReachesTheDialogAtItsPoint) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddLabelFromString(IDS_LABEL_A);  // at 10, 28
    SendMessageW(dialog.Label(0)->m_hWnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(4, 5));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, dialog.m_hWnd, WM_LBUTTONDBLCLK, WM_LBUTTONDBLCLK, PM_REMOVE));
    EXPECT_EQ(msg.wParam, WPARAM(2));
    EXPECT_EQ(GET_X_LPARAM(msg.lParam), 14);
    EXPECT_EQ(GET_Y_LPARAM(msg.lParam), 33);
}

// --- Progress bars ------------------------------------------------------------------

TEST_F(SkinControlsTest, AProgressBarFillsFromTheDisabledImage) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddProgressFromString(IDS_PROGRESS_A);  // 10, 35 .. 110, 45, along its width
    dialog.AddProgressFromString(IDS_PROGRESS_V);  // 130, 40 .. 140, 60, along its height
    dialog.SetProgressPos(u"PROGRESS_A", 50);
    dialog.SetProgressPos(u"PROGRESS_V", 50);
    EXPECT_EQ(Shown(dialog, 59, 40), Coded(kDisabledCode, 59, 40));
    EXPECT_EQ(Shown(dialog, 60, 40), Coded(kFaceCode, 60, 40));
    EXPECT_EQ(Shown(dialog, 139, 49), Coded(kDisabledCode, 139, 49));
    EXPECT_EQ(Shown(dialog, 139, 50), Coded(kFaceCode, 139, 50));
}

TEST_F(SkinControlsTest, ProgressPositionsClampAsUnsignedNumbers) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddProgressFromString(IDS_PROGRESS_A);
    CSkinProgress& bar = *dialog.Progress(0);
    struct Case {
        int set, pos;
    } cases[] = {{150, 100}, {0, 0}, {-1, 100}, {37, 37}, {101, 100}, {100, 100}, {-2147483647 - 1, 100}};
    for (const Case& c : cases) {
        bar.SetPos(c.set);
        EXPECT_EQ(bar.GetPos(), c.pos) << c.set;
    }
    bar.SetPos(-1);
    EXPECT_EQ(Shown(dialog, 109, 44), Coded(kDisabledCode, 109, 44)) << "a full bar";
    ASSERT_FALSE(GetUpdateRect(bar.m_hWnd, nullptr, FALSE));
    bar.SetPos(100);
    EXPECT_FALSE(GetUpdateRect(bar.m_hWnd, nullptr, FALSE)) << "the current value does not repaint";
    bar.SetPos(99);
    EXPECT_TRUE(GetUpdateRect(bar.m_hWnd, nullptr, FALSE));
}

TEST_F(SkinControlsTest, AReleaseOnAProgressBarReportsIt) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddProgressFromString(IDS_PROGRESS_A);
    uitest::Click(ScreenPoint(dialog, 30, 40));
    Pump();
    EXPECT_EQ(dialog.events, (std::vector<std::string>{"progress PROGRESS_A"}));
}

// --- Sliders ----------------------------------------------------------------------------

TEST_F(SkinControlsTest, TheThumbBitmapSitsOnTheTrackbarsThumb) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddSliderFromString(IDS_SLIDER_COLOR, IDB_THUMB, IDB_THUMB_PRESSED);  // 10, 44, position 30
    CSkinSlider& slider = *dialog.Slider(0);
    EXPECT_EQ(slider.GetPos(), 30);
    EXPECT_EQ(slider.GetRangeMin(), 0);
    EXPECT_EQ(slider.GetRangeMax(), 100);
    RECT track;
    slider.GetThumbRect(&track);
    const RECT thumb = slider.ThumbRect();
    EXPECT_EQ(thumb.right - thumb.left, 8);
    EXPECT_EQ(thumb.bottom - thumb.top, 12);
    EXPECT_EQ(thumb.top, 0);
    EXPECT_EQ(thumb.left, track.left + (track.right - track.left) / 2 - 4);
    EXPECT_EQ(Shown(dialog, 10 + thumb.left + 3, 44 + 5), 0xC80000u) << "the thumb";
    EXPECT_EQ(Shown(dialog, 10 + thumb.right + 2, 44 + 5), Coded(kFace2Code, 10 + thumb.right + 2, 44 + 5))
        << "the background, from the second face";
    EXPECT_EQ(Shown(dialog, 10 + thumb.left + 3, 44 + 14), Coded(kFace2Code, 10 + thumb.left + 3, 44 + 14));
}

TEST_F(SkinControlsTest, AVerticalRecordMakesAVerticalSlider) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddSliderFromString(IDS_SLIDER_UPRIGHT, IDB_THUMB, IDB_THUMB_PRESSED);
    dialog.AddSliderFromString(IDS_SLIDER_COLOR, IDB_THUMB, IDB_THUMB_PRESSED);
    EXPECT_TRUE(GetWindowLongW(dialog.Slider(0)->m_hWnd, GWL_STYLE) & skin::kTrackbarVertical);
    EXPECT_FALSE(GetWindowLongW(dialog.Slider(1)->m_hWnd, GWL_STYLE) & skin::kTrackbarVertical);
    EXPECT_GE(dialog.Slider(0)->ThumbRect().top, 0) << "never above the slider";
    EXPECT_EQ(dialog.Slider(0)->ThumbRect().left, 0);
}

TEST_F(SkinControlsTest, DraggingReportsCode4OnEveryMoveAndCode8OnRelease) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddSliderFromString(IDS_SLIDER_COLOR, IDB_THUMB, IDB_THUMB_PRESSED);
    CSkinSlider& slider = *dialog.Slider(0);
    RECT track;
    slider.GetThumbRect(&track);
    const int grab = 10 + (track.left + track.right) / 2;
    Press(dialog, grab, 50);
    EXPECT_TRUE(slider.IsDragging());
    EXPECT_TRUE(slider.ThumbPressed());
    const RECT thumb = slider.ThumbRect();
    EXPECT_EQ(Shown(dialog, 10 + thumb.left + 3, 49), 0x0000C8u) << "the pressed thumb";
    RECT channel;
    slider.GetChannelRect(&channel);
    const int width = channel.right - channel.left;
    MoveTo(dialog, 10 + channel.left + width * 60 / 100, 50);
    MoveTo(dialog, 10 + channel.left + width * 60 / 100, 51);
    MoveTo(dialog, 10 + channel.right + 30, 52);
    Release();
    EXPECT_FALSE(slider.IsDragging());
    EXPECT_FALSE(slider.ThumbPressed());
    EXPECT_EQ(dialog.events, (std::vector<std::string>{"slider SLIDER_COLOR 4 60", "slider SLIDER_COLOR 4 60",
                                                       "slider SLIDER_COLOR 4 100", "slider SLIDER_COLOR 8 100"}));
    EXPECT_EQ(Shown(dialog, 10 + slider.ThumbRect().left + 3, 49), 0xC80000u);
}

TEST_F(SkinControlsTest, KeysAndTheWheelReportCode8WithTheNewPosition) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddSliderFromString(IDS_SLIDER_COLOR, IDB_THUMB, IDB_THUMB_PRESSED);
    CSkinSlider& slider = *dialog.Slider(0);
    SetFocus(slider.m_hWnd);
    uitest::PressKey(VK_RIGHT);
    Pump();
    uitest::PressKey(VK_END);
    Pump();
    plat::ui::InjectMouseWheel(WHEEL_DELTA);
    Pump();
    EXPECT_EQ(dialog.events, (std::vector<std::string>{"slider SLIDER_COLOR 8 31", "slider SLIDER_COLOR 8 100",
                                                       "slider SLIDER_COLOR 8 99"}));
}

TEST_F(SkinControlsTest, SetSliderPosMovesTheThumbWithoutReporting) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddSliderFromString(IDS_SLIDER_COLOR, IDB_THUMB, IDB_THUMB_PRESSED);
    const RECT before = dialog.Slider(0)->ThumbRect();
    dialog.SetSliderPos(u"SLIDER_COLOR", 80);
    EXPECT_EQ(dialog.Slider(0)->GetPos(), 80);
    const RECT after = dialog.Slider(0)->ThumbRect();
    EXPECT_GT(after.left, before.left);
    EXPECT_EQ(Shown(dialog, 10 + after.left + 3, 49), 0xC80000u);
    EXPECT_TRUE(dialog.events.empty());
}

// --- Setters from another thread -------------------------------------------------------

TEST_F(SkinControlsTest, SettersFromAnotherThreadStoreAndTheTextFollowsOnTheGuiThread) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddLabelFromString(IDS_LABEL_A);
    dialog.AddProgressFromString(IDS_PROGRESS_A);
    dialog.AddButtonFromString(IDS_BUTTON_TWO);
    std::thread poller([&] {
        dialog.SetLabelColor(u"LABEL_A", 0, RGB(0, 180, 0));
        dialog.SetLabelText(u"LABEL_A", u"Set by the polling thread");
        dialog.SetProgressPos(u"PROGRESS_A", 70);
        dialog.SetButtonState(u"BUTTON_TWO", TRUE);
    });
    poller.join();
    CSkinLabel& label = *dialog.Label(0);
    EXPECT_EQ(label.GetText(), u"Set by the polling thread");
    EXPECT_EQ(label.GetTextColor(), RGB(0, 180, 0));
    WCHAR text[64];
    GetWindowTextW(label.m_hWnd, text, 64);
    EXPECT_EQ(std::u16string(text), u"Hi") << "the window text changes on the GUI thread";
    Pump();
    GetWindowTextW(label.m_hWnd, text, 64);
    EXPECT_EQ(std::u16string(text), u"Set by the polling thread");
    EXPECT_TRUE(label.IsScrolling());
    EXPECT_EQ(dialog.Progress(0)->GetPos(), 70);
    EXPECT_EQ(CodeAt(dialog, 70, 40), kDisabledCode);
    EXPECT_EQ(CodeAt(dialog, 52, 14), kPressedCode);
}
