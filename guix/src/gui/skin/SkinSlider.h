// CSkinSlider: a slider of a skinned dialog, its background cut from the
// dialog's second face image. While the mouse drags it, every move reports
// OnSkinSliderIndex(index, 4 (TB_THUMBTRACK), position) and the release
// OnSkinSliderIndex(index, 8 (TB_ENDTRACK), position); a key press or a
// wheel turn moves it and reports code 8 with the position after the move.
// Other mouse moves report OnSkinMouseMove.
#pragma once

#include "skin/BitmapSlider.h"
#include "skin/SkinControl.h"

class CSkinSlider : public skin::SkinControl<CBitmapSlider> {
public:
    // Cuts the background at `rect`, takes the thumb bitmaps, drops the
    // border and tab-stop styles and ends any drag.
    void SetImages(const RECT& rect, HBITMAP background, skin::OwnedBitmap thumb, skin::OwnedBitmap pressed_thumb);
    bool IsDragging() const { return m_dragging; }

protected:
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
    BOOL OnMouseWheel(UINT flags, short delta, POINT point) override;

private:
    void Report(int code);
    bool m_dragging = false;
};
