#include "skin/SkinButton.h"

#include "skin/SkinBitmaps.h"
#include "skin/SkinDialog.h"

namespace {

RECT RectInParent(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

void CSkinButton::SetImages(const RECT& rect, HBITMAP normal, HBITMAP hover, HBITMAP pressed, HBITMAP disabled) {
    SetPieces(skin::CutPiece(normal, rect), skin::CutPiece(hover, rect), skin::CutPiece(pressed, rect),
              skin::CutPiece(disabled, rect));
    DropFrameStyles();
}

void CSkinButton::DrawItem(DRAWITEMSTRUCT* dis) {
    CBitmapBtn::DrawItem(dis);
    RepaintLabels();
}

void CSkinButton::ShowLabelsHovered(bool hovered) {
    CSkinDialog* dialog = Dialog();
    if (!dialog) return;
    const HBITMAP image = dialog->Image(CSkinDialog::ImageSet::Primary,
                                        hovered ? skin::SkinRole::Hover : skin::SkinRole::Face);
    for (CSkinLabel* label : dialog->LabelsInside(RectInParent(m_hWnd))) {
        label->SetBackground(RectInParent(label->m_hWnd), image);
        label->Invalidate(FALSE);
    }
}

// At once, inside the button's paint: children share one surface, so a
// caption painted before its button would be covered until a later paint.
void CSkinButton::RepaintLabels() {
    if (CSkinDialog* dialog = Dialog())
        for (CSkinLabel* label : dialog->LabelsInside(RectInParent(m_hWnd))) {
            label->Invalidate(FALSE);
            UpdateWindow(label->m_hWnd);
        }
}

void CSkinButton::OnMouseMove(UINT flags, POINT point) {
    if (CSkinDialog* dialog = Dialog()) dialog->OnSkinMouseMove(Name(), point.x, point.y);
    const bool was_hovered = IsHovered();
    CBitmapBtn::OnMouseMove(flags, point);
    // The pieces are cut again only when the hover state changed; the
    // labels show the same either way.
    if (IsHovered() != was_hovered) ShowLabelsHovered(IsHovered());
}

void CSkinButton::OnLButtonDown(UINT, POINT) {
    Default();
    ShowLabelsHovered(false);
    if (CSkinDialog* dialog = Dialog()) dialog->Invalidate(FALSE);
}

void CSkinButton::OnLButtonUp(UINT, POINT point) {
    RECT client;
    GetClientRect(&client);
    if (PtInRect(&client, point)) {
        SetHover(false);
        ShowLabelsHovered(false);
        Invalidate(FALSE);
        if (CSkinDialog* dialog = Dialog()) dialog->OnSkinButtonIndex(Index());
        if (!m_hWnd) return;  // the click closed the dialog
    }
    Default();
}

void CSkinButton::OnKillFocus(HWND next) {
    CBitmapBtn::OnKillFocus(next);
    ShowLabelsHovered(false);
}
