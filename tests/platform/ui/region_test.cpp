#include <cstring>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/region.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ui/gdi_objects.h"

using plat::ui::Region;

namespace {

std::vector<RECT> R(std::initializer_list<RECT> l) { return l; }

struct CombineCase {
    const char* name;
    int mode;
    std::vector<RECT> expected;
};

TEST(RegionCombine, ProducesBandedRectanglesForEveryMode) {
    // a = [0,10)x[0,10), b = [5,15)x[5,15)
    const Region a(RECT{0, 0, 10, 10}), b(RECT{5, 5, 15, 15});
    const CombineCase cases[] = {
        {"and", RGN_AND, R({{5, 5, 10, 10}})},
        {"or", RGN_OR, R({{0, 0, 10, 5}, {0, 5, 15, 10}, {5, 10, 15, 15}})},
        {"xor", RGN_XOR, R({{0, 0, 10, 5}, {0, 5, 5, 10}, {10, 5, 15, 10}, {5, 10, 15, 15}})},
        {"diff", RGN_DIFF, R({{0, 0, 10, 5}, {0, 5, 5, 10}})},
        {"copy", RGN_COPY, R({{0, 0, 10, 10}})},
    };
    for (const auto& c : cases) {
        const Region out = Region::Combine(a, b, c.mode);
        ASSERT_EQ(out.Rects().size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_TRUE(out.Rects()[i] == c.expected[i]) << c.name << " rect " << i;
    }
}

TEST(RegionCombine, MergesIdenticalBandsAndDropsEmptyInput) {
    const RECT parts[] = {{0, 0, 10, 5}, {0, 5, 10, 10}, {3, 3, 3, 9}};
    const Region merged = Region::FromRects(parts);
    ASSERT_EQ(merged.Rects().size(), 1u);
    EXPECT_TRUE(merged.Rects()[0] == (RECT{0, 0, 10, 10}));
    EXPECT_EQ(merged.Kind(), SIMPLEREGION);
    EXPECT_EQ(Region::Combine(merged, merged, RGN_DIFF).Kind(), NULLREGION);
}

TEST(RegionHitTest, FollowsTheShapeNotTheBounds) {
    const RECT l[] = {{0, 0, 10, 30}, {0, 20, 30, 30}};  // an L
    const Region shape = Region::FromRects(l);
    EXPECT_TRUE(shape.Bounds() == (RECT{0, 0, 30, 30}));
    EXPECT_TRUE(shape.Contains(POINT{5, 5}));
    EXPECT_TRUE(shape.Contains(POINT{25, 25}));
    EXPECT_FALSE(shape.Contains(POINT{25, 5}));
    EXPECT_FALSE(shape.Contains(POINT{10, 10}));  // right edge is outside
}

TEST(RegionHandles, ExtCreateRegionAndGetRegionDataRoundTrip) {
    struct {
        RGNDATAHEADER rdh;
        RECT rects[2];
    } data;
    data.rdh.nCount = 2;
    data.rects[0] = RECT{0, 0, 4, 4};
    data.rects[1] = RECT{10, 0, 14, 4};
    HRGN rgn = ExtCreateRegion(nullptr, sizeof data, reinterpret_cast<const RGNDATA*>(&data));
    ASSERT_NE(rgn, nullptr);
    EXPECT_TRUE(PtInRegion(rgn, 12, 2));
    EXPECT_FALSE(PtInRegion(rgn, 6, 2));

    // Too small a buffer: the size is reported and nothing is written.
    std::vector<unsigned char> buffer(sizeof data + 8, 0xCC);
    EXPECT_EQ(GetRegionData(rgn, 10, reinterpret_cast<RGNDATA*>(buffer.data())), sizeof data);
    EXPECT_EQ(buffer[0], 0xCC);
    EXPECT_EQ(GetRegionData(rgn, DWORD(buffer.size()), reinterpret_cast<RGNDATA*>(buffer.data())), sizeof data);
    EXPECT_EQ(buffer[sizeof data], 0xCC);
    HRGN copy = ExtCreateRegion(nullptr, sizeof data, reinterpret_cast<const RGNDATA*>(buffer.data()));
    EXPECT_TRUE(EqualRgn(rgn, copy));
    DeleteObject(copy);
    DeleteObject(rgn);
}

TEST(RegionHandles, RejectsCountsThatOverrunTheBuffer) {
    struct {
        RGNDATAHEADER rdh;
        RECT rects[1];
    } data;
    data.rdh.nCount = 1000;
    EXPECT_EQ(ExtCreateRegion(nullptr, sizeof data, reinterpret_cast<const RGNDATA*>(&data)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(RegionHandles, CombineRgnAndEmptyRegions) {
    HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(20, 0, 30, 10), d = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(d, a, b, RGN_OR), COMPLEXREGION);
    EXPECT_EQ(CombineRgn(d, a, b, RGN_AND), NULLREGION);
    RECT box;
    EXPECT_EQ(GetRgnBox(d, &box), NULLREGION);
    EXPECT_EQ(CombineRgn(d, a, reinterpret_cast<HRGN>(0x1234), RGN_OR), ERROR_REGION);
    for (HRGN r : {a, b, d}) DeleteObject(r);
}

}  // namespace

const Region kEmpty;

bool Keeps(int mode, bool a, bool b) {
    switch (mode) {
        case RGN_AND: return a && b;
        case RGN_OR: return a || b;
        case RGN_DIFF: return a && !b;
        default: return a != b;
    }
}

TEST(RegionCombine, RectanglesAgainstAShapeMatchThePixels) {
    // A rounded shape, as a skinned window has, and rectangles inside it,
    // across its corner, outside it and holding all of it.
    HRGN round = CreateRoundRectRgn(0, 0, 101, 61, 24, 24);
    const DWORD size = GetRegionData(round, 0, nullptr);
    std::vector<std::uint8_t> data(size);
    GetRegionData(round, size, reinterpret_cast<RGNDATA*>(data.data()));
    const auto* rd = reinterpret_cast<const RGNDATA*>(data.data());
    const auto* rects = reinterpret_cast<const RECT*>(rd->Buffer);
    const Region shape = Region::FromRects(std::span(rects, rd->rdh.nCount));
    DeleteObject(round);
    for (const RECT r : {RECT{20, 20, 60, 40}, RECT{0, 0, 10, 10}, RECT{90, 50, 130, 80}, RECT{200, 0, 210, 5},
                         RECT{-5, -5, 120, 70}, RECT{10, 0, 90, 61}}) {
        const Region single(r);
        // Every mode, both ways round, and against an empty region: the
        // shortcuts for sides that decide alone must keep the pixels a sweep keeps.
        for (const int mode : {RGN_AND, RGN_OR, RGN_DIFF, RGN_XOR}) {
            for (const auto& [a, b] : {std::pair{&single, &shape}, std::pair{&shape, &single}, std::pair{&single, &kEmpty},
                                       std::pair{&kEmpty, &shape}}) {
                const Region result = Region::Combine(*a, *b, mode);
                for (int y = -6; y < 72; ++y)
                    for (int x = -6; x < 131; ++x) {
                        const POINT p{x, y};
                        ASSERT_EQ(result.Contains(p), Keeps(mode, a->Contains(p), b->Contains(p)))
                            << x << "," << y << " mode " << mode << " in " << r.left << "," << r.top << "," << r.right
                            << "," << r.bottom;
                    }
            }
        }
        bool covered = true;
        for (int y = r.top; y < r.bottom && covered; ++y)
            for (int x = r.left; x < r.right && covered; ++x) covered = shape.Contains(POINT{x, y});
        EXPECT_EQ(shape.Covers(r), covered) << r.left << "," << r.top;
    }
}
