// The tooltip control: tools are rectangles of windows, identified by
// (window, id), each with a text. The owner relays its mouse messages
// (TTM_RELAYEVENT); when the pointer rests over a tool for the initial delay
// (500 ms) the tip appears below and right of the pointer, and it goes away
// when the pointer leaves the tool (or the window: WM_MOUSELEAVE), a button
// is pressed, the auto-pop delay (5 s) passes or the control is deactivated. Moving onto another tool while
// a tip shows switches the tip at once. The tip window is the control itself,
// a top-level popup. A tool added with TTF_SUBCLASS needs no relaying: the
// control subclasses the tool's window and relays its mouse messages itself.
#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/text.h"
#include "ui/control_procs.h"
#include "ui/control_state.h"
#include "ui/device_context.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/paint.h"
#include "ui/rect.h"
#include "ui/text.h"
#include "ui/tip_image.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace plat::ui {
namespace {

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kPopTimer = 2;

struct Tool {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    HWND window = nullptr;  // whose mouse messages it covers: the id's window with TTF_IDISHWND
    RECT rect{};
    std::u16string text;
};

struct TooltipState {
    std::vector<Tool> tools;
    bool active = true;
    UINT initialMs = 500;
    UINT autopopMs = 5000;
    int hover = -1;  // tool under the pointer
    POINT pointer{};
    bool shown = false;
};

ControlStates<TooltipState>& Tooltips() {
    static ControlStates<TooltipState> states;
    return states;
}

int FindTool(const TooltipState& s, HWND hwnd, UINT_PTR id) {
    for (std::size_t i = 0; i < s.tools.size(); ++i)
        if (s.tools[i].hwnd == hwnd && s.tools[i].id == id) return int(i);
    return -1;
}

int ToolAt(const TooltipState& s, HWND hwnd, POINT client) {
    for (std::size_t i = 0; i < s.tools.size(); ++i)
        if (s.tools[i].window == hwnd && PtInRect(&s.tools[i].rect, client)) return int(i);
    return -1;
}

void Hide(HWND tip, TooltipState& s) {
    KillTimer(tip, kShowTimer);
    KillTimer(tip, kPopTimer);
    if (s.shown) ShowWindow(tip, SW_HIDE);
    s.shown = false;
}

void Show(HWND tip, TooltipState& s) {
    KillTimer(tip, kShowTimer);
    if (s.hover < 0 || !s.active) return;
    const Tool& tool = s.tools[std::size_t(s.hover)];
    SetWindowTextW(tip, tool.text.c_str());
    SIZE size{};
    MeasureWith(tip, nullptr, [&](HDC hdc) { size = TipSize(hdc, tool.text); });
    SetWindowPos(tip, HWND_TOPMOST, s.pointer.x + 2, s.pointer.y + 20, size.cx, size.cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(tip, nullptr, TRUE);
    s.shown = true;
    SetTimer(tip, kPopTimer, s.autopopMs, nullptr);
}

void Relay(HWND tip, TooltipState& s, const MSG& msg) {
    if (!s.active) return;
    if (msg.message != WM_MOUSEMOVE) {
        if ((msg.message >= WM_LBUTTONDOWN && msg.message <= WM_MBUTTONDBLCLK) || msg.message == WM_MOUSELEAVE) {
            Hide(tip, s);
            s.hover = -1;
        }
        return;
    }
    const POINT client{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
    s.pointer = client;
    ClientToScreen(msg.hwnd, &s.pointer);
    const int tool = ToolAt(s, msg.hwnd, client);
    if (tool == s.hover) return;
    s.hover = tool;
    if (tool < 0) {
        Hide(tip, s);
    } else if (s.shown) {
        Show(tip, s);
    } else {
        SetTimer(tip, kShowTimer, s.initialMs, nullptr);
    }
}

// The windows whose mouse messages tooltips relay themselves (TTF_SUBCLASS):
// the procedure they had and the tooltips listening. Guarded by its mutex,
// which is never held while a message is sent.
struct Subclassed {
    WNDPROC previous = nullptr;
    std::vector<HWND> tips;
};

std::mutex& SubclassMutex() {
    static std::mutex m;
    return m;
}

std::map<HWND, Subclassed>& SubclassedWindows() {
    static std::map<HWND, Subclassed> windows;
    return windows;
}

bool IsRelayed(UINT message) {
    return message == WM_MOUSEMOVE || message == WM_MOUSELEAVE ||
           (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK);
}

LRESULT RelayingProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    Subclassed entry;
    {
        std::lock_guard lock(SubclassMutex());
        auto it = SubclassedWindows().find(hwnd);
        if (it == SubclassedWindows().end()) return DefWindowProcW(hwnd, message, wp, lp);
        entry = it->second;
        if (message == WM_NCDESTROY) SubclassedWindows().erase(it);
    }
    if (IsRelayed(message)) {
        if (message == WM_MOUSEMOVE) {
            // So the tip goes when the pointer leaves the window.
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, 0};
            TrackMouseEvent(&track);
        }
        const DWORD pos = GetMessagePos();
        const MSG msg{hwnd, message, wp, lp, DWORD(GetMessageTime()), POINT{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)}};
        for (HWND tip : entry.tips) SendMessageW(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    }
    return CallWindowProcW(entry.previous, hwnd, message, wp, lp);
}

void RelayFrom(HWND tip, HWND tool_window) {
    if (!IsWindow(tool_window)) return;
    std::lock_guard lock(SubclassMutex());
    auto [it, added] = SubclassedWindows().try_emplace(tool_window);
    if (added) {
        it->second.previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(tool_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RelayingProc)));
    }
    if (std::find(it->second.tips.begin(), it->second.tips.end(), tip) == it->second.tips.end())
        it->second.tips.push_back(tip);
}

