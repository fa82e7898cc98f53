// CSkinLabel: a scrolling label of a skinned dialog. Pressing it drags the
// dialog (it posts WM_NCLBUTTONDOWN with HTCAPTION to the dialog), a
// release reports OnSkinLabelIndex, a mouse move OnSkinMouseMove, and a
// double click reaches the dialog as its own WM_LBUTTONDBLCLK at the
// dialog's client point, with the key-state value 2.
#pragma once

#include "skin/AnimatedLabel.h"
#include "skin/SkinControl.h"

class CSkinLabel : public skin::SkinControl<CAnimatedLabel> {
public:
    // Cuts the background piece at `rect` (dialog client coordinates) out
    // of a full-window image.
    void SetBackground(const RECT& rect, HBITMAP image);

protected:
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnLButtonDblClk(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
};
