#include "skin/SkinProgress.h"

#include "skin/SkinBitmaps.h"
#include "skin/SkinDialog.h"

void CSkinProgress::SetImages(const RECT& rect, HBITMAP empty, HBITMAP filled) {
    m_pieces.SetSource(std::size_t(ButtonLook::Normal), skin::CutPiece(empty, rect));
    m_pieces.SetSource(std::size_t(ButtonLook::Pressed), skin::CutPiece(filled, rect));
    DropFrameStyles();
    Invalidate(FALSE);
}

void CSkinProgress::OnLButtonUp(UINT, POINT point) {
    Default();
    Invalidate(FALSE);
    RECT client;
    GetClientRect(&client);
    if (!PtInRect(&client, point)) return;
    if (CSkinDialog* dialog = Dialog()) dialog->OnSkinProgressIndex(Index());
}

void CSkinProgress::OnMouseMove(UINT flags, POINT point) {
    CBitmapProgress::OnMouseMove(flags, point);
    if (CSkinDialog* dialog = Dialog()) dialog->OnSkinMouseMove(Name(), point.x, point.y);
}
