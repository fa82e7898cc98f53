#include "ui/framework_app.h"
#include "ui/framework_controls.h"
#include "ui/framework_dialog.h"
#include "ui/input.h"
#include "ui/modal_loop.h"

#include "base/format.h"
#include "sample_library.h"

using namespace uitest;

namespace {

constexpr UINT ID_SHOW = 32771;
constexpr UINT ID_ON_TOP = 32772;
constexpr UINT ID_HELP = 32773;

class SkinButton : public CButton {
public:
    std::vector<UINT> states;
    bool presubclassed = false;
    void PreSubclassWindow() override { presubclassed = IsWindow(m_hWnd); }
    void DrawItem(DRAWITEMSTRUCT* dis) override {
        states.push_back(dis->itemState);
        HBRUSH brush = CreateSolidBrush(dis->itemState & ODS_SELECTED ? RGB(200, 0, 0) : RGB(0, 0, 200));
        FillRect(dis->hDC, &dis->rcItem, brush);
        DeleteObject(brush);
    }
};

class SampleDialog : public CDialog {
public:
    SampleDialog() : CDialog(600) {}
    std::vector<std::string> log;
    bool onTop = true;
    SkinButton ok;
    CSliderCtrl slider;
    CAnimateCtrl animation;

    BOOL OnInitDialog() override {
        log.push_back(GetDlgItem(1001) ? "init with controls" : "init without controls");
        ok.SubclassDlgItem(IDOK, this);
        slider.SubclassDlgItem(1001, this);
        animation.SubclassDlgItem(1002, this);
        slider.SetPos(30);
        return TRUE;
    }
    void OnOK() override { log.push_back("ok"); }
    void OnCancel() override { log.push_back("cancel"); }
    void OnHScroll(UINT code, UINT pos, HWND) override { log.push_back(plat::Format("scroll %u %u", code, pos)); }
    // The "Level" label in red on blue, the way a skin colours its labels.
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) override {
        if (type != CTLCOLOR_STATIC || GetDlgCtrlID(control) != 1003) return CDialog::OnCtlColor(dc, control, type);
        SetTextColor(dc, RGB(255, 0, 0));
        return labelBrush;
    }
    HBRUSH labelBrush = CreateSolidBrush(RGB(0, 0, 255));
    ~SampleDialog() override { DeleteObject(labelBrush); }
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui) override {
        return RouteCommand(this, kRoutes, id, code, ui) || CDialog::OnCmdMsg(id, code, ui);
    }

private:
    void OnShow() { log.push_back("show"); }
    void OnToggleTop() { onTop = !onTop; }
    void OnUpdateTop(CCmdUI* ui) { ui->SetCheck(onTop); }
    void OnUpdateHelp(CCmdUI* ui) { ui->Enable(TRUE); }
    static constexpr CommandRoute<SampleDialog> kRoutes[] = {
        {ID_SHOW, &SampleDialog::OnShow, nullptr},
        {ID_ON_TOP, &SampleDialog::OnToggleTop, &SampleDialog::OnUpdateTop},
        {ID_HELP, nullptr, &SampleDialog::OnUpdateHelp},
    };
};

class FrameworkTest : public SampleTest {
protected:
    void SetUp() override {
        SampleTest::SetUp();
        ASSERT_TRUE(m_dialog.Create());
        Pump();
    }
    void TearDown() override {
        m_dialog.DestroyWindow();
        SampleTest::TearDown();
    }
    void Key(int vk) {
        plat::ui::InjectKey(vk, true);
        plat::ui::InjectKey(vk, false);
        AfxPumpWaitingMessages();
    }
    CWinApp m_app{u"framework test"};
    SampleDialog m_dialog;
};

}  // namespace

TEST_F(FrameworkTest, DialogFromTemplateInitialisesAfterItsControls) {
    EXPECT_EQ(m_dialog.log, (std::vector<std::string>{"init with controls"}));
    EXPECT_TRUE(m_dialog.ok.presubclassed);
    EXPECT_EQ(CWnd::FromHandlePermanent(m_dialog.m_hWnd), &m_dialog);
    EXPECT_EQ(m_dialog.slider.GetPos(), 30);
    EXPECT_EQ(m_dialog.slider.GetRangeMax(), 100);
}

TEST_F(FrameworkTest, EnterAndEscapeReachOnOKAndOnCancel) {
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    EXPECT_EQ(m_dialog.log, (std::vector<std::string>{"init with controls", "ok", "cancel"}));
}

TEST_F(FrameworkTest, TabMovesTheFocusThroughTheApplicationsPump) {
    for (int id : {IDOK, IDCANCEL}) {
        HWND button = GetDlgItem(m_dialog.m_hWnd, id);
        SetWindowLongW(button, GWL_STYLE, GetWindowLongW(button, GWL_STYLE) | LONG(WS_TABSTOP));
    }
    EXPECT_EQ(GetFocus(), m_dialog.ok.m_hWnd);
    Key(VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(m_dialog.m_hWnd, IDCANCEL));
}

TEST_F(FrameworkTest, CommandsAndMenuUpdatesRouteThroughTheTable) {
    m_dialog.SendMessage(WM_COMMAND, ID_SHOW);
    m_dialog.SendMessage(WM_COMMAND, ID_ON_TOP);
    EXPECT_EQ(m_dialog.log.back(), "show");
    EXPECT_FALSE(m_dialog.onTop);
    EXPECT_EQ(m_dialog.SendMessage(WM_COMMAND, 999), 0) << "an unrouted command falls to the default";

    HMENU bar = LoadMenuW(m_library, MAKEINTRESOURCEW(500));
    HMENU popup = GetSubMenu(bar, 0);
    HMENU more = GetSubMenu(popup, 3);
    m_dialog.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    m_dialog.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(more), 3);
    EXPECT_EQ(GetMenuState(popup, ID_ON_TOP, MF_BYCOMMAND), MF_UNCHECKED);
    EXPECT_EQ(GetMenuState(more, ID_HELP, MF_BYCOMMAND), MF_ENABLED);
    DestroyMenu(bar);
}

