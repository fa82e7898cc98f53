// The toolkit's notification-area icon, as the GUI's main window uses it:
// one icon owned by a window, with a tooltip, an icon, a popup menu from the
// resource library and a default command; the icon and the default command
// change while the program runs; mouse events on the icon reach the owner as
// its callback message (wParam the icon id, lParam the mouse message), whose
// handler may pass them to OnTrayNotification for the usual behaviour.
//
// Minimising to the tray hides the window while a notification area shows
// the icon; without one (TrayAvailable() false) the window is minimised
// instead, so the desktop's own window list still brings it back. A window
// hidden in a tray that then stops is shown minimised for the same reason.
#pragma once

#include <string>

#include "ui/framework_wnd.h"

class CTrayIcon {
public:
    CTrayIcon() = default;
    ~CTrayIcon() { RemoveIcon(); }
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Adds the icon. `menu_id` (0: none) names a menu of the resource library
    // whose first submenu opens on a right-button release; `default_command`
    // (0: none) is sent as WM_COMMAND to the owner on a left double-click and
    // drawn bold in the menu.
    // FALSE when there is no notification area; the settings are kept and
    // the icon is added by itself once one starts ("TaskbarCreated"), as
    // when the program starts at log-in before the desktop's panel.
    BOOL Create(CWnd* owner, UINT callback_message, LPCWSTR tip, HICON icon, UINT menu_id, UINT default_command,
                UINT id = 1);
    void RemoveIcon();
    BOOL Visible() const { return m_added; }

    BOOL SetIcon(HICON icon);
    BOOL SetTooltipText(LPCWSTR tip);
    void SetMenuDefaultItem(UINT command) { m_defaultCommand = command; }
    UINT GetMenuDefaultItem() const { return m_defaultCommand; }
    BOOL HasMenu() const { return m_menuId != 0; }

    // Hides `wnd` into the tray (minimises it when there is no tray) and
    // brings it back, shown, restored and in front.
    void MinimiseToTray(CWnd* wnd);
    void MaximiseFromTray(CWnd* wnd);

    // The usual answers to the icon's mouse events: the popup menu on a
    // right-button release, the default command on a left double-click.
    // Returns 1 when the event was for this icon.
    LRESULT OnTrayNotification(WPARAM id, LPARAM event);

private:
    // A hidden window of the icon's own that hears "TaskbarCreated" and
    // "TrayStopped".
    class Listener : public CWnd {
    public:
        explicit Listener(CTrayIcon& icon) : m_icon(icon) {}
        LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override;

    private:
        CTrayIcon& m_icon;
    };

    BOOL Notify(DWORD message, UINT flags) const;
    // Adds the icon unless it shows already (or its owner is gone).
    void Add();
    void TrayStopped();
    void ShowMenu();

    CWnd* m_owner = nullptr;
    UINT m_id = 1;
    UINT m_callbackMessage = 0;
    HICON m_icon = nullptr;
    std::u16string m_tip;
    UINT m_menuId = 0;
    UINT m_defaultCommand = 0;
    bool m_added = false;
    CWnd* m_hiddenInTray = nullptr;
    Listener m_listener{*this};
};
