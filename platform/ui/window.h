// Windows: classes with a window procedure, the window tree (top-level and
// child windows in z-order), styles, text, per-window data and subclassing.
//
// Lock order: WindowsMutex() -> a thread queue's lock -> a bitmap's lock.
// No window procedure, backend call or cross-thread wait runs with
// WindowsMutex() held.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/bitmap.h"
#include "ui/region.h"
#include "ui/ui_constants.h"

namespace plat::ui {

// A registered class: the caller's record, with its name kept here.
struct WindowClass {
    std::u16string name;
    ATOM atom = 0;
    WNDCLASSEXW info;  // lpszClassName points at `name`
};

class Window final : public UiObject {
public:
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::u16string text;
    RECT rect;        // parent's client coordinates; screen for top-level windows
    RECT normalRect;  // screen rectangle to restore to from minimised or maximised
    HWND parent = nullptr;  // child windows
    HWND owner = nullptr;   // owned top-level windows
    std::vector<HWND> children;  // top of the z-order first
    DWORD thread = 0;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    std::vector<std::uint8_t> extra;
    std::optional<Region> shape;  // window coordinates
    Region update;                // client coordinates
    bool erasePending = false;
    BYTE alpha = 255;
    COLORREF colorKey = 0;
    DWORD layeredFlags = 0;
    std::shared_ptr<Bitmap> surface;  // top-level windows
    bool popup = false;               // shown without the window manager
    bool destroying = false;
    HICON iconBig = nullptr;
    HICON iconSmall = nullptr;

    bool IsChild() const { return (style & WS_CHILD) != 0; }
    bool Visible() const { return (style & WS_VISIBLE) != 0; }
};

std::recursive_mutex& WindowsMutex();
// Null (and ERROR_INVALID_WINDOW_HANDLE) for a handle that is not a window.
std::shared_ptr<Window> GetWindowObject(HWND hwnd);
// Top-level windows, top of the z-order first (under WindowsMutex).
std::vector<HWND>& TopLevelWindows();
// Every window of the process (under WindowsMutex).
std::vector<std::shared_ptr<Window>> AllWindows();

// Under WindowsMutex:
HWND TopLevelOf(HWND hwnd);
// Screen position of the window's client origin.
POINT ScreenOrigin(const Window& w);
// Position of the window's client origin in its top-level window's surface.
POINT SurfaceOrigin(const Window& w);
// Whether the window and all its ancestors are visible.
bool IsShown(const Window& w);
// What of the window can be seen, in surface coordinates of its top-level
// window: its rectangle cut by its shape and by every ancestor's client area
// and shape, less its visible children when `clip_children`.
Region VisibleRegion(const Window& w, bool clip_children);
// The state the backend shows for a top-level window.
NativeWindowState NativeState(const Window& w);

// Backend notification for a top-level window, made outside the lock.
void NotifyBackend(HWND hwnd, unsigned change_bits);
void NotifyRestack();

}  // namespace plat::ui

ATOM RegisterClassExW(const WNDCLASSEXW* wc);
BOOL UnregisterClassW(LPCWSTR name, HINSTANCE instance);
BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR name, WNDCLASSEXW* wc);

HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu_or_id, HINSTANCE instance, LPVOID param);
// Only the window's own thread may destroy it (ERROR_ACCESS_DENIED).
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
HWND GetParent(HWND hwnd);
HWND GetWindow(HWND hwnd, UINT relation);
HWND GetAncestor(HWND hwnd, UINT flags);
BOOL IsChild(HWND parent, HWND hwnd);
HWND GetDesktopWindow();
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND hwnd);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* process_id);

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
LONG GetWindowLongW(HWND hwnd, int index);
LONG SetWindowLongW(HWND hwnd, int index, LONG value);

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int capacity);
int GetWindowTextLengthW(HWND hwnd);
int GetClassNameW(HWND hwnd, LPWSTR buffer, int capacity);

BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);

constexpr UINT GA_PARENT = 1;
constexpr UINT GA_ROOT = 2;
constexpr UINT GA_ROOTOWNER = 3;
