#include "skin/BitmapSlider.h"

#include <algorithm>

#include "skin/SkinBitmaps.h"
#include "skin/SkinControl.h"
#include "skin/SkinPixels.h"

void CBitmapSlider::SetPieces(skin::OwnedBitmap background, skin::OwnedBitmap thumb,
                              skin::OwnedBitmap pressed_thumb) {
    m_background.SetSource(0, std::move(background));
    m_thumb = std::move(thumb);
    m_pressedThumb = std::move(pressed_thumb);
    if (m_hWnd) Invalidate(FALSE);
}

RECT CBitmapSlider::ThumbRect() const {
    RECT track{};
    GetThumbRect(&track);
    const SIZE size = skin::BitmapSize(m_thumb.Get());
    if (GetWindowLongW(m_hWnd, GWL_STYLE) & skin::kTrackbarVertical) {
        const int top = std::max(0, int(track.top + (track.bottom - track.top) / 2 - size.cy / 2));
        return RECT{0, top, size.cx, top + size.cy};
    }
    const int left = track.left + (track.right - track.left) / 2 - size.cx / 2;
    return RECT{left, 0, left + size.cx, size.cy};
}

void CBitmapSlider::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    RECT client;
    GetClientRect(&client);
    if (client.right > 0 && client.bottom > 0) {
        m_background.Refresh(skin::detail::ParentColorIndex(m_hWnd));
        skin::OwnedBitmap buffer(skin::MakeBitmap(skin::PixelImage(client.right, client.bottom)));
        skin::MemoryDC memory(buffer.Get());
        skin::DrawBitmapPart(memory.Get(), 0, 0, client.right, client.bottom, m_background.Tinted(0));
        const RECT thumb = ThumbRect();
        skin::DrawBitmap(memory.Get(), thumb.left, thumb.top, m_thumbPressed ? m_pressedThumb.Get() : m_thumb.Get());
        BitBlt(dc, 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
    }
    EndPaint(m_hWnd, &ps);
}

void CBitmapSlider::OnLButtonDown(UINT, POINT point) {
    Default();
    const RECT thumb = ThumbRect();
    m_thumbPressed = PtInRect(&thumb, point);
    Invalidate(FALSE);
}

void CBitmapSlider::OnLButtonUp(UINT, POINT) {
    Default();
    m_thumbPressed = false;
    Invalidate(FALSE);
}

void CBitmapSlider::OnMouseMove(UINT, POINT) {
    Default();
    if (m_thumbPressed) Invalidate(FALSE);
}

// The capture has gone elsewhere by now: the thumb cannot stay held.
void CBitmapSlider::OnCaptureChanged(HWND) {
    Default();
    if (!m_thumbPressed) return;
    if (GetCapture() != m_hWnd) m_thumbPressed = false;
    Invalidate(FALSE);
}
