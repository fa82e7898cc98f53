#include "ui/framework_wnd.h"

#include <map>
#include <mutex>
#include <utility>

#include "ui/control_state.h"
#include "ui/def_window_proc.h"
#include "ui/framework_app.h"
#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/paint.h"
#include "ui/window_hooks.h"
#include "ui/window_pos.h"

namespace {

// Windows bound to framework objects. Taken alone, never while calling out.
std::mutex g_mapMutex;
std::map<HWND, CWnd*> g_map;

// The object waiting for the next window this thread creates, and the CBT
// hook that binds it.
thread_local CWnd* t_hooked = nullptr;
thread_local HHOOK t_createHook = nullptr;

constexpr char16_t kFrameworkClass[] = u"LumetraFrameworkWnd";

POINT PointOf(LPARAM lp) { return POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

// The menu items' update handlers run before the popup shows.
void UpdateMenuItems(CWnd& wnd, HMENU menu) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(menu, i);
        if (id == UINT(-1) || id == 0) continue;  // popups and separators
        CCmdUI ui;
        ui.m_nID = id;
        ui.m_nIndex = UINT(i);
        ui.m_hMenu = menu;
        wnd.OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &ui);
    }
}

}  // namespace

void CCmdUI::Enable(BOOL on) { EnableMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (on ? MF_ENABLED : MF_GRAYED)); }
void CCmdUI::SetCheck(int check) {
    CheckMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (check ? MF_CHECKED : MF_UNCHECKED));
}
void CCmdUI::SetText(LPCWSTR text) {
    if (auto* item = plat::ui::FindMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION)) item->text = text ? text : u"";
}

namespace {

// Binds the waiting object to the window being created, before the window's
// first message, so the object sees WM_NCCREATE and WM_CREATE too.
LRESULT BindCreatingWindow(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND && t_hooked) {
        CWnd* wnd = std::exchange(t_hooked, nullptr);
        if (!wnd->SubclassWindow(reinterpret_cast<HWND>(wp))) return 1;
    }
    return CallNextHookEx(t_createHook, code, wp, lp);
}

}  // namespace

void AfxHookWindowCreate(CWnd* wnd) {
    t_hooked = wnd;
    if (!t_createHook) t_createHook = SetWindowsHookExW(WH_CBT, &BindCreatingWindow, nullptr, 0);
}

void AfxUnhookWindowCreate() {
    t_hooked = nullptr;
    if (t_createHook) UnhookWindowsHookEx(std::exchange(t_createHook, nullptr));
}

CWnd::~CWnd() {
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    std::lock_guard lock(g_mapMutex);
    auto it = g_map.find(hwnd);
    return it == g_map.end() ? nullptr : it->second;
}

void CWnd::Attach(HWND hwnd, WNDPROC previous) {
    m_hWnd = hwnd;
    m_oldProc = previous;
    std::lock_guard lock(g_mapMutex);
    g_map[hwnd] = this;
}

void CWnd::Detach() {
    if (!m_hWnd) return;
    std::lock_guard lock(g_mapMutex);
    g_map.erase(m_hWnd);
    m_hWnd = nullptr;
}

BOOL CWnd::CreateEx(DWORD ex_style, LPCWSTR class_name, LPCWSTR name, DWORD style, const RECT& rect, CWnd* parent,
                    UINT id) {
    if (!class_name) {
        plat::ui::RegisterControlClass(kFrameworkClass, &DefWindowProcW, CS_DBLCLKS);
        class_name = kFrameworkClass;
    }
    AfxHookWindowCreate(this);
    HWND hwnd = CreateWindowExW(ex_style, class_name, name, style, rect.left, rect.top, rect.right - rect.left,
                                rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
                                reinterpret_cast<HMENU>(std::uintptr_t(id)), AfxGetInstanceHandle(), nullptr);
    AfxUnhookWindowCreate();
    return hwnd != nullptr;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
    if (m_hWnd || !::IsWindow(hwnd) || FromHandlePermanent(hwnd)) return FALSE;
    m_hWnd = hwnd;  // PreSubclassWindow may look at the window
    PreSubclassWindow();
    const auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameworkWndProc)));
    Attach(hwnd, previous);
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    return parent ? SubclassWindow(::GetDlgItem(parent->m_hWnd, int(id))) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
    HWND hwnd = m_hWnd;
    if (!hwnd) return nullptr;
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldProc));
    Detach();
    m_oldProc = nullptr;
    return hwnd;
}

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

