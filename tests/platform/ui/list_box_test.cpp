#include "base/clock.h"
#include "ui/dialog.h"
#include "ui/input.h"

#include "ui_test_support.h"

using namespace uitest;

namespace {

constexpr int kListId = 6;
constexpr int kShown = 4;  // lines the list is tall enough for

class ListBoxTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        InitCommonControls();
        m_parent = Make(WS_POPUP | WS_VISIBLE, RECT{100, 100, 400, 300});
        m_list = CreateWindowExW(0, WC_LISTBOX, nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER | LBS_NOTIFY, 10, 10, 150,
                                 100, m_parent, reinterpret_cast<HMENU>(kListId), nullptr, nullptr);
        ASSERT_NE(m_list, nullptr);
        const int height = int(SendMessageW(m_list, LB_GETITEMHEIGHT, 0, 0));
        SetWindowPos(m_list, nullptr, 0, 0, 150, kShown * height + 2, SWP_NOMOVE | SWP_NOZORDER);
        for (int i = 0; i < 10; ++i) {
            const std::u16string item = u"item " + std::u16string(1, char16_t(u'0' + i));
            EXPECT_EQ(SendMessageW(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str())), i);
        }
        ClearSeen();
    }
    LRESULT Current() { return SendMessageW(m_list, LB_GETCURSEL, 0, 0); }
    LRESULT Top() { return SendMessageW(m_list, LB_GETTOPINDEX, 0, 0); }
    // The notification codes the parent received.
    std::vector<WORD> Notes() {
        std::vector<WORD> codes;
        for (const Seen& s : SeenOf(WM_COMMAND, m_parent)) {
            EXPECT_EQ(LOWORD(DWORD(s.wparam)), kListId);
            EXPECT_EQ(reinterpret_cast<HWND>(s.lparam), m_list);
            codes.push_back(HIWORD(DWORD(s.wparam)));
        }
        return codes;
    }
    POINT ItemCentre(int index) {
        RECT r{};
        EXPECT_EQ(SendMessageW(m_list, LB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r)), LB_OKAY);
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(m_list, &p);
        return p;
    }
    plat::ScopedManualClock m_clock;  // two clicks in a row make a double-click
    HWND m_parent = nullptr;
    HWND m_list = nullptr;
};

using Codes = std::vector<WORD>;

}  // namespace

TEST_F(ListBoxTest, TheProgramFillsReadsAndSelectsWithoutNotes) {
    EXPECT_EQ(SendMessageW(m_list, LB_GETCOUNT, 0, 0), 10);
    EXPECT_EQ(SendMessageW(m_list, LB_GETTEXTLEN, 3, 0), 6);
    WCHAR text[16];
    EXPECT_EQ(SendMessageW(m_list, LB_GETTEXT, 3, reinterpret_cast<LPARAM>(text)), 6);
    EXPECT_EQ(std::u16string(text), u"item 3");
    EXPECT_EQ(SendMessageW(m_list, LB_GETTEXT, 10, reinterpret_cast<LPARAM>(text)), LB_ERR);
    EXPECT_EQ(SendMessageW(m_list, LB_ADDSTRING, 0, 0), LB_ERR);
    EXPECT_EQ(Current(), LB_ERR);
    EXPECT_EQ(SendMessageW(m_list, LB_SETCURSEL, 7, 0), 7);
    EXPECT_EQ(Top(), 7 - kShown + 1) << "scrolled into view";
    EXPECT_EQ(SendMessageW(m_list, LB_SETCURSEL, 10, 0), LB_ERR);
    EXPECT_EQ(Current(), 7);
    EXPECT_EQ(SendMessageW(m_list, LB_SETCURSEL, WPARAM(-1), 0), LB_ERR);
    EXPECT_EQ(Current(), LB_ERR) << "-1 clears the selection";
    SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessageW(m_list, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(Top(), 0);
    EXPECT_TRUE(Notes().empty());
}

TEST_F(ListBoxTest, KeysMoveTheSelectionWithinTheListAndReportChanges) {
    SetFocus(m_list);
    std::vector<LRESULT> seen;
    for (int vk : {VK_DOWN, VK_DOWN, VK_END, VK_PRIOR, VK_HOME, VK_UP, VK_NEXT}) {
        PressKey(vk);
        Pump();
        seen.push_back(Current());
    }
    EXPECT_EQ(seen, (std::vector<LRESULT>{0, 1, 9, 6, 0, 0, 3}));
    EXPECT_EQ(Notes(), (Codes{LBN_SETFOCUS, LBN_SELCHANGE, LBN_SELCHANGE, LBN_SELCHANGE, LBN_SELCHANGE,
                              LBN_SELCHANGE, LBN_SELCHANGE}))
        << "Up on the first line changes nothing";
    SetWindowLongW(m_list, GWL_STYLE, GetWindowLongW(m_list, GWL_STYLE) & ~LONG(LBS_NOTIFY));
    ClearSeen();
    PressKey(VK_DOWN);
    Pump();
    EXPECT_EQ(Current(), 4);
    EXPECT_TRUE(Notes().empty()) << "without LBS_NOTIFY the parent is not told";
}

TEST_F(ListBoxTest, ClicksSelectDoubleClicksReportAndTheWheelScrolls) {
    Click(ItemCentre(2));
    Pump();
    EXPECT_EQ(GetFocus(), m_list);
    EXPECT_EQ(Current(), 2);
    Click(ItemCentre(2));
    Pump();
    EXPECT_EQ(Notes(), (Codes{LBN_SETFOCUS, LBN_SELCHANGE, LBN_DBLCLK}));

    plat::ui::InjectMouseWheel(-WHEEL_DELTA);
    Pump();
    EXPECT_EQ(Top(), 3);
    plat::ui::InjectMouseWheel(-2 * WHEEL_DELTA);
    Pump();
    EXPECT_EQ(Top(), 10 - kShown) << "stops with the last line at the bottom";
    plat::ui::InjectMouseWheel(WHEEL_DELTA);
    Pump();
    EXPECT_EQ(Top(), 3);
    EXPECT_EQ(Current(), 2) << "scrolling leaves the selection alone";
    Click(ItemCentre(3));
    Pump();
    EXPECT_EQ(Current(), 3) << "the first line shown is item 3";
}
