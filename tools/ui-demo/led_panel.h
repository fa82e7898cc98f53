// The ui-demo's panel: a shaped, always-on-top strip of blinking LEDs, as
// the monitor's window looks. It is dragged by any point, Esc closes it, and
// a right click opens its popup menu (from the resource library): Settings
// opens the skinned settings dialog, "Always on top" toggles, "Hide to the
// tray" hides it behind its notification-area icon (a double click on the
// icon brings it back; without a tray it is minimised), More > About shows a
// message box, Exit closes.
#pragma once

#include <memory>

#include "demo_dialog.h"
#include "ui/framework_tray_icon.h"
#include "ui/framework_wnd.h"

namespace demo {

class LedPanel : public CWnd {
public:
    LedPanel(bool scroll_lock);
    ~LedPanel() override;

    BOOL Create();
    void OpenSettings();
    // Opens the popup menu at the panel's centre, as a right click would.
    void OpenMenu();
    SettingsDialog& Settings() { return m_settings; }

    int OnCreate(CREATESTRUCTW* cs) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(HDC) override { return TRUE; }
    void OnTimer(UINT_PTR id) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
    void OnContextMenu(HWND wnd, POINT point) override;
    BOOL OnCmdMsg(UINT id, int code, CCmdUI* ui) override;
    LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override;

private:
    void Draw(HDC dc);
    void Repaint();
    void SetSpeed(int speed);
    void OnSettings() { OpenSettings(); }
    void OnToggleTop();
    void OnUpdateTop(CCmdUI* ui) { ui->SetCheck(m_onTop); }
    void OnAbout();
    void OnExit() { DestroyWindow(); }
    void OnHide() { m_tray.MinimiseToTray(this); }
    void OnRestore() { m_tray.MaximiseFromTray(this); }

    bool m_scrollLock;
    bool m_onTop = true;
    int m_speed = 50;
    unsigned m_frame = 0;
    HFONT m_title = nullptr;
    HFONT m_small = nullptr;
    HIMAGELIST m_leds = nullptr;
    HICON m_icon = nullptr;
    CTrayIcon m_tray;
    SettingsDialog m_settings{this};
};

}  // namespace demo
