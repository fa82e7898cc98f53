#include "skin/BitmapProgress.h"

#include "skin/SkinBitmaps.h"

void CBitmapProgress::SetPos(int percent) {
    if (percent == m_pos) return;
    m_pos = unsigned(percent) > 100u ? 100 : percent;
    if (m_hWnd) Invalidate(FALSE);
}

void CBitmapProgress::DrawItem(DRAWITEMSTRUCT* dis) {
    RefreshTint();
    RECT client;
    GetClientRect(&client);
    const int pos = m_pos;
    skin::DrawBitmapPart(dis->hDC, 0, 0, client.right, client.bottom,
                         m_pieces.Tinted(std::size_t(ButtonLook::Normal)));
    const int width = m_alongHeight ? client.right : client.right * pos / 100;
    const int height = m_alongHeight ? client.bottom * pos / 100 : client.bottom;
    skin::DrawBitmapPart(dis->hDC, 0, 0, width, height, m_pieces.Tinted(std::size_t(ButtonLook::Pressed)));
}

void CBitmapProgress::OnLButtonDown(UINT, POINT) { Invalidate(FALSE); }
