#include "skin/SkinSlider.h"

#include "skin/SkinBitmaps.h"
#include "skin/SkinDialog.h"

void CSkinSlider::SetImages(const RECT& rect, HBITMAP background, skin::OwnedBitmap thumb,
                            skin::OwnedBitmap pressed_thumb) {
    SetPieces(skin::CutPiece(background, rect), std::move(thumb), std::move(pressed_thumb));
    DropFrameStyles();
    m_dragging = false;
}

void CSkinSlider::Report(int code) {
    if (CSkinDialog* dialog = Dialog()) dialog->OnSkinSliderIndex(Index(), code, GetPos());
}

void CSkinSlider::OnLButtonDown(UINT flags, POINT point) {
    CBitmapSlider::OnLButtonDown(flags, point);
    m_dragging = true;
}

void CSkinSlider::OnMouseMove(UINT flags, POINT point) {
    CBitmapSlider::OnMouseMove(flags, point);
    if (m_dragging) Report(TB_THUMBTRACK);
    else if (CSkinDialog* dialog = Dialog()) dialog->OnSkinMouseMove(Name(), point.x, point.y);
}

void CSkinSlider::OnLButtonUp(UINT flags, POINT point) {
    m_dragging = false;
    Report(TB_ENDTRACK);
    if (m_hWnd) CBitmapSlider::OnLButtonUp(flags, point);
}

void CSkinSlider::OnKeyDown(UINT, UINT, UINT) {
    Default();
    Report(TB_ENDTRACK);
}

BOOL CSkinSlider::OnMouseWheel(UINT, short, POINT) {
    const BOOL result = BOOL(Default());
    Report(TB_ENDTRACK);
    return result;
}
