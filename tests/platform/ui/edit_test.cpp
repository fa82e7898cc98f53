#include "ui/dialog.h"

#include "ui_test_support.h"

using namespace uitest;

namespace {

constexpr int kEditId = 5;

class EditTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        InitCommonControls();
        m_parent = Make(WS_POPUP | WS_VISIBLE, RECT{100, 100, 400, 200});
        m_edit = CreateWindowExW(0, WC_EDIT, u"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 200, 24, m_parent,
                                 reinterpret_cast<HMENU>(kEditId), nullptr, nullptr);
        ASSERT_NE(m_edit, nullptr);
        ClearSeen();
    }
    std::u16string Text() {
        WCHAR text[128];
        GetWindowTextW(m_edit, text, 128);
        return text;
    }
    std::pair<DWORD, DWORD> Selection() {
        DWORD from = 0, to = 0;
        const LRESULT both = SendMessageW(m_edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        EXPECT_EQ(both, LRESULT(MAKELONG(WORD(from), WORD(to))));
        return {from, to};
    }
    int Changes() {
        int n = 0;
        for (const Seen& s : SeenOf(WM_COMMAND, m_parent)) {
            if (HIWORD(DWORD(s.wparam)) != EN_CHANGE) continue;
            EXPECT_EQ(LOWORD(DWORD(s.wparam)), kEditId);
            EXPECT_EQ(reinterpret_cast<HWND>(s.lparam), m_edit);
            ++n;
        }
        return n;
    }
    // Clicks at client x of the edit, halfway down.
    void ClickAt(int x) {
        Click(POINT{110 + x, 122});
        Pump();
    }
    int WidthOf(std::u16string_view text) {
        HDC hdc = GetDC(m_edit);
        SIZE size{};
        GetTextExtentPoint32W(hdc, text.data(), int(text.size()), &size);
        ReleaseDC(m_edit, hdc);
        return size.cx;
    }
    HWND m_parent = nullptr;
    HWND m_edit = nullptr;
};

using Range = std::pair<DWORD, DWORD>;

}  // namespace

TEST_F(EditTest, TypingAndEditingKeysChangeTheTextAndTellTheParent) {
    SetFocus(m_edit);
    TypeText(u"hello");
    for (int vk : {VK_HOME, VK_DELETE, VK_END, VK_BACK, VK_LEFT}) PressKey(vk);
    TypeText(u"x");
    Pump();
    EXPECT_EQ(Text(), u"elxl");
    EXPECT_EQ(Selection(), (Range{3, 3}));
    EXPECT_EQ(Changes(), 8);
    // Nothing to erase, and Enter and Esc are not text: no change to report.
    for (int vk : {VK_HOME, VK_BACK, VK_RETURN, VK_ESCAPE}) PressKey(vk);
    Pump();
    EXPECT_EQ(Text(), u"elxl");
    EXPECT_EQ(Changes(), 8);
    SetWindowTextW(m_edit, u"set");
    EXPECT_EQ(Changes(), 9) << "a text set by the program is a change too";
    EXPECT_EQ(Selection(), (Range{0, 0}));
}

TEST_F(EditTest, CapitalsComeWithShiftOrCapsLockAndPunctuationFromTheBackend) {
    SetFocus(m_edit);
    plat::ui::InjectKey(VK_SHIFT, true);
    TypeText(u"r");
    PressKey('9');  // the US layout without a display's own
    plat::ui::InjectKey(VK_SHIFT, false);
    TypeText(u"e-2_v.txt");
    PressKey(VK_CAPITAL);
    TypeText(u"x");
    PressKey(VK_CAPITAL);
    TypeText(u"y");
    Pump();  // each key is handled with the modifiers of its own time
    EXPECT_EQ(Text(), u"R(e-2_v.txtXy");
}

