#include "ui/framework_controls.h"

#include "resource/resource_types.h"
#include "ui/dialog.h"
#include "ui/framework_app.h"
#include "ui/window_pos.h"

namespace {

TTTOOLINFOW ToolInfo(CWnd* wnd, UINT_PTR id, LPCWSTR text) {
    TTTOOLINFOW info;
    info.hwnd = wnd ? wnd->m_hWnd : nullptr;
    info.uId = id;
    info.lpszText = const_cast<LPWSTR>(text);
    return info;
}

}  // namespace

BOOL CButton::Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    InitCommonControls();
    return CreateEx(0, WC_BUTTON, text, style | WS_CHILD, rect, parent, id);
}

UINT CButton::GetButtonStyle() const { return UINT(GetWindowLongW(m_hWnd, GWL_STYLE)) & 0xFFFF; }

BOOL CSliderCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    InitCommonControls();
    return CreateEx(0, TRACKBAR_CLASSW, nullptr, style | WS_CHILD, rect, parent, id);
}

void CSliderCtrl::SetRange(int min, int max, BOOL redraw) const {
    SendMessage(TBM_SETRANGEMIN, FALSE, min);
    SendMessage(TBM_SETRANGEMAX, redraw, max);
}

BOOL CAnimateCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    InitCommonControls();
    return CreateEx(0, ANIMATE_CLASSW, nullptr, style | WS_CHILD, rect, parent, id);
}

BOOL CAnimateCtrl::Open(UINT clip_id) const {
    return BOOL(SendMessage(ACM_OPENW, reinterpret_cast<WPARAM>(AfxGetResourceHandle()),
                            reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(clip_id))));
}

BOOL CAnimateCtrl::Play(UINT from, UINT to, UINT repeat) const {
    return BOOL(SendMessage(ACM_PLAY, WPARAM(int(repeat)), MAKELPARAM(int(from), int(to))));
}

BOOL CToolTipCtrl::Create(CWnd* parent) {
    InitCommonControls();
    HWND owner = parent ? parent->m_hWnd : nullptr;
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, owner, nullptr,
                                AfxGetInstanceHandle(), nullptr);
    return hwnd && SubclassWindow(hwnd);
}

BOOL CToolTipCtrl::AddTool(CWnd* wnd, LPCWSTR text, const RECT* rect, UINT_PTR id) const {
    TTTOOLINFOW info = ToolInfo(wnd, id, text);
    if (rect) info.rect = *rect;
    else if (wnd) ::GetClientRect(wnd->m_hWnd, &info.rect);
    return BOOL(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::DelTool(CWnd* wnd, UINT_PTR id) const {
    TTTOOLINFOW info = ToolInfo(wnd, id, nullptr);
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::UpdateTipText(LPCWSTR text, CWnd* wnd, UINT_PTR id) const {
    TTTOOLINFOW info = ToolInfo(wnd, id, text);
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::SetToolRect(CWnd* wnd, UINT_PTR id, const RECT& rect) const {
    TTTOOLINFOW info = ToolInfo(wnd, id, nullptr);
    info.rect = rect;
    SendMessage(TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
}
