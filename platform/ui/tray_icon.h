// Shell_NotifyIconW: icons in the desktop's notification area, each with a
// tooltip and a callback message that tells its owner window about mouse
// events on it (wParam the icon id, lParam the mouse message, e.g.
// WM_RBUTTONUP). The notification area itself is a TrayHost: the X11 system
// tray (XEmbed) host is not written yet; tests install their own. Without a
// host there is no tray and NIM_ADD fails: a program that minimises to the
// tray must then keep its window reachable (minimise it normally instead of
// hiding it).
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
};

// Null: no notification area.
void SetTrayHost(std::shared_ptr<TrayHost> host);
// A mouse event on an icon, from the host: posts the owner's callback message.
void TrayIconEvent(HWND owner, UINT id, UINT mouse_message);
std::vector<TrayIcon> TrayIcons();

}  // namespace plat::ui

BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data);
