#include "ui/framework_tray_icon.h"

#include "ui/input.h"
#include "ui/modal_loop.h"
#include "ui/resource_images.h"
#include "ui/tray_icon.h"
#include "ui/window_pos.h"

#include "sample_library.h"

using namespace uitest;

namespace {

constexpr UINT WM_TRAY = WM_APP + 100;
constexpr UINT ID_SHOW = 32771;
constexpr UINT ID_EXIT = 32774;

struct Tray : plat::ui::TrayHost {
    std::vector<plat::ui::TrayIcon> shown;
    bool Show(const plat::ui::TrayIcon& icon) override {
        shown.push_back(icon);
        return true;
    }
    void Remove(HWND, UINT) override {}
};

class Owner : public CWnd {
public:
    std::vector<UINT> commands;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui) override {
        if (code == CN_COMMAND) commands.push_back(id);
        return CWnd::OnCmdMsg(id, code, ui);
    }
};

class TrayIconClassTest : public SampleTest {
protected:
    void SetUp() override {
        SampleTest::SetUp();
        m_face = LoadIconW(m_library, MAKEINTRESOURCEW(1));
        ASSERT_NE(m_face, nullptr);
        ASSERT_TRUE(m_owner.CreateEx(0, nullptr, u"owner", WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50}, nullptr, 0));
    }
    void TearDown() override {
        m_icon.RemoveIcon();
        plat::ui::SetTrayHost(nullptr);
        plat::ui::SetModalShownHook(nullptr);
        m_owner.DestroyWindow();
        for (HICON icon : {m_face, m_alert})
            if (icon) DestroyIcon(icon);
        SampleTest::TearDown();
    }
    BOOL Create() { return m_icon.Create(&m_owner, WM_TRAY, u"Zelmor Lumetra", m_face, 500, ID_SHOW); }
    Owner m_owner;
    CTrayIcon m_icon;
    HICON m_face = nullptr;
    HICON m_alert = nullptr;
};

}  // namespace

TEST_F(TrayIconClassTest, WithoutATrayTheWindowIsMinimisedNotHiddenUntilATrayStarts) {
    EXPECT_FALSE(Create());
    m_icon.MinimiseToTray(&m_owner);
    EXPECT_TRUE(IsWindowVisible(m_owner.m_hWnd)) << "hidden, it could not be brought back";
    EXPECT_TRUE(IsIconic(m_owner.m_hWnd));
    m_icon.MaximiseFromTray(&m_owner);
    EXPECT_FALSE(IsIconic(m_owner.m_hWnd));

    // The desktop's panel starts later, as at log-in: the icon adds itself.
    auto tray = std::make_shared<Tray>();
    plat::ui::SetTrayHost(tray);
    plat::ui::NotifyTrayStarted();
    Pump();
    EXPECT_TRUE(m_icon.Visible());
    ASSERT_EQ(tray->shown.size(), 1u);
    EXPECT_EQ(tray->shown[0].tip, u"Zelmor Lumetra");
    plat::ui::NotifyTrayStarted();
    Pump();
    EXPECT_EQ(tray->shown.size(), 1u) << "an icon that shows is not added twice";
}

TEST_F(TrayIconClassTest, TheIconHidesTheWindowAndAnswersItsMouseEvents) {
    auto tray = std::make_shared<Tray>();
    plat::ui::SetTrayHost(tray);
    ASSERT_TRUE(Create());
    ASSERT_EQ(tray->shown.size(), 1u);
    EXPECT_EQ(tray->shown[0].owner, m_owner.m_hWnd);
    EXPECT_EQ(tray->shown[0].callbackMessage, WM_TRAY);
    EXPECT_EQ(tray->shown[0].tip, u"Zelmor Lumetra");
    m_alert = LoadIconW(m_library, MAKEINTRESOURCEW(1));
    ASSERT_NE(m_alert, m_face);
    ASSERT_TRUE(m_icon.SetIcon(m_alert));
    EXPECT_EQ(tray->shown.back().icon, m_alert);

    m_icon.MinimiseToTray(&m_owner);
    EXPECT_FALSE(IsWindowVisible(m_owner.m_hWnd));
    m_icon.MaximiseFromTray(&m_owner);
    EXPECT_TRUE(IsWindowVisible(m_owner.m_hWnd));

    // A double click runs the default command, which the program changes.
    EXPECT_EQ(m_icon.OnTrayNotification(1, WM_LBUTTONDBLCLK), 1);
    m_icon.SetMenuDefaultItem(ID_EXIT);
    m_icon.OnTrayNotification(1, WM_LBUTTONDBLCLK);
    EXPECT_EQ(m_icon.OnTrayNotification(2, WM_LBUTTONDBLCLK), 0) << "another icon's event";
    EXPECT_EQ(m_owner.commands, (std::vector<UINT>{ID_SHOW, ID_EXIT}));

    // A right-button release opens the menu; the first item is chosen.
    plat::ui::SetModalShownHook([](HWND) {
        plat::ui::InjectKey(VK_DOWN, true);
        plat::ui::InjectKey(VK_RETURN, true);
    });
    m_icon.OnTrayNotification(1, WM_RBUTTONUP);
    Pump();
    EXPECT_EQ(m_owner.commands.back(), ID_SHOW);
}

TEST_F(TrayIconClassTest, AWindowHiddenInATrayThatStopsIsBroughtWithinReach) {
    auto tray = std::make_shared<Tray>();
    plat::ui::SetTrayHost(tray);
    ASSERT_TRUE(Create());
    m_icon.MinimiseToTray(&m_owner);
    ASSERT_FALSE(IsWindowVisible(m_owner.m_hWnd));
    plat::ui::SetTrayHost(nullptr);
    plat::ui::NotifyTrayStopped();
    Pump();
    EXPECT_TRUE(IsWindowVisible(m_owner.m_hWnd));
    EXPECT_TRUE(IsIconic(m_owner.m_hWnd)) << "minimised, in the desktop's window list";
}
