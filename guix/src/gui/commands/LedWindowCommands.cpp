// The command dispatch and the options: toggles, opacity, the colour tint,
// the options strip, minimising to the tray, autostart, about and exit.
#include "commands/LedWindowCommands.h"

#include "commands/AboutBox.h"
#include "commands/AutostartValue.h"
#include "commands/CommandTable.h"
#include "commands/Opacity.h"
#include "commands/ScrollLockMirror.h"
#include "skin/SkinDialog.h"
#include "ui/framework_app.h"
#include "ui/paint.h"
#include "ui/window_pos.h"

namespace cmd {
namespace {

constexpr char16_t kAlphaSlider[] = u"SLIDER_ALPHA";
constexpr char16_t kColorSlider[] = u"SLIDER_COLOR";

}  // namespace

LedWindowCommands::LedWindowCommands(CSkinDialog& dialog, LedWindowOps& window, GuiSettings& settings,
                                     SystemFacts system)
    : m_dialog(dialog), m_window(window), m_settings(settings), m_system(std::move(system)) {}

LedWindowCommands::~LedWindowCommands() {
    if (m_eject.joinable()) m_eject.join();
}

HWND LedWindowCommands::Window() const { return m_dialog.GetSafeHwnd(); }

bool LedWindowCommands::OnCommand(UINT id) {
    if (IsOpacityCommand(id)) {
        SetOpacity(id);
        return true;
    }
    switch (id) {
        case kAlwaysOnTop: ToggleAlwaysOnTop(); break;
        case kHorizontal: ToggleHorizontal(); break;
        case kSnapToBorders: ToggleSnap(); break;
        case kAutoHide: ToggleAutoHide(); break;
        case kKeyboardLed: ToggleKeyboardLed(); break;
        case kCelsiusFahrenheit: Toggle(m_settings.Fahrenheit, id); break;
        case kShowCD: ToggleGroup(m_settings.ShowCD, id); break;
        case kShowTape: ToggleGroup(m_settings.ShowTape, id); break;
        case kShowNetwork: ToggleGroup(m_settings.ShowNetwork, id); break;
        case kShowRemovable: ToggleGroup(m_settings.ShowRemovable, id); break;
        case kSmartDisplay: ToggleSmartDisplay(); break;
        case kSmartDetails: ShowSmartDetails(); break;
        case kShortSelfTest: StartSelfTest(SelfTestKind::Short); break;
        case kExtendedSelfTest: StartSelfTest(SelfTestKind::Extended); break;
        case kResetAlert: ResetAlert(); break;
        case kMinimizeToTray: MinimizeToTray(); break;
        case kRestoreFromTray: RestoreFromTray(); break;
        case kAutostart: ToggleAutostart(); break;
        case kHelp: m_window.ShowHelp(); break;
        case kAbout: ShowAbout(); break;
        case kExit: Exit(true); break;
        case kTitle: break;
        default: return false;
    }
    return true;
}

bool LedWindowCommands::OnWindowMessage(UINT message, WPARAM wp, LPARAM lp) {
    if (message == kMsgOptionsStrip) {
        ToggleOptionsStrip();
        return true;
    }
    if (const UINT command = CommandOfButtonMessage(message)) return OnCommand(command);
    if (message == kMsgTrayNotify || message == kMsgTrayNotifyAlt) {
        if (UINT(lp) == kTrayMenuEvent)
            ShowTrayMenu();
        else
            m_window.TrayIcon().OnTrayNotification(wp, lp);
        return true;
    }
    return false;
}

void LedWindowCommands::Toggle(DWORD& setting, UINT id) {
    setting = setting ? 0 : 1;
    LogCommand(id, setting);
}

void LedWindowCommands::ToggleAlwaysOnTop() {
    Toggle(m_settings.AlwaysOnTop, kAlwaysOnTop);
    SetWindowPos(Window(), m_settings.AlwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
    m_dialog.SetButtonState(u"BUTTON_ALWAYS_ON_TOP", m_settings.AlwaysOnTop);
}

void LedWindowCommands::ToggleHorizontal() {
    ShowWindow(Window(), SW_HIDE);
    Toggle(m_settings.Horizontal, kHorizontal);
    InvalidateRect(Window(), nullptr, TRUE);
    m_window.LayoutRefresh();
    ShowWindow(Window(), SW_SHOW);
}

// Auto-hide only runs with snapping on: turning snapping off turns it off.
void LedWindowCommands::ToggleSnap() {
    if (m_settings.AutoHide && m_settings.Snap) ToggleAutoHide();
    m_settings.Snap = m_settings.Snap ? 0 : 1;
    m_dialog.EnableSnap(m_settings.Snap);
    m_dialog.SetButtonState(u"BUTTON_AUTO_SNAP", m_settings.Snap);
    LogCommand(kSnapToBorders, m_settings.Snap);
}

// Turning auto-hide on while snapping is off turns snapping on first.
void LedWindowCommands::ToggleAutoHide() {
    if (!m_settings.Snap && !m_settings.AutoHide) ToggleSnap();
    m_settings.AutoHide = m_settings.AutoHide ? 0 : 1;
    m_dialog.SetAutoHide(m_settings.AutoHide);
    m_dialog.SetButtonState(u"BUTTON_AUTO_HIDE", m_settings.AutoHide);
}

void LedWindowCommands::ToggleKeyboardLed() {
    m_settings.KeyboardLed = m_settings.KeyboardLed ? 0 : 1;
    m_dialog.SetButtonState(u"BUTTON_KEYBOARD_LED", m_settings.KeyboardLed);
    SwitchScrollLockOff();
    FollowScrollLockLight();
}

void LedWindowCommands::ToggleGroup(DWORD& setting, UINT id) {
    Toggle(setting, id);
    m_window.ReadDriveList();
    InvalidateRect(Window(), nullptr, TRUE);
    m_window.LayoutRefresh();
}

UINT LedWindowCommands::TrayIconId() const {
    if (!m_settings.SmartDisplay) return kIconSmartOff;
    return m_window.AlertActive() ? kIconAlert : kIconNormal;
}

void LedWindowCommands::ToggleSmartDisplay() {
    Toggle(m_settings.SmartDisplay, kSmartDisplay);
    m_window.LayoutRefresh();
    m_window.TrayIcon().SetIcon(m_window.WindowIcon(TrayIconId()));
}

void LedWindowCommands::ToggleOptionsStrip() {
    if (m_settings.DisableMouseButtons) return;
    m_settings.OptionsPanelOpen = m_settings.OptionsPanelOpen ? 0 : 1;
    m_window.Relayout(m_window.PreviousLayoutRowCount(), 1);
}

void LedWindowCommands::SetOpacity(UINT id) {
    m_settings.Alpha = *AlphaOfOpacityCommand(id);
    ApplyAlpha();
    LogCommand(id);
}

void LedWindowCommands::ApplyAlpha() {
    if (!m_settings.TransparencyAvailable) return;
    m_dialog.SetSliderPos(kAlphaSlider, AlphaSliderPosition(m_settings.Alpha));
    std::vector<HWND> windows{Window()};
    for (CWnd* dialog : OpenDialogs()) windows.push_back(dialog->GetSafeHwnd());
    ApplyAlphaToWindows(m_settings.Alpha, windows);
}

void LedWindowCommands::OnSkinSlider(const std::u16string& name, int, int position) {
    if (name == kAlphaSlider) {
        if (!m_settings.TransparencyAvailable) return;
        m_settings.Alpha = AlphaOfSliderPosition(position);
        ApplyAlpha();
    } else if (name == kColorSlider) {
        m_dialog.SetSliderPos(kColorSlider, position);
        m_settings.Color = BYTE(position);
        m_window.RetintImageLists(m_settings.Color);
        InvalidateRect(Window(), nullptr, FALSE);
    }
}

std::vector<CWnd*> LedWindowCommands::OpenDialogs() const {
    std::vector<CWnd*> open;
    for (int i = 0; i < m_window.DetailsDialogCount(); ++i)
        if (CWnd* dialog = m_window.DetailsDialogWindow(i)) open.push_back(dialog);
    for (int i = 0; i < m_window.SelfTestDialogCount(); ++i)
        if (CWnd* dialog = m_window.SelfTestDialogWindow(i)) open.push_back(dialog);
    return open;
}

void LedWindowCommands::MinimizeToTray() {
    CTrayIcon& tray = m_window.TrayIcon();
    tray.SetMenuDefaultItem(kRestoreFromTray);
    tray.MinimiseToTray(&m_dialog);
    for (CWnd* dialog : OpenDialogs()) tray.MinimiseToTray(dialog);
    m_settings.MinimizedToTray = 1;
}

void LedWindowCommands::RestoreFromTray() {
    if (!m_settings.MinimizedToTray) return;
    CTrayIcon& tray = m_window.TrayIcon();
    tray.SetMenuDefaultItem(kMinimizeToTray);
    tray.MaximiseFromTray(&m_dialog);
    for (CWnd* dialog : OpenDialogs()) tray.MaximiseFromTray(dialog);
    m_settings.MinimizedToTray = 0;
}

// Registry failures are ignored: the setting flips regardless.
void LedWindowCommands::ToggleAutostart() {
    Toggle(m_settings.Autostart, kAutostart);
    const std::u16string name = AutostartValueName(AfxGetResourceHandle());
    if (m_settings.Autostart)
        RegisterAutostart(name, ProgramPath());
    else
        UnregisterAutostart(name);
}

void LedWindowCommands::ShowAbout() { ShowAboutBox(Window(), AfxGetResourceHandle()); }

void LedWindowCommands::Exit(bool log) {
    if (log) LogCommand(kExit);
    m_dialog.DestroyWindow();
}

void LedWindowCommands::MirrorKeyboardLed(bool any_activity) {
    MirrorActivityOnScrollLock(m_settings.KeyboardLed != 0, any_activity);
}

void LedWindowCommands::OnDestroy() {
    if (m_settings.KeyboardLed) SwitchScrollLockOff();
}

}  // namespace cmd
