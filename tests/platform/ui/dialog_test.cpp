#include "ui/dialog.h"

#include "base/clock.h"
#include "ui/modal_loop.h"

#include "sample_library.h"

using namespace uitest;

namespace {

struct DialogLog {
    std::vector<UINT> messages;
    std::vector<WORD> commands;
    int childrenAtInit = -1;
};
DialogLog g_log;

INT_PTR RecordingProc(HWND hwnd, UINT message, WPARAM wp, LPARAM) {
    g_log.messages.push_back(message);
    if (message == WM_INITDIALOG) {
        int children = 0;
        for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++children;
        g_log.childrenAtInit = children;
    }
    if (message == WM_COMMAND) {
        g_log.commands.push_back(LOWORD(DWORD(wp)));
        return TRUE;
    }
    return FALSE;
}

class DialogTest : public SampleTest {
protected:
    void SetUp() override {
        SampleTest::SetUp();
        g_log = {};
    }
    void TearDown() override {
        if (m_dialog) DestroyWindow(m_dialog);
        SampleTest::TearDown();
    }
    HWND m_dialog = nullptr;
};

}  // namespace

TEST_F(DialogTest, TemplateBuildsTheDialogAndItsControlsBeforeInit) {
    m_dialog = CreateDialogParamW(m_library, MAKEINTRESOURCEW(600), nullptr, &RecordingProc, 0);
    ASSERT_NE(m_dialog, nullptr);
    EXPECT_EQ(g_log.childrenAtInit, 5);
    EXPECT_TRUE(IsWindowVisible(m_dialog));
    RECT rc;
    GetWindowRect(m_dialog, &rc);
    EXPECT_EQ(rc.left, 10);
    EXPECT_EQ(rc.right - rc.left, 200);
    WCHAR text[32];
    GetWindowTextW(m_dialog, text, 32);
    EXPECT_EQ(std::u16string(text), u"Sample");
    const struct {
        int id;
        const char16_t* cls;
        const char16_t* text;
    } controls[] = {{1, u"BUTTON", u"OK"}, {2, u"BUTTON", u"Cancel"}, {1001, u"msctls_trackbar32", u""},
                    {1002, u"SysAnimate32", u""}, {1003, u"STATIC", u"Level"}};
    for (const auto& c : controls) {
        HWND item = GetDlgItem(m_dialog, c.id);
        ASSERT_NE(item, nullptr) << c.id;
        GetClassNameW(item, text, 32);
        EXPECT_EQ(std::u16string(text), c.cls);
        GetDlgItemTextW(m_dialog, c.id, text, 32);
        EXPECT_EQ(std::u16string(text), c.text);
    }
    EXPECT_EQ(GetFocus(), GetDlgItem(m_dialog, 1)) << "the first control gets the focus";
}

TEST_F(DialogTest, EnterPressesTheDefaultButtonAndEscCancels) {
    m_dialog = CreateDialogParamW(m_library, MAKEINTRESOURCEW(600), nullptr, &RecordingProc, 0);
    ASSERT_NE(m_dialog, nullptr);
    // An owner-drawn button cannot also have the default-push type, so
    // Enter means IDOK until the dialog names a default button.
    EXPECT_EQ(SendMessageW(m_dialog, DM_GETDEFID, 0, 0), 0);
    for (int vk : {VK_RETURN, VK_ESCAPE, int('A')}) {
        MSG msg{GetFocus(), WM_KEYDOWN, WPARAM(vk), 0, 0, {}};
        EXPECT_TRUE(IsDialogMessageW(m_dialog, &msg));
    }
    SendMessageW(m_dialog, DM_SETDEFID, 1003, 0);
    EXPECT_EQ(SendMessageW(m_dialog, DM_GETDEFID, 0, 0), MAKELPARAM(1003, DC_HASDEFID));
    MSG enter_named{m_dialog, WM_KEYDOWN, WPARAM(VK_RETURN), 0, 0, {}};
    IsDialogMessageW(m_dialog, &enter_named);
    SendMessageW(m_dialog, DM_SETDEFID, IDOK, 0);
    EXPECT_EQ(g_log.commands, (std::vector<WORD>{IDOK, IDCANCEL, 1003}));
    EnableWindow(GetDlgItem(m_dialog, 1), FALSE);
    MSG enter{m_dialog, WM_KEYDOWN, WPARAM(VK_RETURN), 0, 0, {}};
    IsDialogMessageW(m_dialog, &enter);
    EXPECT_EQ(g_log.commands.size(), 3u) << "a disabled default button is not pressed";
    MSG elsewhere{nullptr, WM_KEYDOWN, WPARAM(VK_RETURN), 0, 0, {}};
    EXPECT_FALSE(IsDialogMessageW(m_dialog, &elsewhere));
}

