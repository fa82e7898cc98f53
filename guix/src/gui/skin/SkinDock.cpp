#include "skin/SkinDock.h"

#include <algorithm>
#include <cstdlib>

namespace skin {
namespace {

constexpr int kStrip = 3;  // what stays of a slid-out window

bool Near(int value, int target, int distance) { return std::abs(value - target) <= distance; }

int Step(int size, int divisor, int extra) { return std::max(1, size / divisor + extra); }

}  // namespace

SnapResult SnapToWorkArea(const RECT& proposed, const RECT& work, int distance, bool visible) {
    SnapResult out{proposed, kEdgeNone};
    const int width = proposed.right - proposed.left;
    const int height = proposed.bottom - proposed.top;
    RECT& r = out.rect;
    auto dock = [&](int edge) {
        if (visible) out.edge = edge;
    };
    if (Near(r.left, work.left, distance)) {
        r.left = work.left;
        dock(kEdgeLeft);
    }
    if (Near(r.top, work.top, distance)) {
        r.top = work.top;
        dock(kEdgeTop);
    }
    if (Near(r.top + height, work.bottom, distance)) {
        r.top = work.bottom - height;
        dock(kEdgeBottom);
    }
    if (Near(r.left + width, work.right, distance)) {
        r.left = work.right - width;
        dock(kEdgeRight);
    }
    r.right = r.left + width;
    r.bottom = r.top + height;
    return out;
}

std::vector<RECT> SlideOutSteps(const RECT& start, int edge, int skin_width, int skin_height) {
    std::vector<RECT> steps;
    RECT r = start;
    switch (edge) {
        case kEdgeLeft: {
            const int step = Step(skin_width, 30, 0);
            while (r.right > r.left + kStrip) {
                r.right = std::max(r.right - step, r.left + kStrip);
                steps.push_back(r);
            }
            break;
        }
        case kEdgeRight: {
            const int step = Step(skin_width, 30, 0);
            while (r.left < r.right - kStrip) {
                r.left += step;
                if (r.left > r.right - step) r.left = r.right - kStrip;
                steps.push_back(r);
            }
            break;
        }
        case kEdgeBottom: {
            const int step = Step(skin_height, 20, 0);
            while (r.top < r.bottom - kStrip) {
                r.top += step;
                if (r.top > r.bottom - step) r.top = r.bottom - kStrip;
                steps.push_back(r);
            }
            break;
        }
        default: break;  // the top edge does not move
    }
    return steps;
}

std::vector<RECT> SlideInSteps(const RECT& start, int edge, int skin_width, int skin_height) {
    std::vector<RECT> steps;
    RECT r = start;
    switch (edge) {
        case kEdgeLeft: {
            const int step = Step(skin_width, 20, 1);
            while (r.right < r.left + skin_width) {
                r.right += step;
                if (r.right - r.left > skin_width - step) r.right = r.left + skin_width;
                steps.push_back(r);
            }
            break;
        }
        case kEdgeRight: {
            const int step = Step(skin_width, 20, 1);
            while (r.left > r.right - skin_width) {
                r.left -= step;
                if (r.right - r.left > skin_width - step) r.left = r.right - skin_width;
                steps.push_back(r);
            }
            break;
        }
        case kEdgeBottom: {
            const int step = Step(skin_height, 10, 1);
            while (r.top > r.bottom - skin_height) {
                r.top -= step;
                if (r.bottom - r.top > skin_height - step) r.top = r.bottom - skin_height;
                steps.push_back(r);
            }
            break;
        }
        default: break;
    }
    return steps;
}

}  // namespace skin
