#include "ui/rect.h"

#include <algorithm>

namespace plat::ui {

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    return Empty(r) ? RECT{} : r;
}

RECT Union(const RECT& a, const RECT& b) {
    if (Empty(a)) return Empty(b) ? RECT{} : b;
    if (Empty(b)) return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

}  // namespace plat::ui

using namespace plat::ui;

BOOL SetRect(RECT* rc, int left, int top, int right, int bottom) {
    if (!rc) return FALSE;
    *rc = RECT{left, top, right, bottom};
    return TRUE;
}
BOOL SetRectEmpty(RECT* rc) { return SetRect(rc, 0, 0, 0, 0); }
BOOL CopyRect(RECT* dst, const RECT* src) {
    if (!dst || !src) return FALSE;
    *dst = *src;
    return TRUE;
}
BOOL IsRectEmpty(const RECT* rc) { return !rc || Empty(*rc); }
BOOL EqualRect(const RECT* a, const RECT* b) { return a && b && *a == *b; }
BOOL PtInRect(const RECT* rc, POINT pt) { return rc && Contains(*rc, pt); }
BOOL OffsetRect(RECT* rc, int dx, int dy) {
    if (!rc) return FALSE;
    *rc = Offset(*rc, dx, dy);
    return TRUE;
}
BOOL InflateRect(RECT* rc, int dx, int dy) {
    if (!rc) return FALSE;
    *rc = RECT{rc->left - dx, rc->top - dy, rc->right + dx, rc->bottom + dy};
    return TRUE;
}
BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b) return FALSE;
    *dst = Intersect(*a, *b);
    return !Empty(*dst);
}
BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b) return FALSE;
    *dst = Union(*a, *b);
    return !Empty(*dst);
}
