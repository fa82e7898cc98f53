// The LED window as the application starts it until the real panel
// (CLUMEXGUIDlg) takes its place: a skinned dialog on template 102 that
// holds the settings block and shows the LED window's skin from the resource
// library, composed the way the panel composes it for a machine without
// drive rows: the per-row tile, then the second image set (the options
// strip, when `OptionsPanelOpen` is set, and the three window buttons).
//
// BUTTON_EXIT closes the window, which ends the program; BUTTON_OPTIONS
// opens and closes the options strip. BUTTON_MINIMIZE has no tray to hide
// in yet and does nothing.
#pragma once

#include "Settings.h"
#include "skin/SkinDialog.h"

class CLedWindowPlaceholder : public CSkinDialog {
public:
    static constexpr UINT kTemplate = 102;
    // The skin's image sets, in the order face, mask, hover, pressed,
    // disabled.
    static constexpr UINT kPrimarySet[5] = {211, 213, 214, 261, 212};
    static constexpr UINT kSecondSet[5] = {271, 273, 274, 272, 297};
    // The second set: the options strip, then the window buttons.
    static constexpr int kStripWidth = 162;
    static constexpr int kButtonsWidth = 25;

    CLedWindowPlaceholder() : CSkinDialog(kTemplate) {}

    BOOL OnInitDialog() override;
    void OnCancel() override { DestroyWindow(); }
    void OnSkinButton(const std::u16string& name) override;

    // The live settings block; the application copies the stored settings in
    // before the window is created and takes a copy out at exit.
    GuiSettings m_Settings;

protected:
    // The background is drawn tinted with the settings' colour index.
    void OnPaint() override;
    void PostNcDestroy() override;

private:
    // Rebuilds the working skin and the window buttons from the image sets.
    void Compose();
};
