// The single-line edit control: the window text with a caret and a
// selection. Typed characters (WM_CHAR) replace the selection; Backspace and
// Delete remove it or one character; Left, Right, Home and End move the
// caret, and with Shift extend the selection. A click places the caret and a
// drag selects. The text scrolls sideways so the caret stays in view. Every
// change of the text, typed or set with WM_SETTEXT, is reported to the
// parent with EN_CHANGE. The caret is drawn (without blinking) while the
// control has the focus; the selection shows only then too.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ui/control_procs.h"
#include "ui/control_state.h"
#include "ui/device_context.h"
#include "ui/draw.h"
#include "ui/gdi_objects.h"
#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/paint.h"
#include "ui/text.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace plat::ui {
namespace {

constexpr int kMargin = 3;  // between the field's edge and the text

struct EditState {
    std::size_t caret = 0;
    std::size_t anchor = 0;  // the other end of the selection
    int scroll = 0;          // pixels of text hidden on the left
    bool dragging = false;
    HFONT font = nullptr;
};

ControlStates<EditState>& Edits() {
    static ControlStates<EditState> states;
    return states;
}

std::u16string TextOf(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::u16string text(std::size_t(length) + 1, u'\0');
    text.resize(std::size_t(GetWindowTextW(hwnd, text.data(), length + 1)));
    return text;
}

std::pair<std::size_t, std::size_t> Selection(const EditState& s) { return std::minmax(s.caret, s.anchor); }

// The x of every caret position (0 to size), in text coordinates.
std::vector<int> CaretOffsets(HWND hwnd, const EditState& s, const std::u16string& text) {
    std::vector<int> xs(text.size() + 1, 0);
    MeasureWith(hwnd, s.font, [&](HDC hdc) {
        for (std::size_t i = 1; i <= text.size(); ++i) {
            SIZE size{};
            GetTextExtentPoint32W(hdc, text.c_str(), int(i), &size);
            xs[i] = size.cx;
        }
    });
    return xs;
}

int VisibleWidth(HWND hwnd) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    return std::max(1, int(rc.right - rc.left) - 2 * kMargin);
}

// Scrolls just enough to show the caret, and no further than the text's end
// needs once the text has shrunk.
void ScrollToCaret(HWND hwnd, EditState& s, const std::vector<int>& xs) {
    const int visible = VisibleWidth(hwnd);
    const int x = xs[s.caret];
    if (x - s.scroll > visible - 1) s.scroll = x - visible + 1;
    if (x < s.scroll) s.scroll = x;
    s.scroll = std::clamp(s.scroll, 0, std::max(0, xs.back() - visible + 1));
}

void Refresh(HWND hwnd, EditState& s, const std::u16string& text) {
    s.caret = std::min(s.caret, text.size());
    s.anchor = std::min(s.anchor, text.size());
    ScrollToCaret(hwnd, s, CaretOffsets(hwnd, s, text));
    InvalidateRect(hwnd, nullptr, FALSE);
}

void MoveCaret(HWND hwnd, EditState& s, std::size_t to, bool extend) {
    s.caret = to;
    if (!extend) s.anchor = to;
    Refresh(hwnd, s, TextOf(hwnd));
}

bool ReadOnly(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY; }

void ReplaceSelection(HWND hwnd, EditState& s, std::u16string_view insert) {
    std::u16string text = TextOf(hwnd);
    const auto [from, to] = Selection(s);
    if (from == to && insert.empty()) return;
    text.replace(from, to - from, insert);
    DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    s.caret = s.anchor = from + insert.size();
    Refresh(hwnd, s, text);
    NotifyParentCommand(hwnd, EN_CHANGE);
}

// Deletes the selection, or the character before (-1) or after (+1) the caret.
void Erase(HWND hwnd, EditState& s, int direction) {
    if (ReadOnly(hwnd)) return;
    if (s.caret == s.anchor) {
        const std::size_t size = TextOf(hwnd).size();
        if (direction < 0 && s.caret > 0) s.anchor = s.caret - 1;
        if (direction > 0 && s.caret < size) s.anchor = s.caret + 1;
    }
    ReplaceSelection(hwnd, s, u"");
}

void Type(HWND hwnd, EditState& s, char16_t c) {
    if (c == u'\b') return Erase(hwnd, s, -1);
    if (c < 0x20 || c == 0x7F || ReadOnly(hwnd)) return;  // Enter, Esc, Tab and other controls
    ReplaceSelection(hwnd, s, std::u16string_view(&c, 1));
}

bool KeyDown(HWND hwnd, EditState& s, int vk) {
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const auto [from, to] = Selection(s);
    switch (vk) {
        case VK_LEFT:
            // Without Shift, Left first collapses a selection to its start.
            MoveCaret(hwnd, s, !shift && from != to ? from : s.caret - (s.caret > 0 ? 1 : 0), shift);
            return true;
        case VK_RIGHT:
            MoveCaret(hwnd, s, !shift && from != to ? to : s.caret + 1, shift);
            return true;
        case VK_HOME: MoveCaret(hwnd, s, 0, shift); return true;
        case VK_END: MoveCaret(hwnd, s, TextOf(hwnd).size(), shift); return true;
        case VK_DELETE: Erase(hwnd, s, +1); return true;
    }
    return false;
}

