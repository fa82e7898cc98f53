// The notification area on X11: the freedesktop system tray over XEmbed.
// Each icon is a small window of ours that the tray manager (the owner of
// the _NET_SYSTEM_TRAY_S<screen> selection) embeds into its own window after
// a dock request. The icon is painted scaled to the size the manager gives
// it, in the manager's visual when it names one (with alpha) and otherwise
// over the manager's background (pixels less than half opaque are left out).
//
// When the manager goes away the icon windows go with it, but the icons are
// kept: a manager that appears later (its MANAGER announcement on the root
// window) gets them all docked again. An icon added while no manager runs is
// refused instead, so NIM_ADD reports that nothing shows.
//
// Thread rule: every call runs under the backend's display lock. Mouse
// events on the icons come out as records the caller hands to the window
// system after releasing that lock.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/icon.h"
#include "ui/tray_icon.h"
#include "ui/x11/x11_tip_window.h"

namespace plat::ui {

struct TrayMouse {
    HWND owner = nullptr;
    UINT id = 0;
    UINT message = 0;  // WM_LBUTTONUP, WM_MOUSEMOVE, ...
    POINT pt;          // the pointer on the screen
};

class X11Tray {
public:
    X11Tray(Display* display, int screen);
    X11Tray(const X11Tray&) = delete;
    X11Tray& operator=(const X11Tray&) = delete;

    // Whether a tray manager runs now.
    bool Available() const { return m_manager != None; }
    // Shows a new icon (false without a manager) or changes a known one.
    // `image` may be null (nothing painted); `tip_image` is the hover tip.
    bool Show(const TrayIcon& icon, std::shared_ptr<const Icon> image, std::shared_ptr<const Bitmap> tip_image);
    void Remove(HWND owner, UINT id);
    // Takes the event when it is the tray's: its windows, the manager's
    // end, the root window's MANAGER announcement.
    bool Handle(const XEvent& ev, std::vector<TrayMouse>& mouse);
    // Destroys the windows, before the display closes.
    void Close();

private:
    struct Entry {
        HWND owner = nullptr;
        UINT id = 0;
        std::u16string tip;
        std::shared_ptr<const Icon> image;
        std::shared_ptr<const Bitmap> tipImage;
        ::Window xid = None;
        GC gc = nullptr;
        int width = 0;
        int height = 0;
        bool pressed = false;  // the last press, for double clicks
        unsigned lastButton = 0;
        Time lastPress = 0;
    };
    // The manager's offer of a visual with alpha, when it makes one.
    struct IconVisual {
        Visual* visual = nullptr;
        int depth = 0;
        Colormap colormap = None;
    };

    void FindManager();
    void ReadManagerVisual();
    void ManagerChanged();
    // Undocks every icon and docks it into the current manager, if any.
    void Redock();
    int ManagerIconSize();
    void Dock(Entry& e);
    void Undock(Entry& e);
    void SetTitle(const Entry& e);
    void Paint(Entry& e);
    void PaintOverParent(Entry& e, const Bitmap& pixels);
    void HandleIcon(Entry& e, const XEvent& ev, std::vector<TrayMouse>& mouse);
    void Press(Entry& e, const XButtonEvent& ev, std::vector<TrayMouse>& mouse);
    Entry* Find(::Window xid);

    Display* m_display;
    int m_screen;
    ::Window m_root;
    Atom m_selection, m_managerAtom, m_opcode, m_iconSize, m_visualAtom, m_xembedInfo, m_netWmName, m_utf8;
    ::Window m_manager = None;
    IconVisual m_argb;
    std::vector<Entry> m_icons;
    X11TipWindow m_tip;
    ::Window m_tipFor = None;  // the icon window whose tip shows
};

}  // namespace plat::ui
