// The X11 backend's state, shared by its window and event halves.
//
// Every Xlib call runs under m_x, so presenting from a drawing thread, the
// GUI thread's window changes and the event thread never interleave inside
// Xlib. No window-system lock is taken while m_x is held, and input is
// handed to the window system only after m_x is released.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "ui/backend.h"
#include "ui/tray_icon.h"
#include "ui/x11/x11_shm.h"
#include "ui/x11/x11_tray.h"

namespace plat::ui {

class X11Backend final : public Backend {
public:
    explicit X11Backend(Display* display);
    ~X11Backend() override;

    const char* Name() const override { return "x11"; }
    std::vector<MonitorDesc> Monitors() override;
    void Created(const NativeWindowState& state) override;
    void Destroyed(HWND hwnd) override;
    void Changed(const NativeWindowState& state, unsigned change_bits) override;
    void Restack(const std::vector<HWND>& top_to_bottom) override;
    void Lower(HWND hwnd) override;
    void Activate(HWND hwnd) override;
    void Present(HWND hwnd, const std::shared_ptr<Bitmap>& surface, const RECT& area) override;
    bool OpacitySupported() override;
    bool ScrollLock() override;
    bool SetScrollLock(bool on) override;
    void Flush() override;
    bool PointerPosition(POINT* screen) override;
    void GrabPointer(HWND top) override;
    std::shared_ptr<Bitmap> CaptureScreen() override;
    char16_t DigitKeyCharacter(int vk, bool shift) override;
    void Shutdown() override;

    ::Window NativeId(HWND hwnd);
    // The display connection broke (Xlib's I/O error): nothing more is sent
    // and the event thread stops. Called with m_x held.
    void MarkConnectionLost();

    // The notification area (x11_backend_tray.cpp): installed as the tray
    // host once the backend runs, removed at shutdown.
    void InstallTray();
    bool ShowTrayIcon(const TrayIcon& icon);
    void RemoveTrayIcon(HWND owner, UINT id);
    bool TrayManagerRuns();

private:
    struct Native {
        ::Window xid = 0;
        GC gc = nullptr;
        ShmImage shm;
        bool shmBusy = false;  // the server may still read the segment (no ShmCompletion yet)
        NativeWindowState state;
        bool mapped = false;
    };

    // Holds m_x. Xlib may read events into its own queue during any call
    // (a reply it waits for comes after them); on release such events wake
    // the event thread, which would otherwise sleep on a quiet socket.
    class Locked {
    public:
        explicit Locked(X11Backend& b) : m_b(b), m_lock(b.m_x) {}
        ~Locked();
        Locked(const Locked&) = delete;
        Locked& operator=(const Locked&) = delete;

    private:
        X11Backend& m_b;
        std::unique_lock<std::mutex> m_lock;
    };
    void Wake();

    // Under m_x.
    Atom A(const char* name);
    bool HasWindowManager();
    RECT WorkAreaLocked(const RECT& screen);
    void ApplyShape(Native& n);
    void ApplyOpacity(Native& n);
    void ApplyTitle(Native& n);
    void ApplyWmState(Native& n, const NativeWindowState& before);
    void ApplyIcon(Native& n);
    void ApplyClass(Native& n);
    void ApplyVisibility(Native& n);
    void RestackLocked();
    void PutImage(Native& n, const Bitmap& surface, const RECT& area);
    bool PutShared(Native& n, const Bitmap& surface, const RECT& r);
    void SendWmState(Native& n, bool add, Atom state);

    // Event half (x11_events.cpp).
    void EventLoop();
    void HandleEvents();
    void RemoveTray();

    Display* m_display;
    int m_screen;
    ::Window m_root;
    Visual* m_visual;
    int m_depth;
    bool m_directPixels;  // the visual takes our 0xXXRRGGBB words as they are
    bool m_shm = false;   // present through MIT-SHM (with direct pixels only)
    int m_shmCompletion = -1;  // the event type telling that the server has read a segment
    std::mutex m_x;
    std::map<HWND, Native> m_windows;
    std::map<::Window, HWND> m_byXid;
    std::vector<HWND> m_order;
    HWND m_lowered = nullptr;  // sent to the bottom, until the program raises it
    std::map<std::string, Atom> m_atoms;
    std::unique_ptr<X11Tray> m_tray;
    bool m_trayInstalled = false;
    std::thread m_events;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_lost{false};
    bool m_closed = false;
};

}  // namespace plat::ui
