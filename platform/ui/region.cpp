#include "ui/region.h"

#include <algorithm>

#include "ui/ui_constants.h"

namespace plat::ui {
namespace {

using Spans = std::vector<std::pair<LONG, LONG>>;

// The buffers of one sweep, reused from band to band so that a sweep
// allocates only while its bands grow.
struct SweepScratch {
    std::vector<std::pair<LONG, int>> edges;
    std::vector<LONG> xs;
    Spans a, b, combined, previous;
};

// How many rectangles of `rects` cover each x of the band [y0, y1), as spans
// of non-zero coverage.
void CoverageInBand(const std::vector<RECT>& rects, LONG y0, LONG y1, SweepScratch& scratch, Spans& spans) {
    auto& edges = scratch.edges;
    edges.clear();
    spans.clear();
    for (const RECT& r : rects) {
        if (r.top <= y0 && r.bottom >= y1) {
            edges.emplace_back(r.left, +1);
            edges.emplace_back(r.right, -1);
        }
    }
    std::sort(edges.begin(), edges.end());
    int depth = 0;
    LONG start = 0;
    for (const auto& [x, delta] : edges) {
        if (depth == 0 && delta > 0) start = x;
        depth += delta;
        if (depth == 0 && x > start) {
            if (!spans.empty() && spans.back().second == start) spans.back().second = x;
            else spans.emplace_back(start, x);
        }
    }
}

bool Inside(const Spans& spans, LONG x) {
    for (const auto& [l, r] : spans)
        if (x >= l && x < r) return true;
    return false;
}

bool Apply(int mode, bool a, bool b) {
    switch (mode) {
        case RGN_AND: return a && b;
        case RGN_OR: return a || b;
        case RGN_XOR: return a != b;
        case RGN_DIFF: return a && !b;
        default: return a;
    }
}

void CombineSpans(const Spans& a, const Spans& b, int mode, SweepScratch& scratch, Spans& out) {
    auto& xs = scratch.xs;
    xs.clear();
    out.clear();
    for (const auto& [l, r] : a) xs.insert(xs.end(), {l, r});
    for (const auto& [l, r] : b) xs.insert(xs.end(), {l, r});
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
        if (!Apply(mode, Inside(a, xs[i]), Inside(b, xs[i]))) continue;
        if (!out.empty() && out.back().second == xs[i]) out.back().second = xs[i + 1];
        else out.emplace_back(xs[i], xs[i + 1]);
    }
}

// Sweeps the bands of both rectangle sets and keeps the pixels `mode` keeps.
std::vector<RECT> Sweep(const std::vector<RECT>& a, const std::vector<RECT>& b, int mode) {
    SweepScratch scratch;
    std::vector<LONG> ys;
    for (const auto* set : {&a, &b})
        for (const RECT& r : *set) ys.insert(ys.end(), {r.top, r.bottom});
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    std::vector<RECT> out;
    Spans& previous = scratch.previous;
    std::size_t previousStart = 0;
    LONG previousBottom = 0;
    for (std::size_t i = 0; i + 1 < ys.size(); ++i) {
        const LONG y0 = ys[i], y1 = ys[i + 1];
        CoverageInBand(a, y0, y1, scratch, scratch.a);
        CoverageInBand(b, y0, y1, scratch, scratch.b);
        Spans& spans = scratch.combined;
        CombineSpans(scratch.a, scratch.b, mode, scratch, spans);
        if (spans.empty()) {
            previous.clear();
            continue;
        }
        if (!previous.empty() && previousBottom == y0 && spans == previous) {
            for (std::size_t k = previousStart; k < out.size(); ++k) out[k].bottom = y1;
        } else {
            previousStart = out.size();
            for (const auto& [l, r] : spans) out.push_back(RECT{l, y0, r, y1});
            std::swap(previous, spans);
        }
        previousBottom = y1;
    }
    return out;
}

// The result of combining when one side decides it alone: an empty side,
// or sides whose bounds do not meet. Null when the bands must be swept.
const Region* DecidedAlone(const Region& a, const Region& b, int mode, const Region& empty) {
    const bool apart = a.IsEmpty() || b.IsEmpty() || Empty(Intersect(a.Bounds(), b.Bounds()));
    switch (mode) {
        case RGN_AND: return apart ? &empty : nullptr;
        case RGN_DIFF: return apart ? &a : nullptr;
        case RGN_OR:
            // Update areas grow by rectangles that often lie inside them.
            if (a.IsEmpty() || (b.Rects().size() == 1 && b.Covers(a.Bounds()))) return &b;
            if (b.IsEmpty() || (a.Rects().size() == 1 && a.Covers(b.Bounds()))) return &a;
            return nullptr;
        case RGN_XOR:
            if (a.IsEmpty()) return &b;
            if (b.IsEmpty()) return &a;
            return nullptr;
        default: return nullptr;
    }
}

}  // namespace

