// The headless backend: windows exist only in memory. Tests drive input
// (plat::ui::Inject*), timers and the clock, set the monitors, and read back
// what each window presented, inside its shape, or the whole screen with
// every visible window composed in z-order.
#pragma once

#include <map>
#include <mutex>

#include "ui/backend.h"

namespace plat::ui {

class HeadlessBackend final : public Backend {
public:
    HeadlessBackend();
    const char* Name() const override { return "headless"; }
    std::vector<MonitorDesc> Monitors() override;
    void Created(const NativeWindowState& state) override;
    void Destroyed(HWND hwnd) override;
    void Changed(const NativeWindowState& state, unsigned change_bits) override;
    void Restack(const std::vector<HWND>& top_to_bottom) override;
    void Present(HWND hwnd, const std::shared_ptr<Bitmap>& surface, const RECT& area) override;
    bool OpacitySupported() override;
    bool ScrollLock() override;
    bool SetScrollLock(bool on) override;
    void GrabPointer(HWND top) override;

    void SetMonitors(std::vector<MonitorDesc> monitors);
    void SetOpacitySupported(bool supported);
    std::size_t PresentCount(HWND hwnd);
    std::optional<NativeWindowState> StateOf(HWND hwnd);
    // What the window presented: alpha 255 inside its shape, 0 outside.
    std::shared_ptr<Bitmap> Capture(HWND hwnd);
    // The primary monitor with the visible windows drawn bottom to top.
    std::shared_ptr<Bitmap> CaptureScreen(COLORREF background);
    std::shared_ptr<Bitmap> CaptureScreen() override { return CaptureScreen(RGB(0, 0, 0)); }
    std::vector<HWND> StackingOrder();
    // The window the pointer is grabbed for (the capture's top level), or null.
    HWND PointerGrab();

private:
    struct Entry {
        NativeWindowState state;
        std::shared_ptr<Bitmap> shown;
        std::size_t presents = 0;
    };
    std::mutex m_mutex;
    std::vector<MonitorDesc> m_monitors;
    std::map<HWND, Entry> m_windows;
    std::vector<HWND> m_order;  // top first
    bool m_opacity = true;
    bool m_scrollLock = false;
    HWND m_grab = nullptr;
};

// The headless backend in force, or null when another one runs.
HeadlessBackend* Headless();

}  // namespace plat::ui
