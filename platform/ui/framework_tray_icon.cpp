#include "ui/framework_tray_icon.h"

#include <utility>

#include "base/text.h"
#include "ui/framework_app.h"
#include "ui/input.h"
#include "ui/popup_menu.h"
#include "ui/registered_messages.h"
#include "ui/tray_icon.h"
#include "ui/window_pos.h"

BOOL CTrayIcon::Create(CWnd* owner, UINT callback_message, LPCWSTR tip, HICON icon, UINT menu_id,
                       UINT default_command, UINT id) {
    RemoveIcon();
    m_owner = owner;
    m_callbackMessage = callback_message;
    m_tip = tip ? tip : u"";
    m_icon = icon;
    m_menuId = menu_id;
    m_defaultCommand = default_command;
    m_id = id;
    if (!m_listener.m_hWnd) m_listener.CreateEx(0, nullptr, u"", WS_POPUP, RECT{0, 0, 1, 1}, nullptr, 0);
    Add();
    return m_added;
}

void CTrayIcon::Add() {
    if (!m_added && m_owner && ::IsWindow(m_owner->m_hWnd)) m_added = Notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
}

LRESULT CTrayIcon::Listener::WindowProc(UINT message, WPARAM wp, LPARAM lp) {
    static const UINT started = RegisterWindowMessageW(plat::ui::kTrayStartedMessage);
    static const UINT stopped = RegisterWindowMessageW(plat::ui::kTrayStoppedMessage);
    if (message == started) m_icon.Add();
    else if (message == stopped) m_icon.TrayStopped();
    else return CWnd::WindowProc(message, wp, lp);
    return 0;
}

// The icon stays known for the next tray; a window hidden behind it must not
// stay out of reach meanwhile.
void CTrayIcon::TrayStopped() {
    CWnd* hidden = std::exchange(m_hiddenInTray, nullptr);
    if (hidden && ::IsWindow(hidden->m_hWnd) && !::IsWindowVisible(hidden->m_hWnd)) hidden->ShowWindow(SW_MINIMIZE);
}

void CTrayIcon::RemoveIcon() {
    if (m_added) Notify(NIM_DELETE, 0);
    m_added = false;
    m_owner = nullptr;  // nothing to add again later
}

BOOL CTrayIcon::SetIcon(HICON icon) {
    m_icon = icon;
    return m_added && Notify(NIM_MODIFY, NIF_ICON);
}

BOOL CTrayIcon::SetTooltipText(LPCWSTR tip) {
    m_tip = tip ? tip : u"";
    return m_added && Notify(NIM_MODIFY, NIF_TIP);
}

BOOL CTrayIcon::Notify(DWORD message, UINT flags) const {
    NOTIFYICONDATAW data;
    data.hWnd = m_owner->m_hWnd;
    data.uID = m_id;
    data.uFlags = flags;
    data.uCallbackMessage = m_callbackMessage;
    data.hIcon = m_icon;
    plat::CopyToField(data.szTip, sizeof data.szTip / sizeof data.szTip[0], m_tip.c_str());
    return Shell_NotifyIconW(message, &data);
}

void CTrayIcon::MinimiseToTray(CWnd* wnd) {
    const bool reachable = m_added && plat::ui::TrayAvailable();
    wnd->ShowWindow(reachable ? SW_HIDE : SW_MINIMIZE);
    m_hiddenInTray = reachable ? wnd : nullptr;
}

void CTrayIcon::MaximiseFromTray(CWnd* wnd) {
    m_hiddenInTray = nullptr;
    if (IsIconic(wnd->m_hWnd)) wnd->ShowWindow(SW_RESTORE);
    wnd->ShowWindow(SW_SHOW);
    SetForegroundWindow(wnd->m_hWnd);
}

LRESULT CTrayIcon::OnTrayNotification(WPARAM id, LPARAM event) {
    if (id != m_id || !m_owner) return 0;
    if (event == WM_RBUTTONUP && m_menuId) ShowMenu();
    if (event == WM_LBUTTONDBLCLK && m_defaultCommand) m_owner->SendMessage(WM_COMMAND, m_defaultCommand);
    return 1;
}

// At the pointer, with the default command in bold, in front, and followed by WM_NULL so the menu closes when
// the user clicks elsewhere on the desktop.
void CTrayIcon::ShowMenu() {
    HMENU bar = LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_menuId));
    if (!bar) return;
    POINT at{};
    GetCursorPos(&at);
    HMENU menu = GetSubMenu(bar, 0);
    if (m_defaultCommand) ::SetMenuDefaultItem(menu, m_defaultCommand, FALSE);
    SetForegroundWindow(m_owner->m_hWnd);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RIGHTALIGN, at.x, at.y, 0, m_owner->m_hWnd, nullptr);
    m_owner->PostMessage(WM_NULL);
    DestroyMenu(bar);
}
