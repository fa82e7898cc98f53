// CBitmapSlider: a trackbar drawn from a background piece (tinted with the
// parent dialog's colour index, once per index) and two thumb bitmaps, the
// pressed one while the thumb is held. It keeps the trackbar's range
// (0 to 100 by default), position, keys and dragging.
//
// The thumb bitmap is centred on the trackbar's own thumb: horizontally at
// (thumb left + thumb width / 2 - bitmap width / 2, 0), or, with the
// vertical style, at (0, thumb top + thumb height / 2 - bitmap height / 2),
// never above 0; it has the bitmap's size.
//
// Thread rule: GUI thread.
#pragma once

#include "skin/GdiHandle.h"
#include "skin/TintedPieces.h"
#include "ui/framework_controls.h"

namespace skin {
// The trackbar's vertical style (TBS_VERT).
constexpr DWORD kTrackbarVertical = 0x0002;
}  // namespace skin

class CBitmapSlider : public CSliderCtrl {
public:
    // Takes the background piece (the slider's size) and the thumb bitmaps.
    void SetPieces(skin::OwnedBitmap background, skin::OwnedBitmap thumb, skin::OwnedBitmap pressed_thumb);
    // Where the thumb bitmap is drawn, in client coordinates.
    RECT ThumbRect() const;
    bool ThumbPressed() const { return m_thumbPressed; }
    const skin::TintedPieces& Pieces() const { return m_background; }

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(HDC) override { return FALSE; }
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnCaptureChanged(HWND capture) override;

private:
    skin::TintedPieces m_background{1};
    skin::OwnedBitmap m_thumb;
    skin::OwnedBitmap m_pressedThumb;
    bool m_thumbPressed = false;
};
