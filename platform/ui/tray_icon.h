// Shell_NotifyIconW: icons in the desktop's notification area, each with a
// tooltip and a callback message that tells its owner window about mouse
// events on it (wParam the icon id, lParam the mouse message: WM_MOUSEMOVE,
// WM_xBUTTONDOWN, WM_xBUTTONUP, WM_xBUTTONDBLCLK for the left, right and
// middle buttons). The notification area itself is a TrayHost: the X11
// backend installs its system tray host when it starts (x11/x11_tray.h) and
// removes it at shutdown; tests install their own.
//
// Without a notification area (the headless backend, or an X11 desktop
// where no tray manager runs) NIM_ADD fails and TrayAvailable() is false.
// A program that minimises to the tray must then keep its window reachable:
// it minimises the window (ShowWindow SW_MINIMIZE) instead of hiding it.
// Icons added while a tray existed are kept when it goes away and show again
// when a tray manager appears. When a notification area starts, every
// top-level window is sent the registered message "TaskbarCreated" (as
// Windows does when its taskbar starts), so a program whose NIM_ADD failed
// adds its icon then. When it stops, they get "TrayStopped", so a program
// whose window is hidden in the tray can bring it back within reach.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/ui_types.h"

constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;
constexpr UINT NIF_MESSAGE = 0x1;
constexpr UINT NIF_ICON = 0x2;
constexpr UINT NIF_TIP = 0x4;

struct NOTIFYICONDATAW {
    DWORD cbSize = sizeof(NOTIFYICONDATAW);
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    WCHAR szTip[128] = {};
};

namespace plat::ui {

struct TrayIcon {
    HWND owner = nullptr;
    UINT id = 0;
    UINT callbackMessage = 0;
    HICON icon = nullptr;
    std::u16string tip;
};

class TrayHost {
public:
    virtual ~TrayHost() = default;
    // Shows a new or changed icon; false when it cannot.
    virtual bool Show(const TrayIcon& icon) = 0;
    virtual void Remove(HWND owner, UINT id) = 0;
    // Whether icons can show now.
    virtual bool Available() { return true; }
};

// Null: no notification area. Forgets the icons of the previous host.
void SetTrayHost(std::shared_ptr<TrayHost> host);
// Whether a notification area shows icons now; false means a window hidden
// to the tray could not be brought back by the user.
bool TrayAvailable();
// The names of the registered messages (RegisterWindowMessageW) that tell
// every top-level window a notification area started or stopped.
constexpr char16_t kTrayStartedMessage[] = u"TaskbarCreated";
constexpr char16_t kTrayStoppedMessage[] = u"TrayStopped";

// From a host whose notification area has just started: posts the
// "TaskbarCreated" message to every top-level window.
void NotifyTrayStarted();
// From a host whose notification area has gone: posts "TrayStopped".
void NotifyTrayStopped();
// A mouse event on an icon, from the host: posts the owner's callback message.
void TrayIconEvent(HWND owner, UINT id, UINT mouse_message);
std::vector<TrayIcon> TrayIcons();

}  // namespace plat::ui

BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data);