TEST_F(FrameworkTest, OwnerDrawnButtonDrawsItsStates) {
    HWND ok = m_dialog.ok.m_hWnd;
    RECT rc;
    GetWindowRect(ok, &rc);
    m_dialog.ok.states.clear();
    plat::ui::InjectMouseMove(POINT{rc.left + 5, rc.top + 5});
    plat::ui::InjectMouseButton(plat::ui::MouseButton::Left, true);
    AfxPumpWaitingMessages();
    ASSERT_FALSE(m_dialog.ok.states.empty());
    EXPECT_TRUE(m_dialog.ok.states.back() & ODS_SELECTED);
    EXPECT_EQ(Pixel(*Headless().Capture(m_dialog.m_hWnd), 15, 95), 0xC80000u) << "drawn pressed";
    plat::ui::InjectMouseButton(plat::ui::MouseButton::Left, false);
    AfxPumpWaitingMessages();
    EXPECT_FALSE(m_dialog.ok.states.back() & ODS_SELECTED);
    EXPECT_EQ(m_dialog.log.back(), "ok") << "the click is IDOK";

    m_dialog.ok.EnableWindow(FALSE);
    AfxPumpWaitingMessages();
    EXPECT_TRUE(m_dialog.ok.states.back() & ODS_DISABLED);
}

TEST_F(FrameworkTest, SliderNotificationsReachOnHScroll) {
    SetFocus(m_dialog.slider.m_hWnd);
    Key(VK_RIGHT);
    EXPECT_EQ(m_dialog.log.back(), plat::Format("scroll %u %u", TB_ENDTRACK, 31u));
    EXPECT_EQ(m_dialog.log[m_dialog.log.size() - 2], plat::Format("scroll %u %u", TB_LINEDOWN, 31u));
}

TEST_F(FrameworkTest, DestroyingTheMainWindowEndsTheLoop) {
    m_app.m_pMainWnd = &m_dialog;
    m_dialog.DestroyWindow();
    EXPECT_EQ(m_dialog.m_hWnd, nullptr);
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    EXPECT_EQ(m_app.Run(), 0);
}

namespace {

class CreateLog : public CWnd {
public:
    std::vector<UINT> seen;
    LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override {
        if (message == WM_NCCREATE || message == WM_CREATE) seen.push_back(message);
        return CWnd::WindowProc(message, wp, lp);
    }
};

}  // namespace

TEST_F(FrameworkTest, WindowsOfAnyClassSeeTheirOwnCreation) {
    for (LPCWSTR cls : {static_cast<LPCWSTR>(nullptr), static_cast<LPCWSTR>(u"STATIC")}) {
        CreateLog wnd;
        ASSERT_TRUE(wnd.CreateEx(0, cls, u"x", WS_POPUP, RECT{0, 0, 20, 20}, nullptr, 0));
        EXPECT_EQ(wnd.seen, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
        EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
    }
    CreateLog unbound;
    AfxHookWindowCreate(&unbound);
    AfxUnhookWindowCreate();
    HWND later = CreateWindowExW(0, u"STATIC", u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(later), nullptr) << "a hook that was taken back binds nothing";
    DestroyWindow(later);
}

TEST_F(FrameworkTest, TheParentColoursItsLabels) {
    UpdateWindow(m_dialog.m_hWnd);
    auto shot = Headless().Capture(m_dialog.m_hWnd);
    EXPECT_EQ(Pixel(*shot, 100, 70), 0x0000FFu) << "the label's background is the parent's brush";
    bool red_text = false;
    for (int y = 60; y < 76; ++y)
        for (int x = 10; x < 50; ++x) red_text |= (Pixel(*shot, x, y) & 0xFF0000u) > 0x800000u;
    EXPECT_TRUE(red_text) << "the label's text takes the parent's colour";
    EXPECT_EQ(Pixel(*shot, 12, 12), Pixel(*shot, 195, 45)) << "other controls keep the button face";
}

namespace {

class AboutBox : public CDialog {
public:
    explicit AboutBox(CWnd* parent) : CDialog(600, parent) {}
    int inits = 0;
    BOOL OnInitDialog() override {
        ++inits;
        return TRUE;
    }
};

}  // namespace

TEST_F(FrameworkTest, ModalDialogRunsUntilItEndsWithItsOwnerDisabled) {
    AboutBox about(&m_dialog);
    HWND shown = nullptr;
    bool ownerDisabled = false;
    plat::ui::SetModalShownHook([&](HWND modal) {
        shown = modal;
        ownerDisabled = !IsWindowEnabled(m_dialog.m_hWnd);
        Key(VK_ESCAPE);
    });
    EXPECT_EQ(about.DoModal(), IDCANCEL);
    plat::ui::SetModalShownHook(nullptr);
    EXPECT_EQ(about.inits, 1);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(m_dialog.m_hWnd)) << "enabled again";
    EXPECT_FALSE(IsWindow(shown)) << "the window is gone";
    EXPECT_EQ(about.m_hWnd, nullptr);
    EXPECT_EQ(m_dialog.log, (std::vector<std::string>{"init with controls"})) << "the owner heard nothing";

    CDialog missing(601);
    EXPECT_EQ(missing.DoModal(), -1);
}
