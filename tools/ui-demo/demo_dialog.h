// The ui-demo's settings dialog: a skinned dialog built entirely from the
// demo's resource library — the template with its controls, the skin
// bitmap, the spinning-platter clip and the tooltip texts. It sets how fast
// the panel's LEDs blink; the panel hears every change while the slider
// moves and gets the kept value back on Cancel.
#pragma once

#include <functional>

#include "ui/framework_controls.h"
#include "ui/framework_dialog.h"

namespace demo {

// A push button painted in the skin's colours: raised, pressed, focused
// or disabled.
class SkinButton : public CButton {
public:
    void DrawItem(DRAWITEMSTRUCT* dis) override;
};

class SettingsDialog : public CDialog {
public:
    explicit SettingsDialog(CWnd* owner);
    ~SettingsDialog() override;

    // Creates the dialog on first use and shows it with `speed` (0 to 100).
    BOOL Open(int speed);
    std::function<void(int speed)> onSpeed;

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnEraseBkgnd(HDC dc) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT type) override;
    void OnHScroll(UINT code, UINT pos, HWND scroll) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    BOOL PreTranslateMessage(MSG* msg) override;

private:
    void ShowSpeed(int speed);
    // Labels drawn on the skin leave their background unpainted, so the
    // dialog repaints the skin beneath them when their text changes.
    void RepaintUnder(HWND control);
    void AddTip(CWnd& control, UINT text_id);
    // A solid brush of the skin's colour in the middle of `control`.
    HBRUSH SkinBrushUnder(HWND control) const;

    HBITMAP m_skin = nullptr;
    HFONT m_titleFont = nullptr;
    HBRUSH m_sliderBrush = nullptr;
    SkinButton m_ok;
    SkinButton m_cancel;
    CSliderCtrl m_speed;
    CAnimateCtrl m_platter;
    CToolTipCtrl m_tips;
    int m_kept = 50;
};

}  // namespace demo
