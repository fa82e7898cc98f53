// Where a moved window snaps to, and the steps of the slide out and back in.
#include <gtest/gtest.h>

#include "skin/SkinDock.h"

using namespace skin;

namespace {

constexpr RECT kWork{0, 0, 1920, 1040};

RECT At(int x, int y, int w = 200, int h = 60) { return RECT{x, y, x + w, y + h}; }

}  // namespace

TEST(SkinSnapping, EachEdgeWithinTheDistanceIsTaken) {
    struct Case {
        RECT proposed;
        RECT landed;
        int edge;
    } cases[] = {
        {At(15, 500), At(0, 500), kEdgeLeft},          // 15 away: inclusive
        {At(-15, 500), At(0, 500), kEdgeLeft},         // past the edge
        {At(16, 500), At(16, 500), kEdgeNone},
        {At(700, 12), At(700, 0), kEdgeTop},
        {At(700, 1040 - 60 + 15), At(700, 980), kEdgeBottom},
        {At(1920 - 200 - 15, 300), At(1720, 300), kEdgeRight},
        {At(900, 400), At(900, 400), kEdgeNone},
    };
    for (const Case& c : cases) {
        const SnapResult r = SnapToWorkArea(c.proposed, kWork, 15, true);
        EXPECT_EQ(r.rect, c.landed) << c.proposed.left << "," << c.proposed.top;
        EXPECT_EQ(r.edge, c.edge) << c.proposed.left << "," << c.proposed.top;
    }
}

TEST(SkinSnapping, InACornerTheLaterEdgeWins) {
    struct Case {
        RECT proposed;
        RECT landed;
        int edge;
    } cases[] = {
        {At(10, 10), At(0, 0), kEdgeTop},
        {At(10, 975), At(0, 980), kEdgeBottom},
        {At(1715, 8), At(1720, 0), kEdgeRight},
        {At(1715, 975), At(1720, 980), kEdgeRight},
    };
    for (const Case& c : cases) {
        const SnapResult r = SnapToWorkArea(c.proposed, kWork, 15, true);
        EXPECT_EQ(r.rect, c.landed);
        EXPECT_EQ(r.edge, c.edge);
    }
}

TEST(SkinSnapping, AHiddenWindowIsPlacedButNotDocked) {
    const SnapResult r = SnapToWorkArea(At(5, 500), kWork, 15, false);
    EXPECT_EQ(r.rect, At(0, 500));
    EXPECT_EQ(r.edge, kEdgeNone);
}

TEST(SkinSliding, A200By60SkinAtTheLeftSlidesOutIn33StepsAndBackIn17) {
    const RECT docked = At(0, 300);
    const std::vector<RECT> out = SlideOutSteps(docked, kEdgeLeft, 200, 60);
    ASSERT_EQ(out.size(), 33u);
    for (std::size_t i = 0; i + 1 < out.size(); ++i) EXPECT_EQ(out[i].right, 200 - 6 * int(i + 1));
    EXPECT_EQ(out.back(), (RECT{0, 300, 3, 360})) << "the last step stops at 3 pixels";

    const std::vector<RECT> in = SlideInSteps(out.back(), kEdgeLeft, 200, 60);
    ASSERT_EQ(in.size(), 17u);
    for (std::size_t i = 0; i + 1 < in.size(); ++i) EXPECT_EQ(in[i].right, 3 + 11 * int(i + 1));
    EXPECT_EQ(in[15].right, 179);
    EXPECT_EQ(in.back(), docked) << "the last step jumps to the full width";
}

TEST(SkinSliding, RightAndBottomEdgesKeepTheirOuterSide) {
    const RECT right = At(1720, 300);
    const std::vector<RECT> out = SlideOutSteps(right, kEdgeRight, 200, 60);
    ASSERT_EQ(out.size(), 33u);
    EXPECT_EQ(out.back(), (RECT{1917, 300, 1920, 360}));
    const std::vector<RECT> in = SlideInSteps(out.back(), kEdgeRight, 200, 60);
    ASSERT_EQ(in.size(), 17u);
    EXPECT_EQ(in.back(), right);

    const RECT bottom = At(700, 980);
    const std::vector<RECT> down = SlideOutSteps(bottom, kEdgeBottom, 200, 60);
    ASSERT_EQ(down.size(), 19u) << "steps of 60 / 20 = 3";
    EXPECT_EQ(down.back(), (RECT{700, 1037, 900, 1040}));
    const std::vector<RECT> up = SlideInSteps(down.back(), kEdgeBottom, 200, 60);
    ASSERT_EQ(up.size(), 8u) << "steps of 60 / 10 + 1 = 7";
    EXPECT_EQ(up.back(), bottom);
}

TEST(SkinSliding, TheTopEdgeDoesNotMove) {
    EXPECT_TRUE(SlideOutSteps(At(0, 0), kEdgeTop, 200, 60).empty());
    EXPECT_TRUE(SlideInSteps(At(0, 0, 200, 3), kEdgeTop, 200, 60).empty());
    EXPECT_TRUE(SlideOutSteps(At(0, 0), kEdgeNone, 200, 60).empty());
}

TEST(SkinSliding, SmallSkinsSlideOnePixelAStep) {
    const std::vector<RECT> out = SlideOutSteps(At(0, 0, 20, 10), kEdgeLeft, 20, 10);
    ASSERT_EQ(out.size(), 17u) << "20 / 30 is 0: one pixel a step, down to 3";
    EXPECT_EQ(out.back().right, 3);
    const std::vector<RECT> down = SlideOutSteps(At(0, 100, 20, 10), kEdgeBottom, 20, 10);
    ASSERT_EQ(down.size(), 7u);
    EXPECT_EQ(down.back().top, 107);
    const std::vector<RECT> in = SlideInSteps(out.back(), kEdgeLeft, 20, 10);
    EXPECT_EQ(in.back().right, 20);
}
