// The skin-demo's window: a skinned dialog with every kind of skinned
// control, made from the records and images of the demo's resource
// library. The title bar's toggles switch snapping to the screen edges and
// auto-hiding at a docked edge; Start fills the progress bar; the slider
// tints the grey skin. Its background is drawn tinted, as the LED window
// draws its own.
#pragma once

#include "skin/Skin.h"

namespace skindemo {

class DemoSkinDialog : public CSkinDialog {
public:
    explicit DemoSkinDialog(int tint);
    ~DemoSkinDialog() override;

    BOOL OnInitDialog() override;
    void OnSkinButton(const std::u16string& name) override;
    void OnSkinSlider(const std::u16string& name, int code, int position) override;
    void OnOK() override {}
    void OnCancel() override { DestroyWindow(); }

protected:
    void OnPaint() override;
    void OnTimer(UINT_PTR id) override;

private:
    static constexpr UINT_PTR kProgressTimer = 7;
    void SetSnap(bool on);
    void SetHide(bool on);
    void ShowTint(int index);

    int m_tint;
    int m_progress = 0;
};

}  // namespace skindemo