// The caret position nearest to client x.
std::size_t PositionAt(HWND hwnd, const EditState& s, int x) {
    const std::vector<int> xs = CaretOffsets(hwnd, s, TextOf(hwnd));
    const int target = x - kMargin + s.scroll;
    std::size_t best = 0;
    for (std::size_t i = 1; i < xs.size(); ++i)
        if (std::abs(xs[i] - target) < std::abs(xs[best] - target)) best = i;
    return best;
}

// EM_SETSEL: start -1 drops the selection, end -1 means the end of the text;
// the caret goes to end.
void SetSelection(HWND hwnd, EditState& s, long start, long end) {
    const long size = long(TextOf(hwnd).size());
    if (start < 0) {
        MoveCaret(hwnd, s, s.caret, false);
        return;
    }
    if (end < 0) end = size;
    s.anchor = std::size_t(std::min(start, size));
    MoveCaret(hwnd, s, std::size_t(std::min(end, size)), true);
}

LRESULT GetSelection(const EditState& s, WPARAM wp, LPARAM lp) {
    const auto [from, to] = Selection(s);
    if (wp) *reinterpret_cast<DWORD*>(wp) = DWORD(from);
    if (lp) *reinterpret_cast<DWORD*>(lp) = DWORD(to);
    return LRESULT(MAKELONG(WORD(std::min<std::size_t>(from, 0xFFFF)), WORD(std::min<std::size_t>(to, 0xFFFF))));
}

void Paint(HWND hwnd, const EditState& s) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    const RECT field = PaintField(hwnd, hdc);
    const std::u16string text = TextOf(hwnd);
    const std::vector<int> xs = CaretOffsets(hwnd, s, text);
    HGDIOBJ old_font = s.font ? SelectObject(hdc, s.font) : nullptr;
    const int height = LineHeight(hwnd, s.font);
    const int left = kMargin - s.scroll;
    const int top = (field.top + field.bottom - height) / 2;
    IntersectClipRect(hdc, field.left + 1, field.top, field.right - 1, field.bottom);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, IsWindowEnabled(hwnd) ? GetSysColor(COLOR_WINDOWTEXT) : RGB(128, 128, 128));
    TextOutW(hdc, left, top, text.c_str(), int(text.size()));
    const bool focused = GetFocus() == hwnd;
    const auto [from, to] = Selection(s);
    if (focused && from != to) {
        const RECT marked{left + xs[from], top, left + xs[to], top + height};
        FillRect(hdc, &marked, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(hdc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        TextOutW(hdc, marked.left, top, text.c_str() + from, int(to - from));
    }
    if (focused) {
        const RECT caret{left + xs[s.caret], top, left + xs[s.caret] + 1, top + height};
        FillRect(hdc, &caret, GetSysColorBrush(COLOR_WINDOWTEXT));
    }
    if (old_font) SelectObject(hdc, old_font);
    EndPaint(hwnd, &ps);
}

void Focus(HWND hwnd, WORD code) {
    InvalidateRect(hwnd, nullptr, FALSE);
    NotifyParentCommand(hwnd, code);
}

}  // namespace

LRESULT EditProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCDESTROY) {
        Edits().Drop(hwnd);
        return DefWindowProcW(hwnd, message, wp, lp);
    }
    auto s = Edits().Of(hwnd);
    switch (message) {
        case WM_PAINT: Paint(hwnd, *s); return 0;
        case WM_ERASEBKGND: return 1;  // painted whole in WM_PAINT
        case WM_SETTEXT: {
            const LRESULT result = DefWindowProcW(hwnd, message, wp, lp);
            s->caret = s->anchor = 0;
            s->scroll = 0;
            InvalidateRect(hwnd, nullptr, FALSE);
            NotifyParentCommand(hwnd, EN_CHANGE);
            return result;
        }
        case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
        case WM_CHAR: Type(hwnd, *s, char16_t(wp)); return 0;
        case WM_KEYDOWN: return KeyDown(hwnd, *s, int(wp)) ? 0 : DefWindowProcW(hwnd, message, wp, lp);
        case WM_LBUTTONDOWN:
            SetFocus(hwnd);
            SetCapture(hwnd);
            s->dragging = true;
            MoveCaret(hwnd, *s, PositionAt(hwnd, *s, GET_X_LPARAM(lp)), GetKeyState(VK_SHIFT) < 0);
            return 0;
        case WM_MOUSEMOVE:
            if (s->dragging) MoveCaret(hwnd, *s, PositionAt(hwnd, *s, GET_X_LPARAM(lp)), true);
            return 0;
        case WM_LBUTTONUP:
            if (std::exchange(s->dragging, false)) ReleaseCapture();
            return 0;
        case WM_CAPTURECHANGED: s->dragging = false; return 0;
        case EM_GETSEL: return GetSelection(*s, wp, lp);
        case EM_SETSEL: SetSelection(hwnd, *s, long(INT_PTR(wp)), long(lp)); return 0;
        case EM_REPLACESEL:
            if (lp) ReplaceSelection(hwnd, *s, reinterpret_cast<LPCWSTR>(lp));
            return 0;
        case WM_SETFONT:
            s->font = reinterpret_cast<HFONT>(wp);
            Refresh(hwnd, *s, TextOf(hwnd));
            return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
        case WM_SETFOCUS: Focus(hwnd, EN_SETFOCUS); return 0;
        case WM_KILLFOCUS: Focus(hwnd, EN_KILLFOCUS); return 0;
        case WM_ENABLE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
        case WM_SIZE: Refresh(hwnd, *s, TextOf(hwnd)); return 0;
    }
    return DefWindowProcW(hwnd, message, wp, lp);
}

}  // namespace plat::ui