void StopRelaying(HWND tip) {
    std::lock_guard lock(SubclassMutex());
    for (auto& [window, entry] : SubclassedWindows()) std::erase(entry.tips, tip);
}

void AddTool(HWND tip, TooltipState& s, const TTTOOLINFOW& info) {
    const HWND window = info.uFlags & TTF_IDISHWND ? reinterpret_cast<HWND>(info.uId) : info.hwnd;
    Tool tool{info.hwnd, info.uId, window, info.rect, info.lpszText ? std::u16string(info.lpszText) : std::u16string()};
    if (info.uFlags & TTF_IDISHWND) GetClientRect(window, &tool.rect);
    if (info.uFlags & TTF_SUBCLASS) RelayFrom(tip, window);
    const int existing = FindTool(s, info.hwnd, info.uId);
    if (existing >= 0) s.tools[std::size_t(existing)] = std::move(tool);
    else s.tools.push_back(std::move(tool));
}

void DeleteTool(HWND tip, TooltipState& s, const TTTOOLINFOW& info) {
    const int index = FindTool(s, info.hwnd, info.uId);
    if (index < 0) return;
    if (s.hover == index) {
        Hide(tip, s);
        s.hover = -1;
    } else if (s.hover > index) {
        --s.hover;
    }
    s.tools.erase(s.tools.begin() + index);
}

void Paint(HWND tip) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(tip, &ps);
    RECT rc;
    GetClientRect(tip, &rc);
    WCHAR text[512];
    GetWindowTextW(tip, text, 512);
    DrawTip(hdc, rc, text);
    EndPaint(tip, &ps);
}

}  // namespace

LRESULT TooltipProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCDESTROY) {
        StopRelaying(hwnd);
        Tooltips().Drop(hwnd);
        return DefWindowProcW(hwnd, message, wp, lp);
    }
    auto s = Tooltips().Of(hwnd);
    const auto* info = reinterpret_cast<const TTTOOLINFOW*>(lp);
    switch (message) {
        case TTM_ADDTOOLW: AddTool(hwnd, *s, *info); return TRUE;
        case TTM_DELTOOLW: DeleteTool(hwnd, *s, *info); return 0;
        case TTM_NEWTOOLRECTW:
            if (int i = FindTool(*s, info->hwnd, info->uId); i >= 0) s->tools[std::size_t(i)].rect = info->rect;
            return 0;
        case TTM_UPDATETIPTEXTW:
            if (int i = FindTool(*s, info->hwnd, info->uId); i >= 0) {
                s->tools[std::size_t(i)].text = info->lpszText ? info->lpszText : u"";
                if (s->shown && s->hover == i) Show(hwnd, *s);
            }
            return 0;
        case TTM_GETTEXTW:
            if (int i = FindTool(*s, info->hwnd, info->uId); i >= 0 && info->lpszText) {
                const auto& text = s->tools[std::size_t(i)].text;
                std::copy(text.begin(), text.end(), info->lpszText);
                info->lpszText[text.size()] = 0;
            }
            return 0;
        case TTM_GETTOOLCOUNT: return LRESULT(s->tools.size());
        case TTM_ACTIVATE:
            s->active = wp != 0;
            if (!s->active) {
                Hide(hwnd, *s);
                s->hover = -1;
            }
            return 0;
        case TTM_SETDELAYTIME:
            if (wp == TTDT_INITIAL) s->initialMs = UINT(LOWORD(DWORD(lp)));
            if (wp == TTDT_AUTOPOP) s->autopopMs = UINT(LOWORD(DWORD(lp)));
            return 0;
        case TTM_RELAYEVENT: Relay(hwnd, *s, *reinterpret_cast<const MSG*>(lp)); return 0;
        case WM_TIMER:
            if (wp == kShowTimer) Show(hwnd, *s);
            if (wp == kPopTimer) Hide(hwnd, *s);
            return 0;
        case WM_PAINT: Paint(hwnd); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_NCHITTEST: return HTTRANSPARENT;
    }
    return DefWindowProcW(hwnd, message, wp, lp);
}

}  // namespace plat::ui
