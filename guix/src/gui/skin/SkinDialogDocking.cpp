// Snapping to the work area's edges, and auto-hiding at a docked edge with
// the slide out of sight and back.
#include "base/clock.h"
#include "skin/SkinDialog.h"

RECT CSkinDialog::SavedWindowRect() const {
    std::lock_guard lock(m_rectMutex);
    return m_windowRect;
}

void CSkinDialog::StoreWindowRect() {
    RECT r{};
    if (!::GetWindowRect(m_hWnd, &r)) return;
    std::lock_guard lock(m_rectMutex);
    m_windowRect = r;
}

RECT CSkinDialog::WorkAreaNear(const RECT& rect) const {
    MONITORINFO info;
    if (!GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info)) return plat::ui::PrimaryWorkArea();
    return info.rcWork;
}

BOOL CSkinDialog::EnableSnap(BOOL snap) {
    const BOOL previous = m_snap;
    m_snap = snap;
    return previous;
}

void CSkinDialog::SetAutoHide(BOOL auto_hide) {
    m_autoHide = auto_hide;
    if (m_docked) SetTimer(kAutoHideTimer, kAutoHideShownMs);
    if (!auto_hide && m_hidden) SlideIn();
}

BOOL CSkinDialog::KeepRightDocked(RECT* rect) const {
    if (m_edge != skin::kEdgeRight || !rect) return FALSE;
    const RECT work = WorkAreaNear(*rect);
    const LONG width = rect->right - rect->left;
    rect->right = work.right;
    rect->left = work.right - width;
    return TRUE;
}

// A move while snapping is on lands on an edge of the work area within the
// snap distance. A window that leaves every edge is undocked: slid out, it
// comes back in first, and the move then keeps its full size.
void CSkinDialog::OnWindowPosChanging(WINDOWPOS* pos) {
    if (!m_snap || m_sliding || (pos->flags & SWP_NOMOVE) || !pos->cx || !pos->cy) {
        Default();
        return;
    }
    m_docked = false;
    RECT current{};
    ::GetWindowRect(m_hWnd, &current);
    const RECT proposed{pos->x, pos->y, pos->x + pos->cx, pos->y + pos->cy};
    const skin::SnapResult snap =
        skin::SnapToWorkArea(proposed, WorkAreaNear(current), m_snapDistance, ::IsWindowVisible(m_hWnd));
    pos->x = snap.rect.left;
    pos->y = snap.rect.top;
    {
        std::lock_guard lock(m_rectMutex);
        m_windowRect = snap.rect;
    }
    if (snap.edge != skin::kEdgeNone) {
        m_docked = true;
        m_edge = snap.edge;
        return;
    }
    if (m_hidden) {
        SlideIn();
        const RECT shown = SavedWindowRect();
        pos->x = shown.left;
        pos->y = shown.top;
        pos->cx = shown.right - shown.left;
        pos->cy = shown.bottom - shown.top;
        pos->flags &= ~UINT(SWP_NOSIZE);
    }
    m_edge = skin::kEdgeNone;
}

void CSkinDialog::OnMove(int, int) {
    Default();
    if (m_docked && m_autoHide) SetTimer(kAutoHideTimer, kAutoHideShownMs);
}

// Shown: checked every 1,500 ms; slid out: every 50 ms, so the window comes
// back as soon as the cursor reaches the strip left at the edge.
void CSkinDialog::OnTimer(UINT_PTR id) {
    if (id != kAutoHideTimer) {
        CDialog::OnTimer(id);
        return;
    }
    KillTimer(kAutoHideTimer);
    if (!m_autoHide) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    const RECT saved = SavedWindowRect();
    UINT next = kAutoHideHiddenMs;
    if (PtInRect(&saved, cursor)) {
        SlideIn();
        next = m_hidden ? kAutoHideHiddenMs : kAutoHideShownMs;
    } else if (!m_hidden) {
        SlideOut();
        next = m_hidden ? kAutoHideHiddenMs : kAutoHideShownMs;
    }
    SetTimer(kAutoHideTimer, next);
}

void CSkinDialog::SlideOut() {
    if (!m_docked || m_hidden) return;
    Slide(skin::SlideOutSteps(SavedWindowRect(), m_edge, m_skinWidth, m_skinHeight), false);
    if (m_edge != skin::kEdgeNone) m_hidden = true;
}

void CSkinDialog::SlideIn() {
    if (!m_hidden) return;
    Slide(skin::SlideInSteps(SavedWindowRect(), m_edge, m_skinWidth, m_skinHeight), true);
    if (m_edge != skin::kEdgeNone) m_hidden = false;
}

// Every step is moved, painted and flushed to the display before the pause,
// or the slide would reach the screen only at its end. A shrinking window
// keeps the top-left part of its picture, which is what a paint would draw
// there, so sliding out only moves; sliding in paints what each step
// uncovers. The slide's own moves are not snapped again.
void CSkinDialog::Slide(const std::vector<RECT>& steps, bool paint) {
    m_sliding = true;
    for (const RECT& r : steps) {
        {
            std::lock_guard lock(m_rectMutex);
            m_windowRect = r;
        }
        MoveWindow(m_hWnd, r.left, r.top, r.right - r.left, r.bottom - r.top, paint);
        if (paint) UpdateWindow(m_hWnd);
        GdiFlush();
        Sleep(1);
    }
    m_sliding = false;
}
