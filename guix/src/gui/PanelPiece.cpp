#include "PanelPiece.h"

namespace {

bool SamePlace(const PanelPiece& a, const PanelPiece& b) { return a.images == b.images && a.x == b.x && a.y == b.y; }

}  // namespace

RECT ChangedArea(const PanelPieces& shown, const PanelPieces& next, const RECT& client) {
    if (shown.size() != next.size()) return client;
    RECT area{};
    for (std::size_t i = 0; i < next.size(); ++i) {
        if (!SamePlace(shown[i], next[i])) return client;
        if (shown[i] == next[i]) continue;
        UnionRect(&area, &area, &shown[i].bounds);
        UnionRect(&area, &area, &next[i].bounds);
    }
    return area;
}
