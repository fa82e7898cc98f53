#include "ui/popup_menu.h"

#include <deque>

#include "base/clock.h"
#include "base/clock_advancer.h"
#include "ui/headless/headless_backend.h"
#include "ui/input.h"
#include "ui/modal_loop.h"

#include "sample_library.h"

using namespace uitest;
using plat::ui::InjectKey;
using plat::ui::InjectMouseButton;
using plat::ui::InjectMouseMove;
using plat::ui::MouseButton;

namespace {

// Rows of the menus below, from their window's top: items are 20 pixels
// high, separators 8, after a 2-pixel border.
constexpr int kRow0 = 12, kRow2 = 40, kRow3 = 60;

class PopupMenuTest : public SampleTest {
protected:
    void SetUp() override {
        SampleTest::SetUp();
        m_owner = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
        m_bar = LoadMenuW(m_library, MAKEINTRESOURCEW(500));
        m_popup = GetSubMenu(m_bar, 0);
        // &Open, separator, &Tools > (&Alpha, separator, &Beta grayed, &Gamma), &Quit
        m_tools = CreatePopupMenu();
        AppendMenuW(m_tools, MF_STRING, 11, u"&Alpha");
        AppendMenuW(m_tools, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(m_tools, MF_STRING | MF_GRAYED, 12, u"&Beta");
        AppendMenuW(m_tools, MF_STRING | MF_CHECKED, 13, u"&Gamma");
        m_menu = CreatePopupMenu();
        AppendMenuW(m_menu, MF_STRING, 1, u"&Open");
        AppendMenuW(m_menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(m_menu, MF_POPUP, reinterpret_cast<UINT_PTR>(m_tools), u"&Tools");
        AppendMenuW(m_menu, MF_STRING, 2, u"&Quit");
    }
    void TearDown() override {
        plat::ui::SetModalShownHook(nullptr);
        DestroyMenu(m_bar);
        DestroyMenu(m_menu);
        SampleTest::TearDown();
    }
    // Answers the menu windows as they show, the menu first and then each
    // submenu, each answer given the window's rectangle.
    void Answer(std::initializer_list<std::function<void(RECT)>> answers) {
        m_answers.assign(answers.begin(), answers.end());
        m_shown.clear();
        plat::ui::SetModalShownHook([this](HWND window) {
            RECT r;
            GetWindowRect(window, &r);
            m_shown.push_back(window);
            m_rects.push_back(r);
            if (m_answers.empty()) return;
            auto answer = m_answers.front();
            m_answers.pop_front();
            answer(r);
        });
    }
    std::vector<WORD> Commands() {
        Pump();
        std::vector<WORD> out;
        for (const Seen& s : SeenOf(WM_COMMAND, m_owner)) out.push_back(LOWORD(DWORD(s.wparam)));
        return out;
    }
    std::vector<HMENU> InitializedMenus() {
        std::vector<HMENU> out;
        for (const Seen& s : SeenOf(WM_INITMENUPOPUP, m_owner)) out.push_back(reinterpret_cast<HMENU>(s.wparam));
        return out;
    }
    static void Keys(std::initializer_list<int> keys) {
        for (int vk : keys) {
            InjectKey(vk, true);
            InjectKey(vk, false);
        }
    }
    static void Click(POINT pt) {
        InjectMouseMove(pt);
        InjectMouseButton(MouseButton::Left, true);
        InjectMouseButton(MouseButton::Left, false);
    }
    UINT Track(UINT flags, int x = 10, int y = 10) {
        return UINT(TrackPopupMenu(m_menu, flags | TPM_RETURNCMD, x, y, 0, m_owner, nullptr));
    }
    HWND m_owner = nullptr;
    HMENU m_bar = nullptr;
    HMENU m_popup = nullptr;
    HMENU m_menu = nullptr;
    HMENU m_tools = nullptr;
    std::deque<std::function<void(RECT)>> m_answers;
    std::vector<HWND> m_shown;
    std::vector<RECT> m_rects;
};

}  // namespace

TEST_F(PopupMenuTest, RightButtonReleaseChoosesTheItemUnderIt) {
    Answer({[](RECT r) {
        InjectMouseMove(POINT{r.left + 30, r.top + 32});  // second item
        InjectMouseButton(MouseButton::Right, true);
        InjectMouseButton(MouseButton::Right, false);
    }});
    EXPECT_TRUE(TrackPopupMenu(m_popup, TPM_RIGHTBUTTON | TPM_RIGHTALIGN, 500, 300, 0, m_owner, nullptr));
    EXPECT_EQ(m_rects.at(0).right, 500) << "right-aligned at the point";
    EXPECT_EQ(m_rects.at(0).top, 300);
    EXPECT_EQ(Commands(), (std::vector<WORD>{32772}));
    EXPECT_EQ(InitializedMenus(), (std::vector<HMENU>{m_popup})) << "the owner updates the items first";
}

TEST_F(PopupMenuTest, MenuWindowsShowWithoutTheWindowManager) {
    // A window manager would frame a managed menu and could place it
    // elsewhere; the menu shows where the program puts it, as a popup.
    std::vector<bool> popups;
    const auto note_popup = [&] { popups.push_back(plat::ui::Headless()->StateOf(m_shown.back())->popup); };
    Answer({[&](RECT) {
                note_popup();
                Keys({VK_DOWN, VK_DOWN, VK_RIGHT});
            },
            [&](RECT) {
                note_popup();
                Keys({VK_ESCAPE, VK_ESCAPE});
            }});
    EXPECT_FALSE(TrackPopupMenu(m_menu, 0, 10, 10, 0, m_owner, nullptr));
    EXPECT_EQ(popups, (std::vector<bool>{true, true})) << "the menu and its submenu";
}

TEST_F(PopupMenuTest, UpAndDownSkipSeparatorsAndGrayedItemsAndWrapAround) {
    EnableMenuItem(m_popup, 32771, MF_BYCOMMAND | MF_GRAYED);
    // Always on top, More, Exit, then round to Always on top again.
    Answer({[](RECT) { Keys({VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}); }});
    EXPECT_EQ(TrackPopupMenu(m_popup, TPM_RETURNCMD, 10, 10, 0, m_owner, nullptr), BOOL(32772));
    Answer({[](RECT) { Keys({VK_UP, VK_RETURN}); }});
    EXPECT_EQ(TrackPopupMenu(m_popup, TPM_RETURNCMD, 10, 10, 0, m_owner, nullptr), BOOL(32774));
    EXPECT_TRUE(Commands().empty()) << "TPM_RETURNCMD returns instead of posting";
}

TEST_F(PopupMenuTest, EscapeOrAClickOutsideChoosesNothing) {
    Answer({[](RECT r) {
        InjectMouseMove(POINT{r.left + 30, r.top + 12});
        InjectMouseButton(MouseButton::Right, true);  // without TPM_RIGHTBUTTON the release does not choose
        InjectMouseButton(MouseButton::Right, false);
        Keys({VK_ESCAPE});
    }});
    EXPECT_FALSE(TrackPopupMenu(m_popup, 0, 10, 10, 0, m_owner, nullptr));
    Answer({[](RECT r) {
        InjectMouseMove(POINT{r.right + 50, r.bottom + 50});
        InjectMouseButton(MouseButton::Left, true);
    }});
    EXPECT_FALSE(TrackPopupMenu(m_popup, 0, 10, 10, 0, m_owner, nullptr));
    InjectMouseButton(MouseButton::Left, false);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(PopupMenuTest, KeysOpenASubmenuBesideItsItemAndChooseInIt) {
    Answer({[](RECT) { Keys({VK_DOWN, VK_DOWN, VK_RIGHT}); },
            // Alpha is highlighted on opening; Down skips the separator and grayed Beta.
            [](RECT) { Keys({VK_DOWN, VK_RETURN}); }});
    EXPECT_TRUE(TrackPopupMenu(m_menu, 0, 10, 10, 0, m_owner, nullptr));
    EXPECT_EQ(Commands(), (std::vector<WORD>{13})) << "the choice inside the submenu reaches the owner";
    EXPECT_EQ(InitializedMenus(), (std::vector<HMENU>{m_menu, m_tools}));
    EXPECT_EQ(LOWORD(DWORD(SeenOf(WM_INITMENUPOPUP, m_owner).at(1).lparam)), 2) << "the submenu's position";
    ASSERT_EQ(m_shown.size(), 2u);
    EXPECT_EQ(m_rects[1].left, m_rects[0].right) << "to the right of the menu";
    EXPECT_EQ(m_rects[1].top + kRow0, m_rects[0].top + kRow2) << "its first item level with its parent item";
    EXPECT_FALSE(IsWindow(m_shown[0]) || IsWindow(m_shown[1])) << "the whole chain closes";
}

TEST_F(PopupMenuTest, LeftOrEscapeClosesOnlyTheSubmenu) {
    Answer({[](RECT) { Keys({VK_DOWN, VK_DOWN, VK_RETURN}); },  // Enter opens it too
            [](RECT) { Keys({VK_LEFT, VK_RIGHT}); },
            [this](RECT) {
                EXPECT_FALSE(IsWindow(m_shown[1])) << "Left closed the first submenu";
                EXPECT_TRUE(IsWindow(m_shown[0]));
                Keys({VK_ESCAPE, VK_DOWN, VK_RETURN});  // back on Tools, then down to Quit
            }});
    EXPECT_EQ(Track(0), 2u);
    EXPECT_EQ(m_shown.size(), 3u);
}

TEST_F(PopupMenuTest, AClickOpensASubmenuAtOnceAndAReleaseInItChooses) {
    Answer({[](RECT r) { Click(POINT{r.left + 20, r.top + kRow2}); },
            [](RECT r) {
                Click(POINT{r.left + 20, r.top + 44});  // grayed Beta: nothing
                Click(POINT{r.left + 20, r.top + kRow3});
            }});
    EXPECT_EQ(Track(0), 13u);
    EXPECT_EQ(m_shown.size(), 2u);
    // The highlight follows the pointer into the submenu, where Enter acts.
    Answer({[](RECT r) { Click(POINT{r.left + 20, r.top + kRow2}); },
            [](RECT r) {
                InjectMouseMove(POINT{r.left + 20, r.top + kRow3});
                Keys({VK_RETURN});
            }});
    EXPECT_EQ(Track(0), 13u);
}

TEST_F(PopupMenuTest, RestingOnASubmenuItemOpensItOnThePlatformClock) {
    plat::ScopedManualClock clock;
    plat::ClockAdvancer advancer(*clock, 50);
    Answer({[](RECT r) { InjectMouseMove(POINT{r.left + 20, r.top + kRow2}); },
            [](RECT r) { Click(POINT{r.left + 20, r.top + kRow0}); }});
    EXPECT_EQ(Track(0), 11u);
    EXPECT_EQ(InitializedMenus(), (std::vector<HMENU>{m_menu, m_tools}));
}

TEST_F(PopupMenuTest, MnemonicsOpenAndChooseButNeverAGrayedItem) {
    Answer({[](RECT) { Keys({'T'}); }, [](RECT) { Keys({'B', 'G'}); }});
    EXPECT_EQ(Track(0), 13u);
    // Items sharing a mnemonic are only highlighted in turn.
    AppendMenuW(m_menu, MF_STRING, 3, u"&Other");
    Answer({[](RECT) { Keys({'O', 'O', VK_RETURN}); }});
    EXPECT_EQ(Track(0), 3u);
}

TEST_F(PopupMenuTest, AltOrAClickOutsideEveryMenuClosesTheChain) {
    Answer({[](RECT) { Keys({'T'}); }, [](RECT) { Keys({VK_MENU}); }});
    EXPECT_EQ(Track(0), 0u);
    Answer({[](RECT) { Keys({'T'}); },
            [](RECT r) { Click(POINT{r.left - 20, r.bottom + 20}); }});  // under the menu, beside the submenu
    EXPECT_FALSE(TrackPopupMenu(m_menu, 0, 10, 10, 0, m_owner, nullptr));
    EXPECT_TRUE(Commands().empty());
    EXPECT_FALSE(IsWindow(m_shown.at(1)));
}

TEST_F(PopupMenuTest, SubmenusFlipLeftAndMoveUpAtTheWorkAreaEdges) {
    // The default monitor's work area ends at x 1920 and y 1040; the menu
    // (72 pixels high) just fits below the point, its submenu does not.
    Answer({[](RECT) { Keys({'T'}); }, [](RECT) { Keys({VK_ESCAPE, VK_ESCAPE}); }});
    Track(0, 1800, 960);
    ASSERT_EQ(m_rects.size(), 2u);
    EXPECT_EQ(m_rects[1].right, m_rects[0].left) << "no room on the right";
    EXPECT_EQ(m_rects[1].bottom, 1040) << "no room below";
}

TEST_F(PopupMenuTest, AMenuWithoutRoomOnOneSideOfThePointShowsOnTheOther) {
    // Each case: the point, the alignment asked for, and where the 72-pixel
    // high menu's corner nearest the point lands. The work area is 1920 x
    // 1040.
    struct Case {
        POINT at;
        UINT flags;
        bool expectRightAligned, expectAbove;
    };
    const Case cases[] = {
        {{1900, 1030}, 0, true, true},                         // a tray at the bottom right
        {{1900, 1030}, TPM_RIGHTALIGN, true, true},
        {{5, 1030}, TPM_RIGHTALIGN, false, true},              // no room on the left
        {{5, 5}, TPM_RIGHTALIGN | TPM_BOTTOMALIGN, false, false},  // nor above
        {{500, 500}, 0, false, false},                         // room as asked
    };
    for (const Case& c : cases) {
        Answer({[](RECT) { Keys({VK_ESCAPE}); }});
        Track(c.flags, c.at.x, c.at.y);
        ASSERT_FALSE(m_rects.empty());
        const RECT r = m_rects.back();
        SCOPED_TRACE(testing::Message() << "at " << c.at.x << "," << c.at.y << " flags " << c.flags);
        EXPECT_EQ(c.expectRightAligned ? r.right : r.left, c.at.x);
        EXPECT_EQ(c.expectAbove ? r.bottom : r.top, c.at.y);
        EXPECT_EQ(r.bottom - r.top, 72);
    }
}

TEST_F(PopupMenuTest, TheDefaultItemIsDrawnBold) {
    // Dark pixels of the first item's row, read while the menu shows.
    const auto ink_of_first_row = [this] {
        int ink = 0;
        Answer({[this, &ink](RECT) {
            UpdateWindow(m_shown.back());
            auto shot = Headless().Capture(m_shown.back());
            for (int y = 4; y < 20; ++y)
                for (int x = 20; x < shot->Width(); ++x) ink += (Pixel(*shot, x, y) & 0xFF) < 0x40;
            Keys({VK_ESCAPE});
        }});
        TrackPopupMenu(m_popup, TPM_RETURNCMD, 10, 10, 0, m_owner, nullptr);
        return ink;
    };
    const int normal = ink_of_first_row();
    ASSERT_TRUE(SetMenuDefaultItem(m_popup, 32771, FALSE));
    EXPECT_GT(ink_of_first_row(), normal + normal / 10);
}
