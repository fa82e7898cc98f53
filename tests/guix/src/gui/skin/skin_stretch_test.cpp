// Growing and shrinking skin images by repeating or dropping one column or row.
#include <gtest/gtest.h>

#include <numeric>

#include "skin/SkinBitmaps.h"
#include "skin/SkinPixels.h"
#include "skin/SkinStretch.h"

using namespace skin;

namespace {

std::vector<int> Range(int from, int to) {  // [from, to)
    std::vector<int> v(std::size_t(to - from));
    std::iota(v.begin(), v.end(), from);
    return v;
}

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// An image whose pixel values are their column (low 16 bits) and row.
PixelImage Coordinates(int width, int height) {
    PixelImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.At(x, y) = std::uint32_t(y << 16 | x);
    return image;
}

}  // namespace

TEST(SkinStretchColumns, EqualWidthKeepsEveryColumn) {
    EXPECT_EQ(StretchColumnMap(120, 120, 50), Range(0, 120));
    EXPECT_EQ(StretchRowMap(60, 60, 20), Range(0, 60));
}

TEST(SkinStretchColumns, GrowingRepeatsTheColumn) {
    const std::vector<int> map = StretchColumnMap(120, 130, 50);
    EXPECT_EQ(map, Join(Join(Range(0, 50), std::vector<int>(10, 50)), Range(50, 120)));
    EXPECT_EQ(std::count(map.begin(), map.end(), 50), 11) << "ten repeats beside the column itself";
}

TEST(SkinStretchColumns, ShrinkingDropsTheColumnsBeforeTheColumn) {
    EXPECT_EQ(StretchColumnMap(120, 110, 50), Join(Range(0, 40), Range(50, 120)));
    // More to drop than lies before the column: the dropped columns start at 0.
    EXPECT_EQ(StretchColumnMap(120, 110, 4), Range(10, 120));
    // A column beyond the image repeats its last column.
    EXPECT_EQ(StretchColumnMap(10, 12, 40), Join(Range(0, 9), {9, 9, 9}));
}

TEST(SkinStretchRows, GrowingRepeatsTheRowAndShrinkingFollowsTheRowRule) {
    EXPECT_EQ(StretchRowMap(40, 43, 20), Join(Join(Range(0, 20), {20, 20, 20}), Range(20, 40)));
    // k = 5, r = 20: r - k >= k, rows 0 .. 14 then 20 onwards.
    EXPECT_EQ(StretchRowMap(40, 35, 20), Join(Range(0, 15), Range(20, 40)));
    // k = 5, r = 8: r - k < k, the top 35 rows.
    EXPECT_EQ(StretchRowMap(40, 35, 8), Range(0, 35));
}

// The working set's stretches through the dialog are in skin_dialog_test;
// here the rows of a stretched image, which no window shows on its own.
TEST(SkinStretchImages, AStretchedImageCopiesTheMappedRows) {
    OwnedBitmap source(MakeBitmap(Coordinates(120, 40)));
    const PixelImage tall = ReadPixels(StretchToHeight(source.Get(), 42, 10).Get());
    ASSERT_EQ(tall.height, 42);
    EXPECT_EQ(tall.At(3, 12) >> 16, 10u);
    EXPECT_EQ(tall.At(3, 13) >> 16, 11u);
    EXPECT_EQ(tall.At(119, 41), std::uint32_t(39 << 16 | 119));
    EXPECT_FALSE(StretchToWidth(nullptr, 100, 5)) << "an empty slot stays empty";
}
