// A region: a set of pixels stored as y-x banded rectangles (sorted by top,
// then left, no overlaps, identical neighbouring bands merged). Window
// shapes, clipping, update areas and hit tests all use it.
#pragma once

#include <span>
#include <vector>

#include "ui/rect.h"

namespace plat::ui {

class Region {
public:
    Region() = default;
    explicit Region(const RECT& rect);
    // The union of any rectangles, overlapping or not; empty ones are skipped.
    static Region FromRects(std::span<const RECT> rects);
    // RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF; RGN_COPY returns a.
    static Region Combine(const Region& a, const Region& b, int mode);

    bool IsEmpty() const { return m_rects.empty(); }
    RECT Bounds() const;
    bool Contains(POINT p) const;
    bool Intersects(const RECT& r) const;
    // Whether every pixel of `r` (not empty) is in the region.
    bool Covers(const RECT& r) const;
    // NULLREGION, SIMPLEREGION or COMPLEXREGION.
    int Kind() const;
    void Offset(int dx, int dy);
    const std::vector<RECT>& Rects() const { return m_rects; }

    Region Intersected(const RECT& r) const { return Combine(*this, Region(r), 1 /* RGN_AND */); }
    bool operator==(const Region& other) const;

private:
    std::vector<RECT> m_rects;
};

}  // namespace plat::ui