LRESULT CWnd::SendMessage(UINT message, WPARAM wp, LPARAM lp) const { return SendMessageW(m_hWnd, message, wp, lp); }
BOOL CWnd::PostMessage(UINT message, WPARAM wp, LPARAM lp) const { return PostMessageW(m_hWnd, message, wp, lp); }
BOOL CWnd::ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command); }
void CWnd::Invalidate(BOOL erase) const { InvalidateRect(m_hWnd, nullptr, erase); }
void CWnd::GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
HWND CWnd::GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
BOOL CWnd::EnableWindow(BOOL enable) const { return ::EnableWindow(m_hWnd, enable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
void CWnd::SetWindowText(LPCWSTR text) const { SetWindowTextW(m_hWnd, text); }
UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse_ms) const { return ::SetTimer(m_hWnd, id, elapse_ms, nullptr); }
BOOL CWnd::KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id); }
HWND CWnd::GetParent() const { return ::GetParent(m_hWnd); }

LRESULT CWnd::Default() {
    if (!m_current) return 0;
    const MSG& m = *m_current;
    return m_oldProc ? CallWindowProcW(m_oldProc, m.hwnd, m.message, m.wParam, m.lParam)
                     : DefWindowProcW(m.hwnd, m.message, m.wParam, m.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wp, LPARAM lp) {
    switch (message) {
        case WM_COMMAND: return OnCommand(wp, lp) ? 0 : Default();
        case WM_NOTIFY: {
            LRESULT result = 0;
            return OnNotify(wp, lp, &result) ? result : Default();
        }
        case WM_CREATE: return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lp));
        case WM_DESTROY: OnDestroy(); return 0;
        case WM_CLOSE: OnClose(); return 0;
        case WM_PAINT: OnPaint(); return 0;
        case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<HDC>(wp));
        case WM_TIMER: OnTimer(wp); return 0;
        case WM_MOUSEMOVE: OnMouseMove(UINT(wp), PointOf(lp)); return 0;
        case WM_LBUTTONDOWN: OnLButtonDown(UINT(wp), PointOf(lp)); return 0;
        case WM_LBUTTONUP: OnLButtonUp(UINT(wp), PointOf(lp)); return 0;
        case WM_LBUTTONDBLCLK: OnLButtonDblClk(UINT(wp), PointOf(lp)); return 0;
        case WM_RBUTTONDOWN: OnRButtonDown(UINT(wp), PointOf(lp)); return 0;
        case WM_RBUTTONUP: OnRButtonUp(UINT(wp), PointOf(lp)); return 0;
        case WM_MBUTTONUP: OnMButtonUp(UINT(wp), PointOf(lp)); return 0;
        case WM_MOUSEWHEEL: return OnMouseWheel(LOWORD(DWORD(wp)), GET_WHEEL_DELTA_WPARAM(wp), PointOf(lp));
        case WM_KEYDOWN: OnKeyDown(UINT(wp), LOWORD(DWORD(lp)), HIWORD(DWORD(lp))); return 0;
        case WM_CONTEXTMENU: OnContextMenu(reinterpret_cast<HWND>(wp), PointOf(lp)); return 0;
        case WM_SIZE: OnSize(UINT(wp), LOWORD(DWORD(lp)), HIWORD(DWORD(lp))); return 0;
        case WM_MOVE: OnMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
        case WM_SHOWWINDOW: OnShowWindow(BOOL(wp), UINT(lp)); return 0;
        case WM_ACTIVATE: OnActivate(LOWORD(DWORD(wp)), reinterpret_cast<HWND>(lp), HIWORD(DWORD(wp)) != 0); return 0;
        case WM_KILLFOCUS: OnKillFocus(reinterpret_cast<HWND>(wp)); return 0;
        case WM_CAPTURECHANGED: OnCaptureChanged(reinterpret_cast<HWND>(lp)); return 0;
        case WM_WINDOWPOSCHANGING: OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lp)); return 0;
        case WM_NCLBUTTONDOWN: OnNcLButtonDown(UINT(wp), PointOf(lp)); return 0;
        case WM_HSCROLL: OnHScroll(LOWORD(DWORD(wp)), HIWORD(DWORD(wp)), reinterpret_cast<HWND>(lp)); return 0;
        case WM_DRAWITEM: {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
            if (CWnd* control = FromHandlePermanent(dis->hwndItem)) control->DrawItem(dis);
            else OnDrawItem(int(wp), dis);
            return TRUE;
        }
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(
                OnCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), CTLCOLOR_STATIC));
        case WM_INITMENUPOPUP: OnInitMenuPopup(reinterpret_cast<HMENU>(wp), LOWORD(DWORD(lp)), HIWORD(DWORD(lp))); return 0;
        case WM_QUERYDRAGICON: return reinterpret_cast<LRESULT>(OnQueryDragIcon());
    }
    return Default();
}