TEST_F(EditTest, TheSelectionIsReplacedErasedAndCollapsed) {
    SetWindowTextW(m_edit, u"hello world");
    SetFocus(m_edit);
    SendMessageW(m_edit, EM_SETSEL, 0, -1);
    EXPECT_EQ(Selection(), (Range{0, 11}));
    TypeText(u"a");
    Pump();
    EXPECT_EQ(Text(), u"a");

    SetWindowTextW(m_edit, u"hello world");
    SendMessageW(m_edit, EM_SETSEL, 6, 11);
    PressKey(VK_LEFT);
    Pump();
    EXPECT_EQ(Selection(), (Range{6, 6})) << "Left collapses to the selection's start";
    SendMessageW(m_edit, EM_SETSEL, 6, 99);
    EXPECT_EQ(Selection(), (Range{6, 11})) << "clamped to the text";
    PressKey(VK_BACK);
    plat::ui::InjectKey(VK_SHIFT, true);
    PressKey(VK_LEFT);
    PressKey(VK_LEFT);
    plat::ui::InjectKey(VK_SHIFT, false);
    Pump();
    EXPECT_EQ(Text(), u"hello ");
    EXPECT_EQ(Selection(), (Range{4, 6}));
    SendMessageW(m_edit, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(u"!"));
    EXPECT_EQ(Text(), u"hell!");
    SendMessageW(m_edit, EM_SETSEL, WPARAM(-1), 0);
    EXPECT_EQ(Selection(), (Range{5, 5})) << "-1 drops the selection and keeps the caret";
}

TEST_F(EditTest, AClickFocusesAndPlacesTheCaretAndLongTextScrolls) {
    SetWindowTextW(m_edit, u"hello world");
    ClickAt(3 + WidthOf(u"hel"));
    EXPECT_EQ(GetFocus(), m_edit);
    EXPECT_EQ(Selection(), (Range{3, 3}));
    TypeText(u"z");
    Pump();
    EXPECT_EQ(Text(), u"helzlo world");

    const std::u16string long_text(60, u'm');
    SetWindowTextW(m_edit, long_text.c_str());
    PressKey(VK_END);
    Pump();
    ClickAt(3);
    EXPECT_GT(Selection().first, 0u) << "scrolled to keep the caret at the end in view";
    PressKey(VK_END);
    Pump();
    ClickAt(199);
    EXPECT_EQ(Selection(), (Range{60, 60}));
    PressKey(VK_HOME);
    Pump();
    ClickAt(3);
    EXPECT_EQ(Selection(), (Range{0, 0})) << "scrolled back";
}

TEST_F(EditTest, TheCaretShowsOnlyWithTheFocus) {
    auto caret_pixel = [&] {
        Pump();
        return Pixel(*Headless().Capture(m_parent), 10 + 3, 10 + 12);
    };
    SetFocus(m_edit);
    EXPECT_EQ(caret_pixel(), 0x000000u);
    SetFocus(m_parent);
    EXPECT_EQ(caret_pixel(), 0xFFFFFFu);
}

// In a dialog the field keeps its typing and arrow keys, and Tab into it
// selects its text so that typing replaces it.
TEST_F(EditTest, TabSelectsTheTextAndTheFieldKeepsItsKeys) {
    plat::resource::DialogTemplate d;
    d.style = WS_POPUP | WS_VISIBLE;
    d.cx = 200;
    d.cy = 80;
    d.items.push_back({WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 10, 10, 120, 24, 11, u"EDIT", u"old"});
    d.items.push_back({WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 10, 40, 60, 24, 12, u"BUTTON", u"&Apply"});
    HWND dialog = CreateDialogIndirectParamW(nullptr, d, nullptr, nullptr, 0);
    ASSERT_NE(dialog, nullptr);
    HWND field = GetDlgItem(dialog, 11);
    SetFocus(GetDlgItem(dialog, 12));
    MSG tab{GetFocus(), WM_KEYDOWN, WPARAM(VK_TAB), 0, 0, {}};
    EXPECT_TRUE(IsDialogMessageW(dialog, &tab));
    ASSERT_EQ(GetFocus(), field);
    DWORD from = 9, to = 9;
    SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 3u);
    MSG left{field, WM_KEYDOWN, WPARAM(VK_LEFT), 0, 0, {}};
    MSG letter{field, WM_CHAR, WPARAM('a'), 0, 0, {}};
    IsDialogMessageW(dialog, &left);
    IsDialogMessageW(dialog, &letter);
    Pump();
    EXPECT_EQ(GetFocus(), field);
    WCHAR text[16];
    GetWindowTextW(field, text, 16);
    EXPECT_EQ(std::u16string(text), u"aold") << "Left moved the caret, 'a' was typed, not the Apply mnemonic";
    DestroyWindow(dialog);
}
