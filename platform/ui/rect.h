// Rectangle arithmetic of USER (SetRect, IntersectRect, PtInRect, ...).
// Rectangles are half-open: right and bottom lie outside.
#pragma once

#include "ui/ui_types.h"

BOOL SetRect(RECT* rc, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* rc);
BOOL CopyRect(RECT* dst, const RECT* src);
BOOL IsRectEmpty(const RECT* rc);
BOOL EqualRect(const RECT* a, const RECT* b);
BOOL PtInRect(const RECT* rc, POINT pt);
BOOL OffsetRect(RECT* rc, int dx, int dy);
BOOL InflateRect(RECT* rc, int dx, int dy);
// Both return FALSE and an empty result when the outcome is empty.
BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b);

namespace plat::ui {

inline LONG Width(const RECT& r) { return r.right - r.left; }
inline LONG Height(const RECT& r) { return r.bottom - r.top; }
inline bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
inline bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }
RECT Intersect(const RECT& a, const RECT& b);  // empty rectangles come back as {0,0,0,0}
RECT Union(const RECT& a, const RECT& b);
inline RECT Offset(RECT r, int dx, int dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }
}  // namespace plat::ui

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