TEST_F(DialogTest, MissingTemplateGivesNullAndCloseMeansCancel) {
    SetLastError(0);
    EXPECT_EQ(CreateDialogParamW(m_library, MAKEINTRESOURCEW(601), nullptr, &RecordingProc, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    m_dialog = CreateDialogParamW(m_library, MAKEINTRESOURCEW(600), nullptr, &RecordingProc, 0);
    SendMessageW(m_dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(m_dialog));
    EXPECT_EQ(g_log.commands, (std::vector<WORD>{IDCANCEL}));
    EXPECT_EQ(g_log.messages.front(), WM_NCCREATE) << "the dialog procedure sees the whole creation";
}

TEST_F(DialogTest, TheTemplateFontReachesTheDialogAndItsControls) {
    m_dialog = CreateDialogParamW(m_library, MAKEINTRESOURCEW(600), nullptr, &RecordingProc, 0);
    ASSERT_NE(m_dialog, nullptr);
    const auto font = reinterpret_cast<HFONT>(SendDlgItemMessageW(m_dialog, 1003, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageW(m_dialog, IDOK, WM_GETFONT, 0, 0)), font);
    LOGFONTW log{};
    ASSERT_EQ(GetObjectW(font, sizeof log, &log), int(sizeof log));
    EXPECT_EQ(log.lfHeight, -11) << "8 points at 96 dots per inch";
    EXPECT_EQ(std::u16string(log.lfFaceName), u"Sans");
}

namespace {

constexpr int kApply = 10, kTrackbar = 20, kOne = 31, kTwo = 32, kThree = 33, kHidden = 40, kLabel = 50, kSkin = 60;

struct NavigationLog {
    std::vector<WORD> commands;
    std::vector<std::pair<WORD, WORD>> notifications;  // (control, code)
    int doubleClicks = 0;                              // WM_LBUTTONDBLCLK on the dialog
    std::vector<int> helpFor;                          // the control of each WM_HELP
    std::vector<UINT> skinStates;  // itemState of each WM_DRAWITEM for the owner-drawn button
    int focusOnInit = 0;           // a control the procedure focuses itself on WM_INITDIALOG
};
NavigationLog g_nav;

INT_PTR NavigationProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_INITDIALOG && g_nav.focusOnInit) {
        SetFocus(GetDlgItem(hwnd, g_nav.focusOnInit));
        return FALSE;
    }
    if (message == WM_COMMAND) {
        g_nav.commands.push_back(LOWORD(DWORD(wp)));
        g_nav.notifications.emplace_back(LOWORD(DWORD(wp)), HIWORD(DWORD(wp)));
    }
    if (message == WM_LBUTTONDBLCLK) ++g_nav.doubleClicks;
    if (message == WM_HELP) {
        const auto* info = reinterpret_cast<const HELPINFO*>(lp);
        g_nav.helpFor.push_back(info->hItemHandle == GetDlgItem(hwnd, info->iCtrlId) ? info->iCtrlId : -1);
    }
    if (message == WM_DRAWITEM && wp == WPARAM(kSkin))
        g_nav.skinStates.push_back(reinterpret_cast<const DRAWITEMSTRUCT*>(lp)->itemState);
    return message == WM_COMMAND || message == WM_DRAWITEM;
}

// Apply | trackbar | One Two Three (a group, one tab stop) | Hidden (a tab
// stop, not shown) | a label | OK (default) Cancel Skin (owner-drawn).
plat::resource::DialogTemplate NavigationTemplate() {
    plat::resource::DialogTemplate d;
    d.style = WS_POPUP | WS_VISIBLE;
    d.cx = 300;
    d.cy = 200;
    auto add = [&](const char16_t* cls, WORD id, DWORD style, const char16_t* text) {
        const SHORT y = SHORT(d.items.size() * 20);
        d.items.push_back({style | WS_CHILD | WS_VISIBLE, 0, 10, y, 80, 18, id, cls, text});
    };
    add(WC_BUTTON, kApply, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, u"&Apply");
    add(TRACKBAR_CLASSW, kTrackbar, WS_TABSTOP | WS_GROUP, u"");
    add(WC_BUTTON, kOne, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, u"One");
    add(WC_BUTTON, kTwo, BS_PUSHBUTTON, u"Two");
    add(WC_BUTTON, kThree, BS_PUSHBUTTON, u"Three");
    add(WC_BUTTON, kHidden, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, u"Hidden");
    d.items.back().style &= ~WS_VISIBLE;
    add(WC_STATIC, kLabel, SS_LEFT, u"&Label");
    add(WC_BUTTON, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, u"OK");
    add(WC_BUTTON, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, u"Cancel");
    add(WC_BUTTON, kSkin, BS_OWNERDRAW | WS_TABSTOP, u"Skin");
    return d;
}

class DialogNavigationTest : public DialogTest {
protected:
    void Create(int focus_on_init = 0) {
        g_nav = {};
        g_nav.focusOnInit = focus_on_init;
        m_dialog = CreateDialogIndirectParamW(nullptr, NavigationTemplate(), nullptr, &NavigationProc, 0);
        ASSERT_NE(m_dialog, nullptr);
    }
    // Runs what is queued through the dialog's keyboard handling, as a
    // message loop does.
    void PumpDialog() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageW(m_dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    void Type(int vk, bool shift = false) {
        if (shift) plat::ui::InjectKey(VK_SHIFT, true);
        plat::ui::InjectKey(vk, true);
        PumpDialog();
        plat::ui::InjectKey(vk, false);
        if (shift) plat::ui::InjectKey(VK_SHIFT, false);
        PumpDialog();
    }
    int Focused() { return GetDlgCtrlID(GetFocus()); }
    // The focus after each key.
    std::vector<int> FocusAfter(std::initializer_list<int> keys, bool shift = false) {
        std::vector<int> out;
        for (int vk : keys) {
            Type(vk, shift);
            out.push_back(Focused());
        }
        return out;
    }
    void Focus(int id) { SendMessageW(m_dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(m_dialog, id)), TRUE); }
    bool LooksDefault(int id) {
        return (GetWindowLongW(GetDlgItem(m_dialog, id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    }
};

}  // namespace

TEST_F(DialogNavigationTest, TabVisitsVisibleEnabledTabStopsInOrderAndWraps) {
    Create();
    EXPECT_EQ(Focused(), kApply) << "the first tab stop gets the focus";
    EXPECT_EQ(FocusAfter({VK_TAB, VK_TAB, VK_TAB, VK_TAB, VK_TAB, VK_TAB}),
              (std::vector<int>{kTrackbar, kOne, IDOK, IDCANCEL, kSkin, kApply}));
    EXPECT_EQ(FocusAfter({VK_TAB, VK_TAB}, true), (std::vector<int>{kSkin, IDCANCEL}));
    EnableWindow(GetDlgItem(m_dialog, IDOK), FALSE);
    ShowWindow(GetDlgItem(m_dialog, kHidden), SW_SHOW);
    EXPECT_EQ(FocusAfter({VK_TAB}, true), (std::vector<int>{kHidden}));
    SendMessageW(m_dialog, WM_NEXTDLGCTL, 0, FALSE);
    EXPECT_EQ(Focused(), IDCANCEL) << "WM_NEXTDLGCTL moves on as Tab does, past the disabled OK";
    EXPECT_EQ(GetNextDlgTabItem(m_dialog, nullptr, TRUE), GetDlgItem(m_dialog, kSkin));
    EXPECT_TRUE(g_nav.commands.empty());
}

TEST_F(DialogNavigationTest, ArrowsMoveWithinTheGroupAndTheTrackbarKeepsThem) {
    Create();
    Focus(kOne);
    EXPECT_EQ(FocusAfter({VK_DOWN, VK_RIGHT, VK_DOWN, VK_UP}), (std::vector<int>{kTwo, kThree, kOne, kThree}));
    EnableWindow(GetDlgItem(m_dialog, kTwo), FALSE);
    EXPECT_EQ(FocusAfter({VK_LEFT}), (std::vector<int>{kOne})) << "past the disabled Two";
    EXPECT_EQ(GetNextDlgGroupItem(m_dialog, GetDlgItem(m_dialog, IDOK), TRUE), GetDlgItem(m_dialog, kSkin))
        << "the last group runs to the last control";
    Focus(kTrackbar);
    EXPECT_EQ(FocusAfter({VK_RIGHT, VK_RIGHT}), (std::vector<int>{kTrackbar, kTrackbar}));
    EXPECT_EQ(SendDlgItemMessageW(m_dialog, kTrackbar, TBM_GETPOS, 0, 0), 2);
}

TEST_F(DialogNavigationTest, SpaceAndEnterPressTheFocusedPushButtonElseTheDefault) {
    Create();
    Type(VK_SPACE);
    Type(VK_RETURN);
    Focus(kTrackbar);
    Type(VK_RETURN);
    Focus(kSkin);
    Type(VK_RETURN);  // an owner-drawn button is not a push button to the dialog
    Type(VK_SPACE);
    Type(VK_ESCAPE);
    EXPECT_EQ(g_nav.commands, (std::vector<WORD>{kApply, kApply, IDOK, IDOK, kSkin, IDCANCEL}));
}

TEST_F(DialogNavigationTest, TheDefaultLookFollowsTheFocusedPushButton) {
    Create();
    EXPECT_TRUE(LooksDefault(kApply)) << "focused first";
    EXPECT_FALSE(LooksDefault(IDOK));
    Type(VK_TAB);
    EXPECT_TRUE(LooksDefault(IDOK)) << "back on the dialog's default when a trackbar has the focus";
    EXPECT_FALSE(LooksDefault(kApply));
    Type(VK_TAB);
    EXPECT_TRUE(LooksDefault(kOne));
    EXPECT_FALSE(LooksDefault(IDOK));
    EXPECT_EQ(SendMessageW(m_dialog, DM_GETDEFID, 0, 0), MAKELPARAM(IDOK, DC_HASDEFID)) << "the default stays OK";
    Focus(kSkin);
    EXPECT_TRUE(LooksDefault(IDOK));
    EXPECT_EQ(GetWindowLongW(GetDlgItem(m_dialog, kSkin), GWL_STYLE) & BS_TYPEMASK, LONG(BS_OWNERDRAW));
}

TEST_F(DialogNavigationTest, FocusedButtonsShowTheFocus) {
    Create();
    Pump();
    // Apply, at (10, 0) in the dialog, has the focus: a dotted frame 3 pixels in.
    EXPECT_EQ(Pixel(*Headless().Capture(m_dialog), 13, 3), 0u);
    EXPECT_NE(Pixel(*Headless().Capture(m_dialog), 14, 3), 0u) << "dotted";
    Focus(kSkin);
    Pump();
    ASSERT_FALSE(g_nav.skinStates.empty());
    EXPECT_TRUE(g_nav.skinStates.back() & ODS_FOCUS);
    EXPECT_NE(Pixel(*Headless().Capture(m_dialog), 13, 3), 0u);
    Type(VK_TAB);
    Pump();
    EXPECT_FALSE(g_nav.skinStates.back() & ODS_FOCUS);
}

TEST_F(DialogNavigationTest, AProcedureThatFocusesAControlOnInitKeepsIt) {
    Create(IDCANCEL);
    EXPECT_EQ(Focused(), IDCANCEL);
    EXPECT_TRUE(LooksDefault(IDCANCEL));
    HWND other = Make(WS_POPUP | WS_VISIBLE, RECT{400, 0, 500, 100});
    SetActiveWindow(other);
    SetActiveWindow(m_dialog);
    EXPECT_EQ(Focused(), IDCANCEL) << "the focus comes back with the activation";
}

TEST_F(DialogNavigationTest, MnemonicsChooseControlsUnlessTheFocusedOneWantsCharacters) {
    Create();
    Focus(kTrackbar);
    Type('A');
    EXPECT_EQ(g_nav.commands, (std::vector<WORD>{kApply})) << "a button is pressed";
    EXPECT_EQ(Focused(), kTrackbar);
    Type('L');
    EXPECT_EQ(Focused(), IDOK) << "a label hands the focus to the next tab stop";
    HWND typing = Make(WS_CHILD | WS_VISIBLE | WS_TABSTOP, RECT{0, 0, 10, 10}, m_dialog);
    On(typing, [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_GETDLGCODE) return DLGC_WANTCHARS;
        return std::nullopt;
    });
    SetFocus(typing);
    Type('A');
    EXPECT_EQ(SeenOf(WM_CHAR, typing).size(), 1u) << "the control that wants characters keeps them";
    plat::ui::InjectKey(VK_MENU, true);
    Type('A');
    plat::ui::InjectKey(VK_MENU, false);
    PumpDialog();
    EXPECT_EQ(g_nav.commands, (std::vector<WORD>{kApply, kApply})) << "Alt+A works from any control";
}

TEST_F(DialogNavigationTest, DoubleClicksReachTheDialogAndItsButtons) {
    plat::ScopedManualClock clock;
    Create();
    auto doubleClick = [&](POINT pt) {
        Click(pt);
        Click(pt);
        PumpDialog();
    };
    RECT rc;
    GetWindowRect(m_dialog, &rc);
    doubleClick(POINT{rc.right - 5, rc.bottom - 5});  // the dialog's own background
    EXPECT_EQ(g_nav.doubleClicks, 1);

    // An owner-drawn button reports the second press as a double-click; a
    // push button takes it as another click.
    doubleClick(CentreOf(GetDlgItem(m_dialog, kSkin)));
    doubleClick(CentreOf(GetDlgItem(m_dialog, kOne)));
    using N = std::pair<WORD, WORD>;
    EXPECT_EQ(g_nav.notifications, (std::vector<N>{{WORD(kSkin), BN_CLICKED}, {WORD(kSkin), BN_DOUBLECLICKED},
                                                   {WORD(kOne), BN_CLICKED}, {WORD(kOne), BN_CLICKED}}));
    EXPECT_EQ(GetCapture(), nullptr) << "no press is left tracking";
    EXPECT_EQ(g_nav.doubleClicks, 1) << "the buttons' double-clicks stay theirs";
}

namespace {

INT_PTR ModalProc(HWND hwnd, UINT message, WPARAM wp, LPARAM param) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(hwnd, GWLP_USERDATA, param);
    if (message == WM_COMMAND && LOWORD(DWORD(wp)) == IDOK) {
        EndDialog(hwnd, INT_PTR(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

TEST_F(DialogTest, ModalDialogAnswersWithEndDialogsValue) {
    HWND owner = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 300});
    HWND child = Make(WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, owner);
    SetFocus(child);
    HWND modal = nullptr;
    plat::ui::SetModalShownHook([&](HWND shown) {
        modal = shown;
        EXPECT_TRUE(IsWindowVisible(shown));
        EXPECT_FALSE(IsWindowEnabled(owner)) << "the parent's top-level window is the owner";
        PressKey(VK_RETURN);
    });
    EXPECT_EQ(DialogBoxParamW(m_library, MAKEINTRESOURCEW(600), child, &ModalProc, 42), 42);
    EXPECT_FALSE(IsWindow(modal));
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetFocus(), child) << "the focus comes back";

    // A quit request ends the dialog with 0 and stays for the outer loop.
    plat::ui::SetModalShownHook([](HWND) { PostQuitMessage(3); });
    EXPECT_EQ(DialogBoxParamW(m_library, MAKEINTRESOURCEW(600), owner, &ModalProc, 42), 0);
    plat::ui::SetModalShownHook(nullptr);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);

    EXPECT_EQ(DialogBoxParamW(m_library, MAKEINTRESOURCEW(601), owner, &ModalProc, 0), -1);
}

TEST_F(DialogNavigationTest, F1AsksForHelpAboutTheFocusedControl) {
    Create();
    Focus(kOne);  // a button, whose procedure keeps its keys to itself
    Type(VK_F1);
    Focus(kTrackbar);
    Type(VK_F1);
    EXPECT_EQ(g_nav.helpFor, (std::vector<int>{kOne, kTrackbar}));
    EXPECT_EQ(Focused(), kTrackbar) << "F1 moves nothing";
}
