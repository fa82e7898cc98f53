// A notification area for tests, written with raw Xlib: it owns
// _NET_SYSTEM_TRAY_S0, announces itself with a MANAGER message, answers dock
// requests by reparenting the icon window into its own window (icons side
// by side, 30 pixels apart) and tells the icon it is embedded.
//
// Xlib's macros clash with GoogleTest's names: include this after the
// test framework.
//
// Thread rule: the display is used by the thread that calls Serve (and made
// the tray); Docked may be asked from any thread.
#pragma once

#include <X11/Xlib.h>

#include <mutex>
#include <vector>

namespace xvfbtest {

class TestTray {
public:
    struct Look {
        int x = 300, y = 0, width = 200, height = 40;
        unsigned long background = 0x406080;
        long iconSize = 0;          // the size it announces (0: none)
        int embedSize = 0;          // the size it gives docked icons (0: as they come)
        bool offerAlphaVisual = false;
        bool panel = false;         // override-redirect: a window manager leaves it alone
    };

    TestTray(Display* dpy, const Look& look);
    ~TestTray() { Quit(); }
    TestTray(const TestTray&) = delete;
    TestTray& operator=(const TestTray&) = delete;

    // Gives up the selection and destroys the tray window (and with it the
    // docked icon windows).
    void Quit();
    // Answers what arrived on the display.
    void Serve();

    std::vector<::Window> Docked() const;
    bool OffersAlpha() const { return m_offersAlpha; }
    ::Window Window() const { return m_window; }

private:
    Atom Intern(const char* name) const { return XInternAtom(m_dpy, name, False); }
    void Dock(::Window icon);

    Display* m_dpy;
    int m_embedSize;
    bool m_offersAlpha = false;
    ::Window m_window = 0;
    mutable std::mutex m_lock;  // guards m_docked
    std::vector<::Window> m_docked;
};

}  // namespace xvfbtest
