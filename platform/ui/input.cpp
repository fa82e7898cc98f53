#include "ui/input.h"

#include <utility>
#include <array>
#include <atomic>
#include <cstdlib>

#include "base/clock.h"
#include "base/thread.h"
#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/backend.h"
#include "ui/message_queue.h"
#include "ui/monitor.h"
#include "ui/window_internal.h"
#include "ui/window_pos.h"

namespace plat::ui {
namespace {

// Activation on a click runs on the window's thread when this posted
// message is retrieved; it never reaches a window procedure.
constexpr UINT kActivateOnClick = 0x03F0;

struct Drag {
    HWND hwnd = nullptr;
    POINT startCursor;
    POINT startPos;
};

struct LastClick {
    HWND hwnd = nullptr;
    UINT down = 0;
    std::uint64_t tick = 0;
    POINT pt;
};

struct InputState {
    std::mutex mutex;
    POINT cursor;
    HWND capture = nullptr;
    HWND leaveTracked = nullptr;  // asked for WM_MOUSELEAVE (TrackMouseEvent)
    HWND focus = nullptr;
    HWND active = nullptr;
    Drag drag;
    LastClick lastClick;
    std::array<bool, 256> down{};
    std::array<bool, 256> toggled{};
};

InputState& State() {
    static InputState* s = new InputState;
    return *s;
}

// Bumped by ResetInput, so every thread's own key state starts over too.
std::atomic<std::uint64_t> g_resets{0};

struct ThreadKeys {
    bool active = false;  // the thread has a message queue
    std::uint64_t resets = 0;
    std::array<bool, 256> down{};
    std::array<bool, 256> toggled{};
};
thread_local ThreadKeys t_keys;

// This thread's key state, when it keeps one; cleared after a reset.
ThreadKeys* CurrentThreadKeys() {
    if (!t_keys.active) return nullptr;
    if (t_keys.resets != g_resets.load()) {
        t_keys.down.fill(false);
        t_keys.toggled.fill(false);
        t_keys.resets = g_resets.load();
    }
    return &t_keys;
}

bool IsMouseButton(int vk) { return vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON; }

WPARAM KeyFlags() {
    InputState& s = State();
    WPARAM f = 0;
    if (s.down[VK_LBUTTON]) f |= MK_LBUTTON;
    if (s.down[VK_RBUTTON]) f |= MK_RBUTTON;
    if (s.down[VK_MBUTTON]) f |= MK_MBUTTON;
    if (s.down[VK_SHIFT]) f |= MK_SHIFT;
    if (s.down[VK_CONTROL]) f |= MK_CONTROL;
    return f;
}

DWORD ThreadOf(HWND hwnd) {
    std::lock_guard lock(WindowsMutex());
    auto w = Lookup<Window>(hwnd);
    return w ? w->thread : 0;
}

void Post(HWND hwnd, UINT message, WPARAM wp, LPARAM lp, POINT screen) {
    const DWORD thread = ThreadOf(hwnd);
    if (thread) (void)PostToThread(thread, MSG{hwnd, message, wp, lp, DWORD(GetTickCount()), screen});
}

// The window that receives the mouse at `pt`: the capture, else the window
// under the point.
HWND MouseTarget(POINT pt) {
    HWND capture;
    {
        std::lock_guard lock(State().mutex);
        capture = State().capture;
    }
    return capture ? capture : WindowFromPoint(pt);
}

// WM_MOUSELEAVE for the tracked window once the pointer is over another
// window (`under`), or over none of the program's.
void NoteWindowUnderPointer(HWND under) {
    HWND left = nullptr;
    {
        std::lock_guard lock(State().mutex);
        HWND& tracked = State().leaveTracked;
        if (tracked && tracked != under) left = std::exchange(tracked, nullptr);
    }
    if (left) Post(left, WM_MOUSELEAVE, 0, 0, MessagePoint());
}

void PostMouse(HWND target, UINT message, POINT screen) {
    POINT client = screen;
    ScreenToClient(target, &client);
    WPARAM flags;
    {
        std::lock_guard lock(State().mutex);
        flags = KeyFlags();
    }
    Post(target, message, flags, MAKELPARAM(client.x, client.y), screen);
}

bool WantsDoubleClicks(HWND hwnd) {
    std::lock_guard lock(WindowsMutex());
    auto w = Lookup<Window>(hwnd);
    return w && (w->cls->info.style & CS_DBLCLKS);
}

// WM_xBUTTONDOWN becomes WM_xBUTTONDBLCLK when the same button goes down
// again on the same window, soon and near enough.
UINT ClickMessage(HWND target, UINT down, POINT pt) {
    InputState& s = State();
    const std::uint64_t now = CurrentClock().TickMs();
    std::lock_guard lock(s.mutex);
    LastClick& last = s.lastClick;
    const bool isDouble = last.hwnd == target && last.down == down && now - last.tick <= GetDoubleClickTime() &&
                          std::abs(pt.x - last.pt.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                          std::abs(pt.y - last.pt.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    if (isDouble) {
        last = LastClick{};
        return down + 2;
    }
    last = LastClick{target, down, now, pt};
    return down;
}

struct ButtonInfo {
    int vk;
    UINT down;
};

ButtonInfo Info(MouseButton b) {
    switch (b) {
        case MouseButton::Left: return {VK_LBUTTON, WM_LBUTTONDOWN};
        case MouseButton::Right: return {VK_RBUTTON, WM_RBUTTONDOWN};
        default: return {VK_MBUTTON, WM_MBUTTONDOWN};
    }
}

void MoveDragged(const Drag& drag, POINT cursor) {
    SetWindowPos(drag.hwnd, nullptr, drag.startPos.x + cursor.x - drag.startCursor.x,
                 drag.startPos.y + cursor.y - drag.startCursor.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Mouse messages of a dragged window move it instead of reaching it.
bool HandleSystemMessage(const MSG& m) {
    if (m.message == kActivateOnClick) {
        ActivateWindow(m.hwnd, WA_CLICKACTIVE);
        return true;
    }
    Drag drag;
    {
        std::lock_guard lock(State().mutex);
        drag = State().drag;
    }
    if (!drag.hwnd || m.hwnd != drag.hwnd) return false;
    if (m.message == WM_MOUSEMOVE) {
        MoveDragged(drag, m.pt);
        return true;
    }
    if (m.message == WM_LBUTTONUP) {
        MoveDragged(drag, m.pt);
        {
            std::lock_guard lock(State().mutex);
            State().drag = Drag{};
        }
        ReleaseCapture();
        SendMessageW(drag.hwnd, WM_EXITSIZEMOVE, 0, 0);
        return true;
    }
    return false;
}

const bool g_hookInstalled = [] {
    SetSystemMessageHook(&HandleSystemMessage);
    return true;
}();

void ChangeFocus(HWND previous, HWND next) {
    if (previous == next) return;
    if (previous) SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(next), 0);
    if (next) SendMessageW(next, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
}

}  // namespace

void ActivateWindow(HWND hwnd, WORD how) {
    HWND previous;
    {
        std::lock_guard lock(State().mutex);
        previous = State().active;
        if (previous == hwnd) return;
        State().active = hwnd;
    }
    if (previous && IsWindow(previous))
        SendMessageW(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
    if (hwnd) SendMessageW(hwnd, WM_ACTIVATE, MAKEWPARAM(how, IsIconic(hwnd) ? 1 : 0), reinterpret_cast<LPARAM>(previous));
}

void ForgetWindowInput(HWND hwnd) {
    HWND lostCapture = nullptr, lostFocus = nullptr;
    {
        InputState& s = State();
        std::lock_guard lock(s.mutex);
        auto involves = [&](HWND h) { return h && (h == hwnd || IsChild(hwnd, h)); };
        if (involves(s.capture)) lostCapture = std::exchange(s.capture, nullptr);
        if (involves(s.leaveTracked)) s.leaveTracked = nullptr;
        if (involves(s.focus)) lostFocus = std::exchange(s.focus, nullptr);
        if (involves(s.active)) s.active = nullptr;
        if (involves(s.drag.hwnd)) s.drag = Drag{};
        if (involves(s.lastClick.hwnd)) s.lastClick = LastClick{};
    }
    if (lostCapture) {
        CurrentBackend().GrabPointer(nullptr);
        SendMessageW(lostCapture, WM_CAPTURECHANGED, 0, 0);
    }
    if (lostFocus) SendMessageW(lostFocus, WM_KILLFOCUS, 0, 0);
}

void InjectMouseMove(POINT screen) {
    {
        std::lock_guard lock(State().mutex);
        State().cursor = screen;
    }
    NoteWindowUnderPointer(WindowFromPoint(screen));
    if (HWND target = MouseTarget(screen)) PostMouse(target, WM_MOUSEMOVE, screen);
}

void InjectPointerLeft(POINT screen) {
    HWND capture;
    {
        std::lock_guard lock(State().mutex);
        State().cursor = screen;
        capture = State().capture;
    }
    NoteWindowUnderPointer(nullptr);
    if (capture) PostMouse(capture, WM_MOUSEMOVE, screen);
}

void NotePointer(POINT screen) {
    std::lock_guard lock(State().mutex);
    State().cursor = screen;
}

POINT MessagePoint() {
    std::lock_guard lock(State().mutex);
    return State().cursor;
}

void InjectMouseButton(MouseButton button, bool down) {
    const ButtonInfo info = Info(button);
    POINT pt;
    {
        std::lock_guard lock(State().mutex);
        State().down[info.vk] = down;
        pt = State().cursor;
    }
    HWND target = MouseTarget(pt);
    if (!target) return;
    UINT message = down ? info.down : info.down + 1;
    if (down) {
        HWND top = GetAncestor(target, GA_ROOT);
        if (top && top != GetActiveWindow() && !(GetWindowLongPtrW(top, GWL_EXSTYLE) & WS_EX_NOACTIVATE))
            Post(top, kActivateOnClick, 0, 0, pt);
        if (WantsDoubleClicks(target)) message = ClickMessage(target, info.down, pt);
    }
    PostMouse(target, message, pt);
}

void InjectMouseWheel(int delta) {
    POINT pt;
    HWND target;
    WPARAM flags;
    {
        std::lock_guard lock(State().mutex);
        pt = State().cursor;
        target = State().focus ? State().focus : State().active;
        flags = KeyFlags();
    }
    if (!target) target = WindowFromPoint(pt);
    if (target) Post(target, WM_MOUSEWHEEL, MAKEWPARAM(int(flags), delta), MAKELPARAM(pt.x, pt.y), pt);
}

void InjectKey(int vk, bool down) {
    vk &= 0xFF;
    bool wasDown;
    HWND target;
    POINT pt;
    bool alt;
    {
        InputState& s = State();
        std::lock_guard lock(s.mutex);
        wasDown = s.down[vk];
        s.down[vk] = down;
        if (down && !wasDown) s.toggled[vk] = !s.toggled[vk];
        target = s.focus ? s.focus : s.active;
        pt = s.cursor;
        alt = s.down[VK_MENU];
    }
    if (vk == VK_SCROLL && down && !wasDown) CurrentBackend().SetScrollLock(!CurrentBackend().ScrollLock());
    if (!target) return;
    const bool sys = alt || vk == VK_MENU || vk == VK_F10;
    const UINT message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    const LPARAM lp = LPARAM(1 | (wasDown ? (1u << 30) : 0) | (down ? 0 : (3u << 30)));
    Post(target, message, WPARAM(vk), lp, pt);
}

void InjectChar(char16_t c) {
    HWND target;
    POINT pt;
    {
        std::lock_guard lock(State().mutex);
        target = State().focus ? State().focus : State().active;
        pt = State().cursor;
    }
    if (target) Post(target, WM_CHAR, WPARAM(c), 1, pt);
}

void BeginWindowDrag(HWND hwnd) {
    HWND top = GetAncestor(hwnd, GA_ROOT);
    RECT rect;
    if (!top || !GetWindowRect(top, &rect)) return;
    {
        InputState& s = State();
        std::lock_guard lock(s.mutex);
        // A click released before its drag message arrived drags nothing.
        if (!s.down[VK_LBUTTON]) return;
        s.drag = Drag{top, s.cursor, POINT{rect.left, rect.top}};
    }
    SendMessageW(top, WM_ENTERSIZEMOVE, 0, 0);
    SetCapture(top);
}

bool IsDragging() {
    std::lock_guard lock(State().mutex);
    return State().drag.hwnd != nullptr;
}

void ResetInput() {
    InputState& s = State();
    std::lock_guard lock(s.mutex);
    s.cursor = POINT{};
    s.capture = s.focus = s.active = s.leaveTracked = nullptr;
    s.drag = Drag{};
    s.lastClick = LastClick{};
    s.down.fill(false);
    s.toggled.fill(false);
    ++g_resets;
}

void StartThreadKeyState() {
    if (t_keys.active) return;
    std::lock_guard lock(State().mutex);
    t_keys.down = State().down;
    t_keys.toggled = State().toggled;
    t_keys.resets = g_resets.load();
    t_keys.active = true;
}

void NoteRetrievedKey(const MSG& msg) {
    const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    if (!down && msg.message != WM_KEYUP && msg.message != WM_SYSKEYUP) return;
    ThreadKeys* keys = CurrentThreadKeys();
    if (!keys) return;
    const int vk = int(msg.wParam & 0xFF);
    const bool was_down = (msg.lParam & (LPARAM(1) << 30)) != 0;
    if (down && !was_down) keys->toggled[std::size_t(vk)] = !keys->toggled[std::size_t(vk)];
    keys->down[std::size_t(vk)] = down;
}

}  // namespace plat::ui

using namespace plat::ui;

BOOL GetCursorPos(POINT* point) {
    if (!point) return FALSE;
    // The display knows where the pointer went after it left our windows.
    if (CurrentBackend().PointerPosition(point)) return TRUE;
    std::lock_guard lock(State().mutex);
    *point = State().cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    InjectMouseMove(POINT{x, y});
    return TRUE;
}

HWND SetCapture(HWND hwnd) {
    if (hwnd && !IsWindow(hwnd)) return nullptr;
    HWND previous;
    {
        std::lock_guard lock(State().mutex);
        previous = State().capture;
        State().capture = hwnd;
    }
    // The display sends the pointer's moves and clicks outside the
    // program's windows to the capture as well.
    if (previous != hwnd) CurrentBackend().GrabPointer(hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr);
    if (previous && previous != hwnd) SendMessageW(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return previous;
}

BOOL ReleaseCapture() {
    HWND previous;
    {
        std::lock_guard lock(State().mutex);
        previous = std::exchange(State().capture, nullptr);
        // Losing the capture ends a drag.
        if (previous && previous == State().drag.hwnd) State().drag = Drag{};
    }
    if (previous) {
        CurrentBackend().GrabPointer(nullptr);
        SendMessageW(previous, WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
    if (!track || track->cbSize != sizeof(TRACKMOUSEEVENT) || (track->dwFlags & TME_HOVER)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (track->dwFlags & TME_QUERY) {
        std::lock_guard lock(State().mutex);
        const HWND tracked = State().leaveTracked;
        *track = TRACKMOUSEEVENT{sizeof(TRACKMOUSEEVENT), tracked ? TME_LEAVE : 0, tracked, 0};
        return TRUE;
    }
    if (!(track->dwFlags & TME_LEAVE)) return TRUE;
    if (!IsWindow(track->hwndTrack)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    POINT cursor;
    {
        std::lock_guard lock(State().mutex);
        HWND& tracked = State().leaveTracked;
        if (track->dwFlags & TME_CANCEL) {
            if (tracked == track->hwndTrack) tracked = nullptr;
            return TRUE;
        }
        tracked = track->hwndTrack;
        cursor = State().cursor;
    }
    // A pointer that is not over the window has left it already.
    NoteWindowUnderPointer(WindowFromPoint(cursor));
    return TRUE;
}

HWND GetCapture() {
    std::lock_guard lock(State().mutex);
    return State().capture;
}

HWND SetFocus(HWND hwnd) {
    if (hwnd && (!IsWindow(hwnd) || !IsWindowEnabled(hwnd))) return nullptr;
    if (hwnd) ActivateWindow(GetAncestor(hwnd, GA_ROOT), WA_ACTIVE);
    HWND previous;
    {
        std::lock_guard lock(State().mutex);
        previous = State().focus;
        State().focus = hwnd;
    }
    ChangeFocus(previous, hwnd);
    return previous;
}

HWND GetFocus() {
    std::lock_guard lock(State().mutex);
    return State().focus;
}

HWND SetActiveWindow(HWND hwnd) {
    HWND previous = GetActiveWindow();
    ActivateWindow(hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr, WA_ACTIVE);
    return previous;
}

HWND GetActiveWindow() {
    std::lock_guard lock(State().mutex);
    return State().active;
}

BOOL SetForegroundWindow(HWND hwnd) {
    if (!IsWindow(hwnd)) return FALSE;
    SetActiveWindow(hwnd);
    CurrentBackend().Activate(GetAncestor(hwnd, GA_ROOT));  // the display's focus follows
    return TRUE;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

SHORT GetKeyState(int vk) {
    vk &= 0xFF;
    if (vk == VK_SCROLL) {
        const bool light = CurrentBackend().ScrollLock();
        return SHORT((GetAsyncKeyState(vk) & 0x8000) | (light ? 1 : 0));
    }
    if (const ThreadKeys* keys = IsMouseButton(vk) ? nullptr : CurrentThreadKeys())
        return SHORT((keys->down[std::size_t(vk)] ? 0x8000 : 0) | (keys->toggled[std::size_t(vk)] ? 1 : 0));
    std::lock_guard lock(State().mutex);
    return SHORT((State().down[vk] ? 0x8000 : 0) | (State().toggled[vk] ? 1 : 0));
}

SHORT GetAsyncKeyState(int vk) {
    std::lock_guard lock(State().mutex);
    return State().down[vk & 0xFF] ? SHORT(0x8000) : 0;
}

void keybd_event(BYTE vk, BYTE, DWORD flags, ULONG_PTR) { InjectKey(vk, !(flags & KEYEVENTF_KEYUP)); }
