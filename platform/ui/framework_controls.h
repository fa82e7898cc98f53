// The framework's control classes: thin objects over the built-in controls.
// CButton draws itself when owner-drawn (DrawItem, reached through the
// parent's WM_DRAWITEM); CSliderCtrl wraps the trackbar, CAnimateCtrl the
// animation control (clips come from AfxGetResourceHandle), CToolTipCtrl the
// tooltip.
#pragma once

#include "ui/framework_wnd.h"

class CButton : public CWnd {
public:
    BOOL Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    UINT GetState() const { return UINT(SendMessage(BM_GETSTATE)); }
    void SetState(BOOL pushed) const { SendMessage(BM_SETSTATE, pushed); }
    UINT GetButtonStyle() const;
    void SetButtonStyle(UINT style, BOOL redraw = TRUE) const { SendMessage(BM_SETSTYLE, style, redraw); }
};

class CSliderCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetPos() const { return int(SendMessage(TBM_GETPOS)); }
    void SetPos(int pos) const { SendMessage(TBM_SETPOS, TRUE, pos); }
    void SetRange(int min, int max, BOOL redraw = FALSE) const;
    int GetRangeMin() const { return int(SendMessage(TBM_GETRANGEMIN)); }
    int GetRangeMax() const { return int(SendMessage(TBM_GETRANGEMAX)); }
    void GetThumbRect(RECT* rect) const { SendMessage(TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(rect)); }
    void GetChannelRect(RECT* rect) const { SendMessage(TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(rect)); }
    int SetPageSize(int size) const { return int(SendMessage(TBM_SETPAGESIZE, 0, size)); }
    int SetLineSize(int size) const { return int(SendMessage(TBM_SETLINESIZE, 0, size)); }
};

class CAnimateCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    BOOL Open(UINT clip_id) const;
    BOOL Play(UINT from, UINT to, UINT repeat) const;
    BOOL Stop() const { return BOOL(SendMessage(ACM_STOP)); }
    BOOL Seek(UINT frame) const { return Play(frame, frame, 1); }
    BOOL Close() const { return BOOL(SendMessage(ACM_OPENW)); }
    BOOL IsPlaying() const { return BOOL(SendMessage(ACM_ISPLAYING)); }
};

class CToolTipCtrl : public CWnd {
public:
    BOOL Create(CWnd* parent);
    BOOL AddTool(CWnd* wnd, LPCWSTR text, const RECT* rect = nullptr, UINT_PTR id = 0) const;
    void DelTool(CWnd* wnd, UINT_PTR id = 0) const;
    void UpdateTipText(LPCWSTR text, CWnd* wnd, UINT_PTR id = 0) const;
    void SetToolRect(CWnd* wnd, UINT_PTR id, const RECT& rect) const;
    void Activate(BOOL active) const { SendMessage(TTM_ACTIVATE, active); }
    void RelayEvent(MSG* msg) const { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
    int GetToolCount() const { return int(SendMessage(TTM_GETTOOLCOUNT)); }
};
