// The tint colour arithmetic and the tinting of grey pixels.
#include <gtest/gtest.h>

#include "skin/GdiHandle.h"
#include "skin/SkinColor.h"
#include "skin/SkinPixels.h"
#include "skin/SkinTint.h"

using namespace skin;

namespace {

constexpr std::uint32_t Rgb(int r, int g, int b) { return std::uint32_t(r << 16 | g << 8 | b); }

// A bitmap of `bpp` bits holding the given pixels in one row.
OwnedBitmap Row(int bpp, std::initializer_list<std::uint32_t> pixels) {
    OwnedBitmap bitmap(CreateBitmap(int(pixels.size()), 1, 1, UINT(bpp), nullptr));
    PixelImage image(int(pixels.size()), 1);
    std::copy(pixels.begin(), pixels.end(), image.pixels.begin());
    WritePixels(bitmap.Get(), image);
    return bitmap;
}

std::vector<std::uint32_t> Tinted(HBITMAP bitmap, int index) {
    MemoryDC dc(bitmap);
    TintBitmap(dc.Get(), index);
    std::vector<std::uint32_t> out;
    for (std::uint32_t p : ReadPixels(bitmap).pixels) out.push_back(p & 0xFFFFFF);
    return out;
}

}  // namespace

TEST(SkinTintArithmetic, HueOfAColourIndex) {
    struct Case {
        int index;
        WORD hue;
    } cases[] = {
        {16, 0},    {0, 40},    {36, 50},  // v = 20: 20 x 2.55 is just below 51
        {56, 101},  {76, 152},  {96, 203}, // every multiple of 20 alike
        {66, 127},  {116, 254},            // v = 100: 254, not 255
        {17, 2},    {15, 2},    {26, 25},
    };
    for (const Case& c : cases) EXPECT_EQ(TintHue(c.index), c.hue) << "index " << c.index;
}

TEST(SkinTintArithmetic, HlsToRgbOfThePublishedAlgorithm) {
    EXPECT_EQ(TintColor(16), RGB(255, 75, 75));
    EXPECT_EQ(TintColor(66), RGB(75, 255, 255));
    EXPECT_EQ(HlsToRgb(0, 120, 0), RGB(120, 120, 120)) << "no saturation: grey";
    EXPECT_EQ(HlsToRgb(85, 165, 255), RGB(75, 255, 75)) << "a third of the circle: green";
    EXPECT_EQ(HlsToRgb(170, 165, 255), RGB(75, 75, 255)) << "two thirds: blue";
    EXPECT_EQ(HlsToRgb(0, 100, 255), RGB(200, 0, 0)) << "lightness below the half";
    for (int index = 0; index <= 116; ++index) {
        const COLORREF c = TintColor(index);
        for (BYTE channel : {GetRValue(c), GetGValue(c), GetBValue(c)}) {
            EXPECT_GE(channel, 75) << "index " << index;
            EXPECT_LE(channel, 255) << "index " << index;
        }
    }
}

TEST(SkinTintArithmetic, HueToRgbWrapsOnceAbove255) {
    EXPECT_EQ(HueToRgb(75, 255, 0), 75);
    EXPECT_EQ(HueToRgb(75, 255, 21), 75 + (180 * 21 + 21) / 42);
    EXPECT_EQ(HueToRgb(75, 255, 127), 255);
    EXPECT_EQ(HueToRgb(75, 255, 255 + 21), HueToRgb(75, 255, 21));
    EXPECT_EQ(HueToRgb(75, 255, WORD(0 - 85)), 75) << "a hue below 0 gives the low level";
}

TEST(SkinTintBitmaps, GreyPixelsTakeTheTintByTheirLevel) {
    OwnedBitmap bitmap = Row(32, {Rgb(128, 128, 128), Rgb(0, 0, 0), Rgb(10, 200, 30), Rgb(255, 255, 255)});
    EXPECT_EQ(Tinted(bitmap.Get(), 16),
              (std::vector<std::uint32_t>{Rgb(128, 37, 37), Rgb(0, 0, 0), Rgb(10, 200, 30), Rgb(255, 75, 75)}));
}

TEST(SkinTintBitmaps, IndexZeroAndShallowBitmapsStayUntouched) {
    OwnedBitmap deep = Row(32, {Rgb(128, 128, 128), Rgb(40, 40, 40)});
    EXPECT_EQ(Tinted(deep.Get(), 0), (std::vector<std::uint32_t>{Rgb(128, 128, 128), Rgb(40, 40, 40)}));

    // 16-bit pixels keep 5 bits a channel; they stay grey, and untinted.
    OwnedBitmap shallow = Row(16, {Rgb(128, 128, 128), Rgb(64, 64, 64)});
    const PixelImage before = ReadPixels(shallow.Get());
    ASSERT_EQ(before.At(0, 0) & 0xFF, (before.At(0, 0) >> 8) & 0xFF) << "still a grey pixel";
    std::vector<std::uint32_t> expected;
    for (std::uint32_t p : before.pixels) expected.push_back(p & 0xFFFFFF);
    EXPECT_EQ(Tinted(shallow.Get(), 16), expected);
    OwnedBitmap copy = TintedCopy(shallow.Get(), 16);
    EXPECT_EQ(ReadPixels(copy.Get()).At(0, 0) & 0xFFFFFF, expected[0]);
}

TEST(SkinTintBitmaps, TheAlphaByteIsKept) {
    PixelImage image(1, 1);
    image.At(0, 0) = 0xFF000000u | Rgb(128, 128, 128);
    TintPixels(image, 16);
    EXPECT_EQ(image.At(0, 0), 0xFF000000u | Rgb(128, 37, 37));
}
