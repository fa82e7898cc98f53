#include "ui/popup_menu.h"

#include "ui/input.h"
#include "ui/modal_loop.h"

#include "sample_library.h"

using namespace uitest;
using plat::ui::InjectKey;
using plat::ui::InjectMouseButton;
using plat::ui::InjectMouseMove;
using plat::ui::MouseButton;

namespace {

class PopupMenuTest : public SampleTest {
protected:
    void SetUp() override {
        SampleTest::SetUp();
        m_owner = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
        m_bar = LoadMenuW(m_library, MAKEINTRESOURCEW(500));
        m_popup = GetSubMenu(m_bar, 0);
    }
    void TearDown() override {
        plat::ui::SetModalShownHook(nullptr);
        DestroyMenu(m_bar);
        SampleTest::TearDown();
    }
    // Answers the next menu with `answer`, given the menu window's rectangle.
    void Answer(std::function<void(RECT)> answer) {
        plat::ui::SetModalShownHook([this, answer](HWND popup) {
            GetWindowRect(popup, &m_shown);
            answer(m_shown);
        });
    }
    std::vector<WORD> Commands() {
        Pump();
        std::vector<WORD> out;
        for (const Seen& s : SeenOf(WM_COMMAND, m_owner)) out.push_back(LOWORD(DWORD(s.wparam)));
        return out;
    }
    static void Keys(std::initializer_list<int> keys) {
        for (int vk : keys) {
            InjectKey(vk, true);
            InjectKey(vk, false);
        }
    }
    HWND m_owner = nullptr;
    HMENU m_bar = nullptr;
    HMENU m_popup = nullptr;
    RECT m_shown{};
};

}  // namespace

TEST_F(PopupMenuTest, RightButtonReleaseChoosesTheItemUnderIt) {
    Answer([](RECT r) {
        InjectMouseMove(POINT{r.left + 30, r.top + 32});  // second item
        InjectMouseButton(MouseButton::Right, true);
        InjectMouseButton(MouseButton::Right, false);
    });
    EXPECT_TRUE(TrackPopupMenu(m_popup, TPM_RIGHTBUTTON | TPM_RIGHTALIGN, 500, 300, 0, m_owner, nullptr));
    EXPECT_EQ(m_shown.right, 500) << "right-aligned at the point";
    EXPECT_EQ(m_shown.top, 300);
    EXPECT_EQ(Commands(), (std::vector<WORD>{32772}));
    EXPECT_FALSE(SeenOf(WM_INITMENUPOPUP, m_owner).empty()) << "the owner updates the items first";
}

TEST_F(PopupMenuTest, KeyboardSkipsSeparatorsSubmenusAndDisabledItems) {
    EnableMenuItem(m_popup, 32771, MF_BYCOMMAND | MF_GRAYED);
    Answer([](RECT) { Keys({VK_DOWN, VK_DOWN, VK_RETURN}); });
    EXPECT_EQ(TrackPopupMenu(m_popup, TPM_RETURNCMD, 10, 10, 0, m_owner, nullptr), BOOL(32774));
    EXPECT_TRUE(Commands().empty()) << "TPM_RETURNCMD returns instead of posting";
}

TEST_F(PopupMenuTest, EscapeOrAClickOutsideChoosesNothing) {
    Answer([](RECT r) {
        InjectMouseMove(POINT{r.left + 30, r.top + 12});
        InjectMouseButton(MouseButton::Right, true);  // without TPM_RIGHTBUTTON the release does not choose
        InjectMouseButton(MouseButton::Right, false);
        Keys({VK_ESCAPE});
    });
    EXPECT_FALSE(TrackPopupMenu(m_popup, 0, 10, 10, 0, m_owner, nullptr));
    Answer([](RECT r) {
        InjectMouseMove(POINT{r.right + 50, r.bottom + 50});
        InjectMouseButton(MouseButton::Left, true);
    });
    EXPECT_FALSE(TrackPopupMenu(m_popup, 0, 10, 10, 0, m_owner, nullptr));
    InjectMouseButton(MouseButton::Left, false);
    EXPECT_TRUE(Commands().empty());
}
