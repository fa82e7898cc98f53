// The LED window as the application starts it until the real panel
// (CLUMEXGUIDlg) takes its place: a modeless dialog on template 102 that
// holds the settings block and shows the LED window's skin from the resource
// library. It has exactly what the application relies on: the settings block
// it owns while it lives, creation from the template, and destruction.
#pragma once

#include "Settings.h"
#include "ui/framework_dialog.h"

class CLedWindowPlaceholder : public CDialog {
public:
    static constexpr UINT kTemplate = 102;

    CLedWindowPlaceholder() : CDialog(kTemplate) {}

    BOOL OnInitDialog() override;
    void OnCancel() override { DestroyWindow(); }

    // The live settings block; the application copies the stored settings in
    // before the window is created and takes a copy out at exit.
    GuiSettings m_Settings;

protected:
    void PostNcDestroy() override;
};
