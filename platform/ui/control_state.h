// Per-window state of a built-in control, kept beside the window and dropped
// when the window is destroyed (the control's procedure calls Drop on
// WM_NCDESTROY). Safe to use from any thread.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "ui/ui_types.h"

namespace plat::ui {

template <class T>
class ControlStates {
public:
    // The state of hwnd, created on first use.
    std::shared_ptr<T> Of(HWND hwnd) {
        std::lock_guard lock(m_mutex);
        auto& slot = m_states[hwnd];
        if (!slot) slot = std::make_shared<T>();
        return slot;
    }
    std::shared_ptr<T> Find(HWND hwnd) {
        std::lock_guard lock(m_mutex);
        auto it = m_states.find(hwnd);
        return it == m_states.end() ? nullptr : it->second;
    }
    void Drop(HWND hwnd) {
        std::lock_guard lock(m_mutex);
        m_states.erase(hwnd);
    }

private:
    std::mutex m_mutex;
    std::map<HWND, std::shared_ptr<T>> m_states;
};

// Registers a control class once per process; true when it is registered.
bool RegisterControlClass(LPCWSTR name, WNDPROC proc, UINT class_style = 0);

// WM_SETTEXT of a control that shows its text: stores it and repaints.
LRESULT SetTextAndRedraw(HWND hwnd, WPARAM wp, LPARAM lp, BOOL erase);

// Sends a control's notification to its parent: WM_COMMAND with the control
// id and code.
void NotifyParentCommand(HWND control, WORD code);

// The brush a static-looking control (static text, trackbar, animation)
// paints its background with: the parent's answer to WM_CTLCOLORSTATIC, which
// may also set the DC's text colour (a null brush leaves the parent's pixels
// showing through); the button face when the parent gives none.
HBRUSH ControlBackground(HWND control, HDC hdc);

// The white field of an edit or list box, framed when the control has
// WS_BORDER (grey when disabled); returns FieldArea.
RECT PaintField(HWND hwnd, HDC hdc);
// The client area inside the frame of a field.
RECT FieldArea(HWND hwnd);

// Runs measure with a device context of hwnd that has font selected (the
// system font when null), for text measurements outside WM_PAINT.
void MeasureWith(HWND hwnd, HFONT font, const std::function<void(HDC)>& measure);
// The height of a line of text in font (the system font when null).
int LineHeight(HWND hwnd, HFONT font);

}  // namespace plat::ui
