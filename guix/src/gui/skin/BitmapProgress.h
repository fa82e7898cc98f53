// CBitmapProgress: a progress bar drawn from two pieces, empty and filled
// (the bitmap button's normal and pressed pieces, tinted like them). The
// empty piece covers the whole bar; the top-left part of the filled piece
// covers position percent of it: client width x position / 100 columns, or
// with the fill along the height client height x position / 100 rows.
//
// SetPos clamps as an unsigned number: above 100 (negative values too)
// counts as 100; the current value changes nothing and does not repaint.
//
// Thread rule: SetPos may be called from any thread (it stores and
// invalidates); the rest runs on the GUI thread.
#pragma once

#include <atomic>

#include "skin/BitmapBtn.h"

class CBitmapProgress : public CBitmapBtn {
public:
    void SetPos(int percent);
    int GetPos() const { return m_pos; }
    void SetFillAlongHeight(bool along_height) { m_alongHeight = along_height; }
    bool FillsAlongHeight() const { return m_alongHeight; }

    void DrawItem(DRAWITEMSTRUCT* dis) override;

protected:
    // Pressing only repaints: a progress bar is no push button.
    void OnLButtonDown(UINT flags, POINT point) override;

private:
    std::atomic<int> m_pos{0};
    bool m_alongHeight = false;
};
