// The window shape built from a mask: runs of window pixels per row,
// regions combined every 2,000 rectangles.
#include <gtest/gtest.h>

#include <vector>

#include "skin/SkinPixels.h"
#include "skin/SkinRegion.h"

using namespace skin;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kGrey = 0x808080;

std::vector<RECT> RectsOf(HRGN region) {
    const DWORD size = GetRegionData(region, 0, nullptr);
    std::vector<std::uint8_t> data(size);
    auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
    GetRegionData(region, size, rgn);
    const RECT* first = reinterpret_cast<const RECT*>(data.data() + rgn->rdh.dwSize);
    return std::vector<RECT>(first, first + rgn->rdh.nCount);
}

// A region made directly from rectangles, to compare with.
OwnedRegion UnionOf(const std::vector<RECT>& rects) {
    OwnedRegion result(CreateRectRgn(0, 0, 0, 0));
    for (const RECT& r : rects) {
        OwnedRegion part(CreateRectRgnIndirect(&r));
        CombineRgn(result.Get(), result.Get(), part.Get(), RGN_OR);
    }
    return result;
}

}  // namespace

TEST(SkinRegionRuns, EachRunOfWindowPixelsIsOneRectangle) {
    PixelImage mask(5, 3);
    for (int y = 0; y < 3; ++y) {
        const std::uint32_t row[5] = {kWhite, kGrey, kGrey, kWhite, kGrey};
        for (int x = 0; x < 5; ++x) mask.At(x, y) = row[x];
    }
    OwnedRegion region = RegionFromPixels(mask);
    ASSERT_TRUE(region);
    const std::vector<RECT> rects = RectsOf(region.Get());
    ASSERT_EQ(rects.size(), 2u) << "the rows share their bands";
    EXPECT_EQ(rects[0], (RECT{1, 0, 3, 3}));
    EXPECT_EQ(rects[1], (RECT{4, 0, 5, 3}));
    EXPECT_FALSE(PtInRegion(region.Get(), 0, 1));
    EXPECT_FALSE(PtInRegion(region.Get(), 3, 2));
}

TEST(SkinRegionRuns, OnlyPureWhiteIsOutside) {
    PixelImage mask(4, 1);
    mask.At(0, 0) = kWhite;
    mask.At(1, 0) = 0xFEFFFF;                 // almost white: inside
    mask.At(2, 0) = 0xFF000000u | kWhite;     // white with an alpha byte: outside
    mask.At(3, 0) = 0x000000;
    OwnedRegion region = RegionFromPixels(mask);
    ASSERT_TRUE(region);
    EXPECT_EQ(RectsOf(region.Get()), (std::vector<RECT>{{1, 0, 2, 1}, {3, 0, 4, 1}}));
}

TEST(SkinRegionRuns, AMaskOfMoreThan2000RunsGivesTheUnionOfAllRuns) {
    // Every other pixel inside: 64 runs a row, 2,560 in all, with rows of
    // two patterns so bands cannot merge.
    PixelImage mask(128, 40);
    std::vector<RECT> runs;
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x) {
            const bool inside = (x + y) % 2 == 0;
            mask.At(x, y) = inside ? kGrey : kWhite;
            if (inside) runs.push_back(RECT{x, y, x + 1, y + 1});
        }
    ASSERT_GT(runs.size(), 2000u);
    OwnedRegion region = RegionFromPixels(mask);
    ASSERT_TRUE(region);
    OwnedRegion expected = UnionOf(runs);
    EXPECT_TRUE(EqualRgn(region.Get(), expected.Get()));

    // The flush size changes nothing about the result.
    OwnedRegion small_blocks = RegionFromPixels(mask, MaskKey{}, 7);
    ASSERT_TRUE(small_blocks);
    EXPECT_TRUE(EqualRgn(small_blocks.Get(), expected.Get()));
}

TEST(SkinRegionRuns, AnAllWhiteMaskGivesAnEmptyRegion) {
    PixelImage mask(20, 10);
    for (auto& p : mask.pixels) p = kWhite;
    OwnedRegion region = RegionFromPixels(mask);
    ASSERT_TRUE(region) << "an empty region, not a failure";
    RECT box;
    EXPECT_EQ(GetRgnBox(region.Get(), &box), NULLREGION);
}

TEST(SkinRegionRuns, NoBitmapGivesNoRegion) {
    EXPECT_FALSE(RegionFromMask(nullptr));
    EXPECT_FALSE(RegionFromPixels(PixelImage()));
}
