#include "skin/SkinLabel.h"

#include "skin/SkinBitmaps.h"
#include "skin/SkinDialog.h"

void CSkinLabel::SetBackground(const RECT& rect, HBITMAP image) {
    m_pieces.SetSource(std::size_t(ButtonLook::Normal), skin::CutPiece(image, rect));
}

void CSkinLabel::OnLButtonDown(UINT, POINT point) {
    ClientToScreen(m_hWnd, &point);
    ::PostMessageW(GetParent(), WM_NCLBUTTONDOWN, WPARAM(HTCAPTION), MAKELPARAM(point.x, point.y));
}

void CSkinLabel::OnLButtonUp(UINT, POINT) {
    Default();
    if (CSkinDialog* dialog = Dialog()) dialog->OnSkinLabelIndex(Index());
}

void CSkinLabel::OnLButtonDblClk(UINT, POINT point) {
    MapWindowPoints(m_hWnd, GetParent(), &point, 1);
    ::PostMessageW(GetParent(), WM_LBUTTONDBLCLK, 2, MAKELPARAM(point.x, point.y));
    Default();
}

void CSkinLabel::OnMouseMove(UINT flags, POINT point) {
    if (CSkinDialog* dialog = Dialog()) dialog->OnSkinMouseMove(Name(), point.x, point.y);
    CAnimatedLabel::OnMouseMove(flags, point);
}
