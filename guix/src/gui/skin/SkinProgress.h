// CSkinProgress: a progress bar of a skinned dialog; its empty part is cut
// from the dialog's face image and its filled part from the disabled image.
// A release inside it reports OnSkinProgressIndex, a mouse move (after the
// hover tracking) OnSkinMouseMove.
#pragma once

#include "skin/BitmapProgress.h"
#include "skin/SkinControl.h"

class CSkinProgress : public skin::SkinControl<CBitmapProgress> {
public:
    // Cuts the two pieces at `rect` and drops the border and tab-stop styles.
    void SetImages(const RECT& rect, HBITMAP empty, HBITMAP filled);

protected:
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
};
