// The presentation backend behind the window system: X11 when DISPLAY is set
// and a display opens, headless otherwise. LUMETRA_UI_BACKEND=headless (or
// x11) forces the choice; tests set it to headless.
//
// The window system tells the backend about top-level windows only; child
// windows are drawn into their top-level window's surface. Calls come from
// any thread, never with the window lock held.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/bitmap.h"
#include "ui/icon.h"
#include "ui/region.h"

namespace plat::ui {

struct MonitorDesc {
    RECT monitor;
    RECT work;
    bool primary = false;
};

// What a backend needs to show one top-level window.
struct NativeWindowState {
    HWND hwnd = nullptr;
    RECT rect;  // screen coordinates
    bool visible = false;
    bool iconic = false;
    bool topmost = false;
    bool popup = false;      // menus and tooltips: not managed by a window manager
    bool decorated = false;  // has a caption the window manager may draw
    bool tool = false;       // WS_EX_TOOLWINDOW: kept out of task bars and pagers
    std::optional<Region> shape;  // window coordinates
    BYTE alpha = 255;             // applies when layered
    bool layered = false;
    std::u16string title;
    std::shared_ptr<const Icon> icon;  // WM_SETICON's (the big one when both are set)
    std::shared_ptr<Bitmap> surface;
};

enum ChangeBits : unsigned {
    kChangeGeometry = 1,
    kChangeVisibility = 2,
    kChangeShape = 4,
    kChangeOpacity = 8,
    kChangeTitle = 16,
    kChangeTopmost = 32,
    kChangeIcon = 64,
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* Name() const = 0;
    virtual std::vector<MonitorDesc> Monitors() = 0;
    virtual void Created(const NativeWindowState& state) = 0;
    virtual void Destroyed(HWND hwnd) = 0;
    virtual void Changed(const NativeWindowState& state, unsigned change_bits) = 0;
    // Visible top-level windows, top of the z-order first.
    virtual void Restack(const std::vector<HWND>& top_to_bottom) = 0;
    // The window went to the bottom (HWND_BOTTOM): below the other programs'
    // windows too, where the display has any.
    virtual void Lower(HWND hwnd) { (void)hwnd; }
    // The program asks for the window to be active (SetForegroundWindow).
    virtual void Activate(HWND hwnd) { (void)hwnd; }
    // Shows `area` (window coordinates) of the window's surface.
    virtual void Present(HWND hwnd, const std::shared_ptr<Bitmap>& surface, const RECT& area) = 0;
    // Whether window opacity has a visible effect (a compositor runs).
    virtual bool OpacitySupported() = 0;
    virtual bool ScrollLock() = 0;
    virtual bool SetScrollLock(bool on) = 0;
    // Waits until everything sent to the display has been handled.
    virtual void Flush() {}
    // Where the pointer is on the screen when the display can tell, also
    // while it is over no window of the program; false otherwise.
    virtual bool PointerPosition(POINT* screen) {
        (void)screen;
        return false;
    }
    // While a window of the program holds the mouse capture, the display
    // sends the pointer's events outside the program's windows to `top` (its
    // top-level window); null ends that.
    virtual void GrabPointer(HWND top) { (void)top; }
    // What the screen shows now (the primary monitor), or null.
    virtual std::shared_ptr<Bitmap> CaptureScreen() = 0;
    // The character the digit key `vk` types with or without Shift on the
    // display's keyboard layout; 0 when the backend has no layout (the US
    // layout then applies).
    virtual char16_t DigitKeyCharacter(int vk, bool shift) {
        (void)vk;
        (void)shift;
        return 0;
    }
    // Stops event handling and closes the display connection (before the
    // display goes away); later calls do nothing visible.
    virtual void Shutdown() {}
};

Backend& CurrentBackend();
// "headless" or "x11".
std::string BackendName();
void ShutdownBackend();

}  // namespace plat::ui
