// The framework's window class: a C++ object bound to a window, whose
// messages arrive in WindowProc and are dispatched by one explicit switch to
// virtual handlers. A handler that a class does not override runs the
// window's previous procedure (Default()). Commands (WM_COMMAND) go to
// OnCmdMsg with the command id; a class routes them with a table of
// CommandRoute entries (see RouteCommand), including the update handlers
// that set the check and enable states of menu items before a popup shows.
//
// Thread rule: a CWnd is used on the thread that created its window.
#pragma once

#include <cstddef>

#include "ui/control_types.h"
#include "ui/menu.h"
#include "ui/window.h"

constexpr int CN_COMMAND = 0;
constexpr int CN_UPDATE_COMMAND_UI = -1;

// The state of one menu item while its popup is being prepared.
class CCmdUI {
public:
    UINT m_nID = 0;
    UINT m_nIndex = 0;
    HMENU m_hMenu = nullptr;
    void Enable(BOOL on = TRUE);
    void SetCheck(int check = 1);
    void SetText(LPCWSTR text);
};

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    static CWnd* FromHandlePermanent(HWND hwnd);

    // Creates a window of `class_name` (null: the framework's own class) and
    // binds it from its first message on.
    BOOL CreateEx(DWORD ex_style, LPCWSTR class_name, LPCWSTR name, DWORD style, const RECT& rect, CWnd* parent,
                  UINT id);
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();
    BOOL DestroyWindow();

    // Thin conveniences over the window functions.
    LRESULT SendMessage(UINT message, WPARAM wp = 0, LPARAM lp = 0) const;
    BOOL PostMessage(UINT message, WPARAM wp = 0, LPARAM lp = 0) const;
    BOOL ShowWindow(int command) const;
    void Invalidate(BOOL erase = TRUE) const;
    void GetClientRect(RECT* rect) const;
    HWND GetDlgItem(int id) const;
    BOOL EnableWindow(BOOL enable = TRUE) const;
    BOOL IsWindowEnabled() const;
    void SetWindowText(LPCWSTR text) const;
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse_ms) const;
    BOOL KillTimer(UINT_PTR id) const;
    HWND GetParent() const;

    virtual LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp);
    virtual BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui);
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual void PreSubclassWindow() {}
    // Called after the window is gone; the object may delete itself here.
    virtual void PostNcDestroy() {}
    // Owner-drawn controls draw themselves when their parent is a CWnd.
    virtual void DrawItem(DRAWITEMSTRUCT* dis);

protected:
    LRESULT Default();

    virtual BOOL OnCommand(WPARAM wp, LPARAM lp);
    virtual BOOL OnNotify(WPARAM wp, LPARAM lp, LRESULT* result);
    virtual int OnCreate(CREATESTRUCTW* cs);
    virtual void OnDestroy();
    virtual void OnClose();
    virtual void OnPaint();
    virtual BOOL OnEraseBkgnd(HDC hdc);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnMouseMove(UINT flags, POINT point);
    virtual void OnLButtonDown(UINT flags, POINT point);
    virtual void OnLButtonUp(UINT flags, POINT point);
    virtual void OnLButtonDblClk(UINT flags, POINT point);
    virtual void OnRButtonDown(UINT flags, POINT point);
    virtual void OnRButtonUp(UINT flags, POINT point);
    virtual void OnMButtonUp(UINT flags, POINT point);
    virtual BOOL OnMouseWheel(UINT flags, short delta, POINT point);
    virtual void OnKeyDown(UINT key, UINT repeat, UINT flags);
    virtual void OnContextMenu(HWND hwnd, POINT point);
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnMove(int x, int y);
    virtual void OnShowWindow(BOOL show, UINT status);
    virtual void OnActivate(UINT state, HWND other, BOOL minimized);
    virtual void OnKillFocus(HWND next);
    virtual void OnCaptureChanged(HWND capture);
    virtual void OnWindowPosChanging(WINDOWPOS* pos);
    virtual void OnNcLButtonDown(UINT hit, POINT point);
    virtual void OnHScroll(UINT code, UINT pos, HWND scroll);
    virtual void OnDrawItem(int id, DRAWITEMSTRUCT* dis);
    // The background brush (and, set on `dc`, the text colour) of a child
    // control; `type` is CTLCOLOR_STATIC.
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT type);
    virtual void OnInitMenuPopup(HMENU menu, UINT index, BOOL system);
    virtual HCURSOR OnQueryDragIcon();

    WNDPROC m_oldProc = nullptr;

private:
    friend LRESULT FrameworkWndProc(HWND, UINT, WPARAM, LPARAM);
    void Attach(HWND hwnd, WNDPROC previous);
    void Detach();
    const MSG* m_current = nullptr;
};

// The procedure of framework-bound windows.
LRESULT FrameworkWndProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);

// Binds the next window this thread creates to `wnd` before its first
// message; the unhook call ends the wait whether or not a window came.
void AfxHookWindowCreate(CWnd* wnd);
void AfxUnhookWindowCreate();

// One entry of a class's command table: the handler for the command and,
// optionally, the handler that updates its menu item.
template <class T>
struct CommandRoute {
    UINT id;
    void (T::*command)();
    void (T::*update)(CCmdUI*);
};

// Runs the entry of `table` for id; false when the table has none.
template <class T, std::size_t N>
BOOL RouteCommand(T* self, const CommandRoute<T> (&table)[N], UINT id, int code, CCmdUI* ui) {
    for (const auto& route : table) {
        if (route.id != id) continue;
        if (code == CN_UPDATE_COMMAND_UI && route.update && ui) {
            (self->*route.update)(ui);
            return TRUE;
        }
        if (code == CN_COMMAND && route.command) {
            (self->*route.command)();
            return TRUE;
        }
    }
    return FALSE;
}