BOOL CWnd::OnCommand(WPARAM wp, LPARAM) { return OnCmdMsg(LOWORD(DWORD(wp)), HIWORD(DWORD(wp)), nullptr); }
BOOL CWnd::OnCmdMsg(UINT, int, CCmdUI*) { return FALSE; }
BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }
BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }
void CWnd::DrawItem(DRAWITEMSTRUCT*) {}

int CWnd::OnCreate(CREATESTRUCTW*) { return int(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(HDC) { return BOOL(Default()); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnMouseMove(UINT, POINT) { Default(); }
void CWnd::OnLButtonDown(UINT, POINT) { Default(); }
void CWnd::OnLButtonUp(UINT, POINT) { Default(); }
void CWnd::OnLButtonDblClk(UINT, POINT) { Default(); }
void CWnd::OnRButtonDown(UINT, POINT) { Default(); }
void CWnd::OnRButtonUp(UINT, POINT) { Default(); }
void CWnd::OnMButtonUp(UINT, POINT) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, POINT) { return BOOL(Default()); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnContextMenu(HWND, POINT) { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
void CWnd::OnActivate(UINT, HWND, BOOL) { Default(); }
void CWnd::OnKillFocus(HWND) { Default(); }
void CWnd::OnCaptureChanged(HWND) { Default(); }
void CWnd::OnWindowPosChanging(WINDOWPOS*) { Default(); }
void CWnd::OnNcLButtonDown(UINT, POINT) { Default(); }
void CWnd::OnHScroll(UINT, UINT, HWND) { Default(); }
void CWnd::OnDrawItem(int, DRAWITEMSTRUCT*) { Default(); }
HBRUSH CWnd::OnCtlColor(HDC, HWND, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
void CWnd::OnInitMenuPopup(HMENU menu, UINT, BOOL system) {
    if (!system) UpdateMenuItems(*this, menu);
    Default();
}
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }

LRESULT FrameworkWndProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
    if (!wnd) return DefWindowProcW(hwnd, message, wp, lp);
    const MSG msg{hwnd, message, wp, lp, 0, {}};
    const MSG* outer = std::exchange(wnd->m_current, &msg);
    const LRESULT result = wnd->WindowProc(message, wp, lp);
    wnd->m_current = outer;
    if (message == WM_NCDESTROY) {
        wnd->Detach();
        CWinApp* app = AfxGetApp();
        if (app && app->m_pMainWnd == wnd) {
            app->m_pMainWnd = nullptr;
            PostQuitMessage(0);
        }
        wnd->PostNcDestroy();
    }
    return result;
}
