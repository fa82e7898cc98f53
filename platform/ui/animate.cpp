// The animation control: opens an AVI clip from a resource library
// (ACM_OPENW with the clip's id; the module is wParam, or the control's own
// instance when that is null), plays frames from-to with a repeat count on a
// timer of the clip's frame duration (ACM_PLAY; -1 repeats forever, -1 as
// the last frame means the clip's end), stops (ACM_STOP), shows a single
// frame (ACM_PLAY with from == to) and closes (ACM_OPENW with no name).
// Starting and stopping are reported to the parent as ACN_START / ACN_STOP.
#include <algorithm>

#include "resource/module.h"
#include "ui/avi_clip.h"
#include "ui/control_procs.h"
#include "ui/control_state.h"
#include "ui/device_context.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/message_queue.h"
#include "ui/paint.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace plat::ui {
namespace {

constexpr UINT_PTR kFrameTimer = 1;

struct AnimateState {
    std::optional<AviClip> clip;
    std::vector<HBITMAP> frames;
    int current = 0;
    int from = 0;
    int to = 0;
    int repeats = 0;  // remaining passes after this one; -1 forever
    bool playing = false;
};

ControlStates<AnimateState>& Animations() {
    static ControlStates<AnimateState> states;
    return states;
}

void Stop(HWND hwnd, AnimateState& s) {
    if (!s.playing) return;
    s.playing = false;
    KillTimer(hwnd, kFrameTimer);
    NotifyParentCommand(hwnd, ACN_STOP);
}

void Close(HWND hwnd, AnimateState& s) {
    Stop(hwnd, s);
    for (HBITMAP frame : s.frames) DeleteObject(frame);
    s.frames.clear();
    s.clip.reset();
    s.current = 0;
    InvalidateRect(hwnd, nullptr, TRUE);
}

BOOL Open(HWND hwnd, AnimateState& s, HINSTANCE instance, LPCWSTR name) {
    Close(hwnd, s);
    if (!name) return TRUE;
    if (!instance) instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
    std::optional<std::span<const std::uint8_t>> data;
    if (IS_INTRESOURCE(name))
        data = resource::FindResourceData(instance, RT_AVI, UINT(reinterpret_cast<std::uintptr_t>(name)));
    if (data) s.clip = ParseAviClip(*data);
    if (!s.clip) return FALSE;
    for (const auto& frame : s.clip->frames) s.frames.push_back(static_cast<HBITMAP>(RegisterObject(frame)));
    if (GetWindowLongW(hwnd, GWL_STYLE) & ACS_AUTOPLAY) {
        s.from = 0;
        s.to = int(s.frames.size()) - 1;
        s.repeats = -1;
        s.playing = true;
        SetTimer(hwnd, kFrameTimer, s.clip->frameMs, nullptr);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
}

BOOL Play(HWND hwnd, AnimateState& s, int repeat, int from, int to) {
    if (!s.clip) return FALSE;
    const int last = int(s.frames.size()) - 1;
    if (to < 0 || to > last) to = last;
    if (from < 0 || from > to) return FALSE;
    Stop(hwnd, s);
    s.current = from;
    InvalidateRect(hwnd, nullptr, TRUE);
    if (from == to || repeat == 0) return TRUE;  // shows one frame
    s.from = from;
    s.to = to;
    s.repeats = repeat < 0 ? -1 : repeat - 1;
    s.playing = true;
    SetTimer(hwnd, kFrameTimer, s.clip->frameMs, nullptr);
    NotifyParentCommand(hwnd, ACN_START);
    return TRUE;
}

void NextFrame(HWND hwnd, AnimateState& s) {
    if (!s.playing) return;
    if (s.current < s.to) {
        ++s.current;
    } else if (s.repeats != 0) {
        if (s.repeats > 0) --s.repeats;
        s.current = s.from;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    if (s.current == s.to && s.repeats == 0) Stop(hwnd, s);
}

void Paint(HWND hwnd, const AnimateState& s) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    const bool transparent = GetWindowLongW(hwnd, GWL_STYLE) & ACS_TRANSPARENT;
    if (!transparent) FillRect(hdc, &rc, ControlBackground(hwnd, hdc));
    if (s.clip && s.current < int(s.frames.size())) {
        const auto& frame = s.clip->frames[std::size_t(s.current)];
        int x = 0, y = 0;
        if (GetWindowLongW(hwnd, GWL_STYLE) & ACS_CENTER) {
            x = (rc.right - frame->Width()) / 2;
            y = (rc.bottom - frame->Height()) / 2;
        }
        HDC mem = CreateCompatibleDC(hdc);
        HGDIOBJ old = SelectObject(mem, s.frames[std::size_t(s.current)]);
        BitBlt(hdc, x, y, frame->Width(), frame->Height(), mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
    }
    EndPaint(hwnd, &ps);
}

}  // namespace

LRESULT AnimateProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCDESTROY) {
        if (auto s = Animations().Find(hwnd)) Close(hwnd, *s);
        Animations().Drop(hwnd);
        return DefWindowProcW(hwnd, message, wp, lp);
    }
    auto s = Animations().Of(hwnd);
    switch (message) {
        case ACM_OPENW: return Open(hwnd, *s, reinterpret_cast<HINSTANCE>(wp), reinterpret_cast<LPCWSTR>(lp));
        case ACM_PLAY: return Play(hwnd, *s, int(wp), SHORT(LOWORD(DWORD(lp))), SHORT(HIWORD(DWORD(lp))));
        case ACM_STOP: Stop(hwnd, *s); return TRUE;
        case ACM_ISPLAYING: return s->playing;
        case WM_TIMER:
            if (wp == kFrameTimer) NextFrame(hwnd, *s);
            return 0;
        case WM_PAINT: Paint(hwnd, *s); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_NCHITTEST: return HTTRANSPARENT;
    }
    return DefWindowProcW(hwnd, message, wp, lp);
}

}  // namespace plat::ui