Region::Region(const RECT& rect) {
    if (!Empty(rect)) m_rects.push_back(rect);
}

Region Region::FromRects(std::span<const RECT> rects) {
    std::vector<RECT> input;
    for (const RECT& r : rects)
        if (!Empty(r)) input.push_back(r);
    Region region;
    region.m_rects = Sweep(input, {}, RGN_OR);
    return region;
}

Region Region::Combine(const Region& a, const Region& b, int mode) {
    if (mode == RGN_COPY) return a;
    const Region empty;
    if (const Region* decided = DecidedAlone(a, b, mode, empty)) return *decided;
    // Clipping is mostly one rectangle against another, or a control's
    // rectangle against the shape of the window it lies inside.
    if (mode == RGN_AND && a.m_rects.size() <= 1 && b.m_rects.size() <= 1) {
        if (a.m_rects.empty() || b.m_rects.empty()) return Region();
        return Region(Intersect(a.m_rects[0], b.m_rects[0]));
    }
    if (mode == RGN_AND && (a.m_rects.size() == 1 || b.m_rects.size() == 1)) {
        const Region& single = a.m_rects.size() == 1 ? a : b;
        const Region& other = a.m_rects.size() == 1 ? b : a;
        if (other.Covers(single.m_rects[0])) return single;
        const RECT bounds = other.Bounds();
        if (Intersect(bounds, single.m_rects[0]) == bounds) return other;
    }
    Region region;
    region.m_rects = Sweep(a.m_rects, b.m_rects, mode);
    return region;
}

RECT Region::Bounds() const {
    RECT bounds{};
    for (const RECT& r : m_rects) bounds = Union(bounds, r);
    return bounds;
}

bool Region::Covers(const RECT& r) const {
    if (Empty(r)) return false;
    LONG covered = r.top;  // rows above this one are covered
    for (const RECT& band : m_rects) {
        if (band.bottom <= covered || band.right <= r.left || band.left > r.left) continue;
        if (band.top > covered) return false;  // a gap between bands
        if (band.right < r.right) return false;
        covered = band.bottom;
        if (covered >= r.bottom) return true;
    }
    return false;
}

bool Region::Contains(POINT p) const {
    for (const RECT& r : m_rects) {
        if (r.top > p.y) break;
        if (plat::ui::Contains(r, p)) return true;
    }
    return false;
}

bool Region::Intersects(const RECT& rect) const {
    for (const RECT& r : m_rects)
        if (!Empty(Intersect(r, rect))) return true;
    return false;
}

int Region::Kind() const {
    if (m_rects.empty()) return NULLREGION;
    return m_rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

void Region::Offset(int dx, int dy) {
    for (RECT& r : m_rects) r = plat::ui::Offset(r, dx, dy);
}

bool Region::operator==(const Region& other) const {
    return std::equal(m_rects.begin(), m_rects.end(), other.m_rects.begin(), other.m_rects.end(),
                      [](const RECT& a, const RECT& b) { return a == b; });
}

}  // namespace plat::ui
