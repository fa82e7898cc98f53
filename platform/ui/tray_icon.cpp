#include "ui/tray_icon.h"

#include <algorithm>
#include <mutex>

#include "ui/backend.h"
#include "ui/message_queue.h"
#include "ui/registered_messages.h"

namespace plat::ui {
namespace {

// Guards the host and the icons; the host is called with it held, so a host
// must not call back into Shell_NotifyIconW. Taken before the backend's own
// locks; the backend is chosen before it is taken, because starting a
// backend may install a host.
std::mutex g_mutex;
std::shared_ptr<TrayHost> g_host;
std::vector<TrayIcon> g_icons;

std::vector<TrayIcon>::iterator FindLocked(HWND owner, UINT id) {
    return std::find_if(g_icons.begin(), g_icons.end(),
                        [&](const TrayIcon& i) { return i.owner == owner && i.id == id; });
}

void Apply(TrayIcon& icon, const NOTIFYICONDATAW& data) {
    if (data.uFlags & NIF_MESSAGE) icon.callbackMessage = data.uCallbackMessage;
    if (data.uFlags & NIF_ICON) icon.icon = data.hIcon;
    if (data.uFlags & NIF_TIP) icon.tip = std::u16string(data.szTip, std::find(data.szTip, data.szTip + 128, 0));
}

}  // namespace

void SetTrayHost(std::shared_ptr<TrayHost> host) {
    std::lock_guard lock(g_mutex);
    g_host = std::move(host);
    g_icons.clear();
}

void TrayIconEvent(HWND owner, UINT id, UINT mouse_message) {
    UINT callback = 0;
    {
        std::lock_guard lock(g_mutex);
        auto it = FindLocked(owner, id);
        if (it == g_icons.end()) return;
        callback = it->callbackMessage;
    }
    if (callback) PostMessageW(owner, callback, id, LPARAM(mouse_message));
}

void NotifyTrayStarted() { PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(kTrayStartedMessage), 0, 0); }
void NotifyTrayStopped() { PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(kTrayStoppedMessage), 0, 0); }

bool TrayAvailable() {
    CurrentBackend();  // a backend that has a notification area installs it when it starts
    std::lock_guard lock(g_mutex);
    return g_host && g_host->Available();
}

std::vector<TrayIcon> TrayIcons() {
    std::lock_guard lock(g_mutex);
    return g_icons;
}

}  // namespace plat::ui

BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data) {
    using namespace plat::ui;
    if (!data) return FALSE;
    CurrentBackend();
    std::lock_guard lock(g_mutex);
    if (!g_host) return FALSE;
    auto it = FindLocked(data->hWnd, data->uID);
    switch (message) {
        case NIM_ADD: {
            if (it != g_icons.end()) return FALSE;
            TrayIcon icon;
            icon.owner = data->hWnd;
            icon.id = data->uID;
            Apply(icon, *data);
            if (!g_host->Show(icon)) return FALSE;
            g_icons.push_back(std::move(icon));
            return TRUE;
        }
        case NIM_MODIFY: {
            if (it == g_icons.end()) return FALSE;
            TrayIcon changed = *it;
            Apply(changed, *data);
            if (!g_host->Show(changed)) return FALSE;
            *it = std::move(changed);
            return TRUE;
        }
        case NIM_DELETE:
            if (it == g_icons.end()) return FALSE;
            g_host->Remove(data->hWnd, data->uID);
            g_icons.erase(it);
            return TRUE;
    }
    return FALSE;
}
