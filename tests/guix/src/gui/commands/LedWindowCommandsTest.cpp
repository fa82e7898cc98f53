// The LED window's commands end to end on the headless backend: a skinned
// dialog with the LED window's option controls, scripted rows and dialogs,
// menus answered with keys as a user would.
#include "commands/LedWindowCommands.h"

#include "LedPanelFixture.h"
#include "commands/AutostartValue.h"
#include "commands/CommandIds.h"
#include "commands/ScrollLockMirror.h"
#include "ui/input.h"
#include "ui/layered.h"

namespace {

using cmdtest::LedPanelTest;

BOOL ButtonState(const CSkinDialog& d, const char16_t* name) { return d.FindButton(name)->GetState(); }
bool Layered(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }
bool Topmost(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

TEST_F(LedPanelTest, SnappingAndAutoHideSwitchEachOther) {
    m_settings.Snap = 0;
    m_settings.AutoHide = 0;
    Start();
    m_commands->OnCommand(cmd::kAutoHide);
    EXPECT_EQ(m_settings.Snap, 1u) << "auto-hide turns snapping on first";
    EXPECT_EQ(m_settings.AutoHide, 1u);
    EXPECT_TRUE(m_panel.IsSnapEnabled());
    EXPECT_TRUE(m_panel.IsAutoHide());
    EXPECT_TRUE(ButtonState(m_panel, u"BUTTON_AUTO_SNAP"));
    EXPECT_TRUE(ButtonState(m_panel, u"BUTTON_AUTO_HIDE"));

    m_commands->OnCommand(cmd::kSnapToBorders);
    EXPECT_EQ(m_settings.Snap, 0u);
    EXPECT_EQ(m_settings.AutoHide, 0u) << "snapping off turns auto-hide off first";
    EXPECT_FALSE(m_panel.IsAutoHide());
    EXPECT_FALSE(ButtonState(m_panel, u"BUTTON_AUTO_HIDE"));
}

TEST_F(LedPanelTest, AlwaysOnTopHorizontalAndTemperatureToggles) {
    m_settings.AlwaysOnTop = 1;
    Start();
    m_commands->OnCommand(cmd::kAlwaysOnTop);
    EXPECT_FALSE(Topmost(m_panel.m_hWnd));
    EXPECT_FALSE(ButtonState(m_panel, u"BUTTON_ALWAYS_ON_TOP"));
    m_commands->OnCommand(cmd::kAlwaysOnTop);
    EXPECT_TRUE(Topmost(m_panel.m_hWnd));

    m_commands->OnCommand(cmd::kHorizontal);
    EXPECT_EQ(m_settings.Horizontal, 0u);
    EXPECT_EQ(m_ops.calls, std::vector<std::string>{"LayoutRefresh"});
    EXPECT_TRUE(IsWindowVisible(m_panel.m_hWnd)) << "shown again after the relayout";

    m_commands->OnCommand(cmd::kCelsiusFahrenheit);
    EXPECT_EQ(m_settings.Fahrenheit, 1u);
}

TEST_F(LedPanelTest, HidingTheCdGroupRereadsTheListAndTheTrayMenuShowsItUnchecked) {
    Start();
    m_commands->OnCommand(cmd::kShowCD);
    EXPECT_EQ(m_settings.ShowCD, 0u);
    EXPECT_EQ(m_ops.calls, (std::vector<std::string>{"GetLocalDrives", "LayoutRefresh"}));

    std::pair<bool, bool> cd{true, false};
    Answer({[&](HWND) {
        cd = ItemState(cmd::kShowCD);
        Keys({VK_ESCAPE});
    }});
    m_commands->OnWindowMessage(cmd::kMsgTrayNotify, 1, cmd::kTrayMenuEvent);
    ASSERT_EQ(m_modals.size(), 1u) << "the tray menu opened";
    EXPECT_EQ(cd, std::make_pair(false, true));

    m_commands->OnWindowMessage(cmd::kMsgTrayNotify, 1, WM_MOUSEMOVE);
    EXPECT_EQ(m_modals.size(), 1u) << "only a right-button release opens it";
}

TEST_F(LedPanelTest, OpacityCommandsAndTheAlphaSliderReachTheOpenDialogs) {
    m_settings.TransparencyAvailable = 1;
    m_ops.rows = {DiskRow(&m_disk0, 0, {})};
    Start();
    m_ops.OpenDetailsDialog(0, &m_disk0, FALSE);
    HWND details = m_ops.details[0].window->m_hWnd;

    m_commands->OnCommand(cmd::kOpacity0 + 3);  // 30 %
    EXPECT_EQ(m_settings.Alpha, 179);
    EXPECT_EQ(m_panel.FindSlider(u"SLIDER_ALPHA")->GetPos(), 38);
    for (HWND hwnd : {m_panel.m_hWnd, details}) {
        BYTE alpha = 0;
        ASSERT_TRUE(GetLayeredWindowAttributes(hwnd, nullptr, &alpha, nullptr));
        EXPECT_EQ(alpha, 179);
    }
    m_commands->OnSkinSlider(u"SLIDER_ALPHA", 0, 0);
    EXPECT_EQ(m_settings.Alpha, 255);
    EXPECT_FALSE(Layered(m_panel.m_hWnd));
    EXPECT_FALSE(Layered(details));

    m_settings.TransparencyAvailable = 0;
    m_commands->OnSkinSlider(u"SLIDER_ALPHA", 0, 50);
    EXPECT_EQ(m_settings.Alpha, 255) << "no transparency, no effect";

    m_commands->OnSkinSlider(u"SLIDER_COLOR", 0, 16);
    EXPECT_EQ(m_settings.Color, 16);
    EXPECT_EQ(m_panel.FindSlider(u"SLIDER_COLOR")->GetPos(), 16);
    EXPECT_EQ(m_ops.calls.back(), "Retint 16");
}

TEST_F(LedPanelTest, TheContextMenuChoosesTheRowUnderTheClickAndKeepsItForItsCommand) {
    m_ops.rows = {DiskRow(&m_disk0, 0, {}), DiskRow(&m_disk1, 110, {})};
    Start();
    std::pair<bool, bool> details{}, selftest{};
    Answer({[&](HWND) {
        details = ItemState(cmd::kSmartDetails);
        selftest = ItemState(cmd::kShortSelfTest);
        Keys({'S'});  // "&Short self-test"
    }});
    m_commands->OnContextMenu(m_panel.m_hWnd, ScreenOf({120, 10}));
    Pump();
    EXPECT_EQ(details, std::make_pair(false, true));
    EXPECT_EQ(selftest, std::make_pair(false, true));
    ASSERT_TRUE(m_ops.selfTests[0].window) << "the self-test of the chosen row started";
    EXPECT_EQ(m_ops.selfTests[0].driveIndex, 1);
    EXPECT_EQ(m_ops.selfTests[0].kind, cmd::SelfTestKind::Short);

    // Over a disk whose record lacks the self-test bit, and over empty space.
    Answer({[&](HWND) {
                selftest = ItemState(cmd::kShortSelfTest);
                details = ItemState(cmd::kSmartDetails);
                Keys({VK_ESCAPE});
            },
            [&](HWND) {
                details = ItemState(cmd::kSmartDetails);
                Keys({VK_ESCAPE});
            }});
    m_commands->OnContextMenu(m_panel.m_hWnd, ScreenOf({10, 10}));
    EXPECT_EQ(selftest.second, false);
    EXPECT_EQ(details.second, true);
    m_commands->OnContextMenu(m_panel.m_hWnd, ScreenOf({300, 30}));
    EXPECT_EQ(details.second, false);
    EXPECT_EQ(m_commands->SelectedRow(), -1);

    // Outside the window nothing opens; from the keyboard it opens.
    const std::size_t shown = m_modals.size();
    m_commands->OnContextMenu(m_panel.m_hWnd, {5000, 5000});
    EXPECT_EQ(m_modals.size(), shown);
    m_commands->OnContextMenu(m_panel.m_hWnd, {-1, -1});
    EXPECT_EQ(m_modals.size(), shown + 1);
}

TEST_F(LedPanelTest, DisabledMouseButtonsSilenceMenuDoubleClicksAndTheOptionsButton) {
    m_settings.DisableMouseButtons = 1;
    m_ops.rows = {DiskRow(&m_disk0, 0, {{u'C', 7, {30, 4, 50, 28}}})};
    Start();
    m_commands->OnContextMenu(m_panel.m_hWnd, ScreenOf({10, 10}));
    m_commands->OnDoubleClick({40, 10});
    m_commands->OnWindowMessage(cmd::kMsgOptionsStrip, 0, 0);
    EXPECT_TRUE(m_modals.empty());
    EXPECT_TRUE(m_launched.empty());
    EXPECT_EQ(m_settings.OptionsPanelOpen, 0u);
    EXPECT_TRUE(m_ops.calls.empty());

    // The tray icon is no mouse button of the window: its menu still opens,
    // unless the icon was made without one.
    m_commands->OnWindowMessage(cmd::kMsgTrayNotify, 1, cmd::kTrayMenuEvent);
    EXPECT_EQ(m_modals.size(), 1u) << "the tray menu opened";
    m_ops.tray.RemoveIcon();
    m_ops.tray.Create(&m_panel, cmd::kMsgTrayNotify, u"Zelmor Lumetra", m_ops.WindowIcon(cmd::kIconNormal), 0, 0);
    m_commands->OnWindowMessage(cmd::kMsgTrayNotify, 1, cmd::kTrayMenuEvent);
    EXPECT_EQ(m_modals.size(), 1u) << "an icon without a menu";

    m_settings.DisableMouseButtons = 0;
    m_commands->OnWindowMessage(cmd::kMsgOptionsStrip, 0, 0);
    EXPECT_EQ(m_settings.OptionsPanelOpen, 1u);
    EXPECT_EQ(m_ops.calls, std::vector<std::string>{"Relayout 1 1"});
}

TEST_F(LedPanelTest, DoubleClicksStartTheFileManagerAndTheNetworkSettings) {
    cmd::RowView network;
    network.box = {130, 4, 154, 28};
    network.firstRecordType = 18;
    network.letters = {{u'Z', 18, {160, 4, 180, 28}}};
    m_ops.rows = {DiskRow(&m_disk0, 0, {{u'C', 7, {30, 4, 50, 28}}}), network};
    Start();
    m_commands->OnDoubleClick({40, 10});   // the letter C:
    m_commands->OnDoubleClick({140, 10});  // the network row's box
    EXPECT_EQ(m_launched, (std::vector<std::vector<std::string>>{{"xdg-open", "/"}, {"nm-connection-editor"}}));
}

TEST_F(LedPanelTest, DoubleClickingASmartAreaOpensThatRowsOwnDevice) {
    cmd::RowView cd;
    cd.box = {0, 4, 24, 28};
    cd.firstRecordType = 2;
    m_ops.rows = {cd, DiskRow(&m_disk1, 110, {})};  // row 1 holds the first device
    Start();
    m_commands->OnDoubleClick({180, 10});
    ASSERT_TRUE(m_ops.details[0].window);
    EXPECT_EQ(m_ops.details[0].device, &m_disk1);
    m_commands->OnDoubleClick({180, 10});
    EXPECT_FALSE(m_ops.details[1].window) << "its dialog is open already";
}

TEST_F(LedPanelTest, DetailsOfEveryRowAreStaggeredAndOpenOnce) {
    m_ops.rows = {DiskRow(&m_disk0, 0, {}), DiskRow(&m_disk1, 110, {})};
    m_settings.Fahrenheit = 1;
    Start();
    m_commands->OnCommand(cmd::kSmartDetails);
    ASSERT_TRUE(m_ops.details[0].window && m_ops.details[1].window);
    EXPECT_EQ(m_ops.details[0].device, &m_disk0);
    EXPECT_EQ(m_ops.details[1].device, &m_disk1);
    EXPECT_TRUE(m_ops.details[1].fahrenheit);
    RECT first{}, second{};
    GetWindowRect(m_ops.details[0].window->m_hWnd, &first);
    GetWindowRect(m_ops.details[1].window->m_hWnd, &second);
    EXPECT_EQ(second.left - first.left, 10);
    EXPECT_EQ(second.top - first.top, 10);
    EXPECT_EQ(second.right - second.left, first.right - first.left) << "the size is kept";

    m_ops.details[0].window->DestroyWindow();
    m_commands->OnCommand(cmd::kSmartDetails);
    ASSERT_TRUE(m_ops.details[0].window && IsWindow(m_ops.details[0].window->m_hWnd));
    EXPECT_EQ(m_ops.details[0].device, &m_disk0) << "only the closed one opens again";

    m_ops.smartAvailable = false;
    m_ops.details[0].window->DestroyWindow();
    m_commands->OnCommand(cmd::kSmartDetails);
    EXPECT_FALSE(IsWindow(m_ops.details[0].window->m_hWnd)) << "nothing without a S.M.A.R.T. device";
}

TEST_F(LedPanelTest, MinimisingHidesTheWindowAndItsDialogsAndRestoringBringsThemBack) {
    m_ops.rows = {DiskRow(&m_disk0, 0, {})};
    Start();
    m_ops.OpenDetailsDialog(0, &m_disk0, FALSE);
    m_panel.OnSkinButton(u"BUTTON_MINIMIZE");
    EXPECT_EQ(m_settings.MinimizedToTray, 1u);
    EXPECT_EQ(m_ops.tray.GetMenuDefaultItem(), cmd::kRestoreFromTray);
    EXPECT_FALSE(IsWindowVisible(m_panel.m_hWnd));
    EXPECT_FALSE(IsWindowVisible(m_ops.details[0].window->m_hWnd));
    m_commands->OnCommand(cmd::kRestoreFromTray);
    EXPECT_EQ(m_settings.MinimizedToTray, 0u);
    EXPECT_EQ(m_ops.tray.GetMenuDefaultItem(), cmd::kMinimizeToTray);
    EXPECT_TRUE(IsWindowVisible(m_panel.m_hWnd));
    EXPECT_TRUE(IsWindowVisible(m_ops.details[0].window->m_hWnd));
}

TEST_F(LedPanelTest, TheSmartDisplayAndTheAlertChooseTheTrayIcon) {
    Start();
    m_ops.alert = true;
    m_commands->OnCommand(cmd::kSmartDisplay);
    EXPECT_EQ(m_tray->shown.back(), m_ops.WindowIcon(cmd::kIconSmartOff));
    m_commands->OnCommand(cmd::kResetAlert);
    EXPECT_FALSE(m_ops.alert);
    EXPECT_EQ(m_tray->shown.back(), m_ops.WindowIcon(cmd::kIconSmartOff)) << "the display stays off";
    m_ops.alert = true;
    m_commands->OnCommand(cmd::kSmartDisplay);
    EXPECT_EQ(m_tray->shown.back(), m_ops.WindowIcon(cmd::kIconAlert));
    m_commands->OnCommand(cmd::kResetAlert);
    EXPECT_EQ(m_tray->shown.back(), m_ops.WindowIcon(cmd::kIconNormal));
}

TEST_F(LedPanelTest, ButtonsPostTheirMessagesAndExitDestroysTheWindow) {
    Start();
    m_panel.OnSkinButton(u"BUTTON_CD");
    EXPECT_EQ(m_settings.ShowCD, 1u) << "posted, not yet handled";
    Pump();
    EXPECT_EQ(m_settings.ShowCD, 0u);
    m_panel.OnSkinButton(u"BUTTON_ONLINE_HELP");
    Pump();
    EXPECT_EQ(m_ops.calls.back(), "Help");
    m_panel.OnSkinButton(u"BUTTON_EXIT");
    EXPECT_FALSE(IsWindow(m_panel.m_hWnd));
}

TEST_F(LedPanelTest, TheKeyboardLedCommandTurnsALitScrollLockOff) {
    Headless().SetScrollLock(false);
    cmd::FollowScrollLockLight();
    m_settings.KeyboardLed = 1;
    Start();
    m_commands->MirrorKeyboardLed(true);
    ASSERT_TRUE(Headless().ScrollLock());
    m_commands->OnCommand(cmd::kKeyboardLed);
    EXPECT_EQ(m_settings.KeyboardLed, 0u);
    EXPECT_FALSE(ButtonState(m_panel, u"BUTTON_KEYBOARD_LED"));
    EXPECT_FALSE(Headless().ScrollLock());
    m_commands->MirrorKeyboardLed(true);
    EXPECT_FALSE(Headless().ScrollLock()) << "the mirror is off";
    m_commands->OnCommand(cmd::kKeyboardLed);
    m_commands->MirrorKeyboardLed(true);
    EXPECT_TRUE(Headless().ScrollLock()) << "back on, the light shows the busy drive";
    m_commands->OnDestroy();
    EXPECT_FALSE(Headless().ScrollLock()) << "off at exit";
}

TEST_F(LedPanelTest, TheAboutBoxShowsTheProductAndCloses) {
    Start();
    std::u16string title;
    Answer({[&](HWND box) {
        WCHAR text[64] = {};
        GetWindowTextW(box, text, 64);
        title = text;
        EXPECT_FALSE(IsWindowEnabled(m_panel.m_hWnd)) << "modal to the LED window";
        Keys({VK_RETURN});
    }});
    m_commands->OnCommand(cmd::kAbout);
    EXPECT_EQ(title, u"Zelmor Lumetra");
    EXPECT_TRUE(IsWindowEnabled(m_panel.m_hWnd));
}

TEST_F(LedPanelTest, StartWithWindowsWritesAndDeletesTheRunValue) {
    Start();
    m_commands->OnCommand(cmd::kAutostart);
    EXPECT_EQ(m_settings.Autostart, 1u);
    const std::u16string name = cmd::AutostartValueName(m_ops.resources);
    EXPECT_TRUE(cmd::IsAutostartRegistered(name));
    m_commands->OnCommand(cmd::kAutostart);
    EXPECT_EQ(m_settings.Autostart, 0u);
    EXPECT_FALSE(cmd::IsAutostartRegistered(name));
}

}  // namespace
