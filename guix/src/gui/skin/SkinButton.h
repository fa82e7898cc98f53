// CSkinButton: a bitmap button of a skinned dialog, cut from the dialog's
// full-window images, that reports its clicks (OnSkinButtonIndex) and mouse
// moves (OnSkinMouseMove) to the dialog.
//
// Labels that lie strictly inside the button (a caption laid over it)
// follow its hover state: their background is cut from the dialog's
// primary hover image while the button is hovered, from the primary face
// otherwise, and they are repainted right after every paint of the button
// so the caption stays on top.
#pragma once

#include "skin/BitmapBtn.h"
#include "skin/SkinControl.h"

class CSkinButton : public skin::SkinControl<CBitmapBtn> {
public:
    // Cuts the four pieces at `rect` out of the full-window images and drops
    // the border and tab-stop styles.
    void SetImages(const RECT& rect, HBITMAP normal, HBITMAP hover, HBITMAP pressed, HBITMAP disabled);

    void DrawItem(DRAWITEMSTRUCT* dis) override;

protected:
    void OnMouseMove(UINT flags, POINT point) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnKillFocus(HWND next) override;

private:
    // Gives the caption labels the hover or the face background.
    void ShowLabelsHovered(bool hovered);
    void RepaintLabels();
};
