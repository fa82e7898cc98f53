// The X11 backend's event thread: input becomes window-system input,
// exposures are repainted from the retained surfaces, and topmost windows
// are raised again when another client covers them and no window manager
// keeps them above. Events of the notification area go to the tray, and its
// mouse events to the icons' owners.
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <vector>

#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/window_pos.h"
#include "ui/x11/x11_backend_impl.h"

namespace plat::ui {
namespace {

struct KeyMap {
    KeySym sym;
    int vk;
};

constexpr KeyMap kKeys[] = {
    {XK_Escape, VK_ESCAPE},   {XK_Return, VK_RETURN},   {XK_KP_Enter, VK_RETURN}, {XK_Tab, VK_TAB},
    {XK_BackSpace, VK_BACK},  {XK_space, VK_SPACE},     {XK_Left, VK_LEFT},       {XK_Right, VK_RIGHT},
    {XK_Up, VK_UP},           {XK_Down, VK_DOWN},       {XK_Home, VK_HOME},       {XK_End, VK_END},
    {XK_Prior, VK_PRIOR},     {XK_Next, VK_NEXT},       {XK_Insert, VK_INSERT},   {XK_Delete, VK_DELETE},
    {XK_Shift_L, VK_SHIFT},   {XK_Shift_R, VK_SHIFT},   {XK_Control_L, VK_CONTROL}, {XK_Control_R, VK_CONTROL},
    {XK_Alt_L, VK_MENU},      {XK_Alt_R, VK_MENU},      {XK_Menu, VK_APPS},       {XK_Scroll_Lock, VK_SCROLL},
    {XK_Caps_Lock, VK_CAPITAL}, {XK_Num_Lock, VK_NUMLOCK}, {XK_Pause, VK_PAUSE},
};

int VirtualKey(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z) return int('A' + (sym - XK_a));
    if (sym >= XK_A && sym <= XK_Z) return int('A' + (sym - XK_A));
    if (sym >= XK_0 && sym <= XK_9) return int('0' + (sym - XK_0));
    if (sym >= XK_F1 && sym <= XK_F12) return VK_F1 + int(sym - XK_F1);
    for (const KeyMap& k : kKeys)
        if (k.sym == sym) return k.vk;
    return 0;
}

// The character of a keysym (Latin-1 and other Unicode keysyms); 0 for none.
char16_t KeysymCharacter(KeySym sym) {
    if ((sym >= 0x20 && sym <= 0x7E) || (sym >= 0xA0 && sym <= 0xFF)) return char16_t(sym);
    const KeySym unicode = 0x01000000;
    if (sym > unicode + 0x9F && sym <= unicode + 0xFFFF) return char16_t(sym - unicode);
    return 0;
}

// The character a key without a virtual key types with the modifiers held.
char16_t TypedCharacter(XKeyEvent& key) {
    KeySym sym = 0;
    char latin1[8];
    XLookupString(&key, latin1, sizeof latin1, &sym, nullptr);
    return KeysymCharacter(sym);
}

// Input taken from the X queue, handed on once the display lock is free.
struct Input {
    enum class Kind { Move, Left, Button, Wheel, Key, Char, Close, Moved } kind;
    HWND hwnd = nullptr;
    POINT pt;
    MouseButton button = MouseButton::Left;
    bool down = false;
    int value = 0;
};

Input MakeInput(Input::Kind kind, HWND hwnd, POINT pt = {}, MouseButton button = MouseButton::Left, bool down = false,
                int value = 0) {
    Input in{kind, nullptr, {}, MouseButton::Left, false, 0};
    in.hwnd = hwnd;
    in.pt = pt;
    in.button = button;
    in.down = down;
    in.value = value;
    return in;
}

void Deliver(const Input& in) {
    switch (in.kind) {
        case Input::Kind::Move: InjectMouseMove(in.pt); break;
        case Input::Kind::Left: InjectPointerLeft(in.pt); break;
        case Input::Kind::Button:
            InjectMouseMove(in.pt);
            InjectMouseButton(in.button, in.down);
            break;
        case Input::Kind::Wheel:
            InjectMouseMove(in.pt);
            InjectMouseWheel(in.value);
            break;
        case Input::Kind::Key: InjectKey(in.value, in.down); break;
        case Input::Kind::Char: InjectChar(char16_t(in.value)); break;
        case Input::Kind::Close: PostMessageW(in.hwnd, WM_CLOSE, 0, 0); break;
        case Input::Kind::Moved:
            SetWindowPos(in.hwnd, nullptr, in.pt.x, in.pt.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            break;
    }
}

}  // namespace

// The digit keys carry their virtual key, so the character they type with
// Shift comes from the layout here, as TranslateMessage asks for it.
char16_t X11Backend::DigitKeyCharacter(int vk, bool shift) {
    Locked lock(*this);
    if (m_closed || vk < '0' || vk > '9') return 0;
    const KeyCode code = XKeysymToKeycode(m_display, XK_0 + KeySym(vk - '0'));
    return code ? KeysymCharacter(XkbKeycodeToKeysym(m_display, code, 0, shift ? 1 : 0)) : 0;
}

void X11Backend::EventLoop() {
    const int fd = ConnectionNumber(m_display);
    while (!m_stop.load() && !m_lost.load()) {
        HandleEvents();
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        poll(fds, 2, -1);
        char drain[64];
        while (read(m_wake[0], drain, sizeof drain) > 0) {
        }
    }
}

void X11Backend::HandleEvents() {
    std::vector<Input> inputs;
    std::vector<TrayMouse> tray;
    bool tray_started = false, tray_stopped = false;
    {
        std::lock_guard lock(m_x);
        if (m_closed) return;
        const bool had_tray = m_tray->Available();
        // Everything Xlib holds, including what other threads' calls read.
        while (XPending(m_display)) {
            XEvent ev;
            XNextEvent(m_display, &ev);
            if (m_tray->Handle(ev, tray)) continue;
            auto it = m_byXid.find(ev.xany.window);
            const HWND hwnd = it == m_byXid.end() ? nullptr : it->second;
            if (!hwnd) continue;
            Native& n = m_windows[hwnd];
            if (ev.type == m_shmCompletion) {
                n.shmBusy = false;
                continue;
            }
            switch (ev.type) {
                case Expose: {
                    const RECT area{ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width, ev.xexpose.y + ev.xexpose.height};
                    if (n.state.surface) {
                        std::lock_guard pixels(n.state.surface->Mutex());
                        PutImage(n, *n.state.surface, area);
                    }
                    break;
                }
                case MotionNotify:
                    // Only the latest position matters.
                    if (!inputs.empty() && inputs.back().kind == Input::Kind::Move) inputs.pop_back();
                    inputs.push_back(MakeInput(Input::Kind::Move, hwnd, POINT{ev.xmotion.x_root, ev.xmotion.y_root}));
                    break;
                case EnterNotify:
                case LeaveNotify: {
                    // A pointer entering is a move; one leaving has left the
                    // program, until it enters one of its other windows.
                    // Crossings made by grabs and into a window's parts are
                    // no news.
                    const XCrossingEvent& c = ev.xcrossing;
                    if (c.detail == NotifyInferior || c.mode != NotifyNormal) break;
                    const POINT pt{c.x_root, c.y_root};
                    inputs.push_back(MakeInput(ev.type == LeaveNotify ? Input::Kind::Left : Input::Kind::Move, hwnd, pt));
                    break;
                }
                case ButtonPress:
                case ButtonRelease: {
                    const POINT pt{ev.xbutton.x_root, ev.xbutton.y_root};
                    const unsigned b = ev.xbutton.button;
                    if (b == Button4 || b == Button5) {
                        if (ev.type == ButtonPress)
                            inputs.push_back(MakeInput(Input::Kind::Wheel, hwnd, pt, MouseButton::Left, false, b == Button4 ? WHEEL_DELTA : -WHEEL_DELTA));
                        break;
                    }
                    const MouseButton button = b == Button1 ? MouseButton::Left : b == Button3 ? MouseButton::Right : MouseButton::Middle;
                    inputs.push_back(MakeInput(Input::Kind::Button, hwnd, pt, button, ev.type == ButtonPress));
                    break;
                }
                case KeyPress:
                case KeyRelease: {
                    const int vk = VirtualKey(XkbKeycodeToKeysym(m_display, KeyCode(ev.xkey.keycode), 0, 0));
                    if (vk) inputs.push_back(MakeInput(Input::Kind::Key, hwnd, {}, MouseButton::Left, ev.type == KeyPress, vk));
                    else if (const char16_t c = ev.type == KeyPress ? TypedCharacter(ev.xkey) : 0)
                        inputs.push_back(MakeInput(Input::Kind::Char, hwnd, {}, MouseButton::Left, true, c));
                    break;
                }
                case ClientMessage:
                    if (Atom(ev.xclient.data.l[0]) == A("WM_DELETE_WINDOW")) inputs.push_back(MakeInput(Input::Kind::Close, hwnd));
                    break;
                case ConfigureNotify:
                    // A window manager reports moves it made in root coordinates.
                    if (ev.xconfigure.send_event &&
                        (ev.xconfigure.x != n.state.rect.left || ev.xconfigure.y != n.state.rect.top))
                        inputs.push_back(MakeInput(Input::Kind::Moved, hwnd, POINT{ev.xconfigure.x, ev.xconfigure.y}));
                    break;
                case VisibilityNotify:
                    if (ev.xvisibility.state != VisibilityUnobscured && n.state.topmost) RestackLocked();
                    break;
                default: break;
            }
        }
        XFlush(m_display);
        tray_started = !had_tray && m_tray->Available();
        tray_stopped = had_tray && !m_tray->Available();
    }
    for (const Input& in : inputs) Deliver(in);
    for (const TrayMouse& m : tray) {
        NotePointer(m.pt);  // the callback message carries where the icon was clicked
        TrayIconEvent(m.owner, m.id, m.message);
    }
    if (tray_started) NotifyTrayStarted();
    if (tray_stopped) NotifyTrayStopped();
}

}  // namespace plat::ui
