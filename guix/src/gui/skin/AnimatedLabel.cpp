#include "skin/AnimatedLabel.h"

#include <algorithm>
#include <climits>

#include "base/thread.h"
#include "skin/SkinBitmaps.h"
#include "skin/SkinFont.h"
#include "skin/SkinPixels.h"
#include "ui/registered_messages.h"

namespace {

// The text change a label gets from another thread.
UINT ApplyTextMessage() {
    static const UINT message = RegisterWindowMessageW(u"LumexSkinLabelText");
    return message;
}

}  // namespace

std::u16string ScrolledText(const std::u16string& text, int offset, int capacity) {
    if (int(text.size()) <= capacity) return text;
    std::u16string shown = text.substr(std::min(text.size(), std::size_t(std::max(offset, 0))));
    while (int(shown.size()) < capacity) shown += u" - " + text;
    return shown;
}

CAnimatedLabel::CAnimatedLabel() : m_font(skin::CopyFont(nullptr)) {}

void CAnimatedLabel::SetText(std::u16string_view text) {
    {
        std::lock_guard lock(m_textMutex);
        m_text.assign(text);
    }
    if (!m_hWnd) return;
    if (GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId()) ApplyText();
    else PostMessage(ApplyTextMessage());
}

std::u16string CAnimatedLabel::GetText() const {
    std::lock_guard lock(m_textMutex);
    return m_text;
}

void CAnimatedLabel::SetFont(HFONT font) {
    m_font = skin::CopyFont(font);
    if (m_hWnd) ApplyText();
}

int CAnimatedLabel::MeasureCapacity() const {
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    skin::MemoryDC dc;
    HGDIOBJ previous = SelectObject(dc.Get(), m_font.Get());
    SIZE w{};
    GetTextExtentPoint32W(dc.Get(), u"W", 1, &w);
    SelectObject(dc.Get(), previous);
    // Without a measurable font nothing is too long to show.
    return w.cx > 0 ? int(client.right) * 2 / int(w.cx) : INT_MAX;
}

void CAnimatedLabel::ApplyText() {
    const std::u16string text = GetText();
    SetWindowText(text.c_str());
    if (m_scrolling) KillTimer(kScrollTimer);
    m_capacity = MeasureCapacity();
    m_scrolling = int(text.size()) > m_capacity;
    if (m_scrolling) SetTimer(kScrollTimer, kScrollMs);
    m_offset = 0;
    Invalidate(FALSE);
}

LRESULT CAnimatedLabel::WindowProc(UINT message, WPARAM wp, LPARAM lp) {
    if (message == ApplyTextMessage()) {
        ApplyText();
        return 0;
    }
    return CBitmapBtn::WindowProc(message, wp, lp);
}

void CAnimatedLabel::OnTimer(UINT_PTR id) {
    if (id != kScrollTimer) return CBitmapBtn::OnTimer(id);
    if (++m_offset > int(GetText().size())) m_offset = 0;
    Invalidate(FALSE);
}

void CAnimatedLabel::DrawItem(DRAWITEMSTRUCT* dis) {
    RECT client;
    GetClientRect(&client);
    if (client.right <= 0 || client.bottom <= 0) return;
    RefreshTint();
    skin::OwnedBitmap buffer(skin::MakeBitmap(skin::PixelImage(client.right, client.bottom)));
    skin::MemoryDC memory(buffer.Get());
    skin::DrawBitmap(memory.Get(), 0, 0, m_pieces.Tinted(std::size_t(ButtonLook::Normal)));
    const std::u16string text = GetText();
    const std::u16string shown = ScrolledText(text, m_offset, m_capacity);
    HGDIOBJ previous = SelectObject(memory.Get(), m_font.Get());
    SetBkMode(memory.Get(), TRANSPARENT);
    ::SetTextColor(memory.Get(), m_colour);
    DrawTextW(memory.Get(), shown.c_str(), int(shown.size()), &client,
              int(text.size()) > m_capacity ? kScrollFormat : kFitFormat);
    SelectObject(memory.Get(), previous);
    BitBlt(dis->hDC, 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
}
