// CAnimatedLabel: a label drawn on a background piece (the bitmap button's
// normal piece, tinted like it) whose text scrolls when it does not fit.
//
// Its capacity is (client width x 2) / the width of "W" in its font, in
// characters. A text longer than that scrolls: timer 1 moves the offset on
// by one character every 200 ms, back to 0 once it passes the text's
// length, and the text shown is the text without its first `offset`
// characters followed by " - " and the whole text as often as needed to
// fill the capacity, drawn top-aligned (DT_EXPANDTABS | DT_VCENTER without
// DT_SINGLELINE). A text that fits is drawn on one line, centred vertically.
// The background is transparent; the font starts as a copy of the system's
// default GUI font.
//
// Thread rule: SetText and SetTextColor may be called from any thread: they
// store the value and invalidate; a text change from another thread reaches
// the label's thread as a posted message, where the window text, capacity
// and timer follow. Everything else runs on the GUI thread.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

#include "skin/BitmapBtn.h"
#include "skin/GdiHandle.h"

// The text shown at `offset` (see above); the text itself when it fits.
std::u16string ScrolledText(const std::u16string& text, int offset, int capacity);

class CAnimatedLabel : public CBitmapBtn {
public:
    static constexpr UINT_PTR kScrollTimer = 1;
    static constexpr UINT kScrollMs = 200;
    static constexpr UINT kFitFormat = DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER;
    static constexpr UINT kScrollFormat = DT_EXPANDTABS | DT_VCENTER;

    CAnimatedLabel();

    void SetText(std::u16string_view text);
    std::u16string GetText() const;
    void SetTextColor(COLORREF colour) { m_colour = colour; }
    COLORREF GetTextColor() const { return m_colour; }
    // Copies the font.
    void SetFont(HFONT font);
    HFONT GetFont() const { return m_font.Get(); }

    int Capacity() const { return m_capacity; }
    int Offset() const { return m_offset; }
    bool IsScrolling() const { return m_scrolling; }

    void DrawItem(DRAWITEMSTRUCT* dis) override;
    LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override;

protected:
    void OnTimer(UINT_PTR id) override;

private:
    // On the label's thread: window text, capacity, scroll timer, repaint.
    void ApplyText();
    int MeasureCapacity() const;

    mutable std::mutex m_textMutex;
    std::u16string m_text;  // guarded by m_textMutex
    std::atomic<COLORREF> m_colour{0};
    skin::OwnedFont m_font;
    int m_offset = 0;
    int m_capacity = 0;
    bool m_scrolling = false;
};
