// The geometry of snapping and auto-hiding, apart from any window: where a
// moved window lands near the edges of a work area, and the rectangles a
// docked window passes through as it slides out of sight and back.
//
// Snapping: each test is inclusive on both sides of the snap distance and
// later tests win, so a window in a corner takes the edge of the last one
// that matched: top-left gives the top, bottom-left the bottom, top-right
// and bottom-right the right. A window that is not visible is placed the
// same way but is not docked.
//
// Sliding out leaves a strip of 3 pixels at the edge; the step is the skin
// width / 30 at the left and right edges and the skin height / 20 at the
// bottom. Sliding in grows back to the skin's size in steps of width / 20 + 1
// (height / 10 + 1 at the bottom), and the last step jumps to the full size
// once less than a step is missing. Every step is at least 1 pixel, so
// skins narrower than 30 or lower than 20 pixels slide too. At the top edge
// nothing moves. So a 200 x 60 skin at the left edge slides out in 33 steps
// of 6 pixels, the last one stopping at 3, and back in 17 steps of 11, the
// last one from 179 to 200.
#pragma once

#include <vector>

#include "ui/ui.h"

namespace skin {

enum DockEdge : int { kEdgeNone = 0, kEdgeLeft = 1, kEdgeTop = 2, kEdgeRight = 3, kEdgeBottom = 4 };

struct SnapResult {
    RECT rect{};
    int edge = kEdgeNone;  // kEdgeNone when not docked
};

SnapResult SnapToWorkArea(const RECT& proposed, const RECT& work, int distance, bool visible);

// The rectangle after each step, from `start` (the docked window).
std::vector<RECT> SlideOutSteps(const RECT& start, int edge, int skin_width, int skin_height);
// The rectangle after each step, from `start` (the slid-out window).
std::vector<RECT> SlideInSteps(const RECT& start, int edge, int skin_width, int skin_height);

}  // namespace skin
