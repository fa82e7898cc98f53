#include <gtest/gtest.h>

#include <cstring>

#include "ui/ui.h"

namespace {

// A strip of `count` images of 4 x 4, image i filled with colours[i], as a
// top-down 32-bit DIB with the given alpha byte.
HBITMAP Strip(const std::vector<std::uint32_t>& colours, std::uint8_t alpha) {
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = LONG(4 * colours.size());
    bi.bmiHeader.biHeight = -4;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* px = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < 4; ++y)
        for (std::size_t x = 0; x < 4 * colours.size(); ++x)
            px[y * 4 * colours.size() + x] = colours[x / 4] | (std::uint32_t(alpha) << 24);
    return bm;
}

class ImageListTest : public ::testing::Test {
protected:
    void SetUp() override {
        dc = CreateCompatibleDC(nullptr);
        target = CreateBitmap(16, 16, 1, 32, nullptr);
        SelectObject(dc, target);
        RECT all{0, 0, 16, 16};
        HBRUSH bg = CreateSolidBrush(RGB(0, 255, 0));
        FillRect(dc, &all, bg);
        DeleteObject(bg);
    }
    void TearDown() override {
        DeleteDC(dc);
        DeleteObject(target);
    }
    HDC dc = nullptr;
    HBITMAP target = nullptr;
};

TEST_F(ImageListTest, StripIsCutIntoImagesDrawnThroughTheirMask) {
    HIMAGELIST list = ImageList_Create(4, 4, ILC_COLOR32 | ILC_MASK, 3, 0);
    HBITMAP strip = Strip({0xFF0000, 0x0000FF, 0xFFFFFF}, 0);
    // Mask: the left column of every image is transparent.
    std::vector<std::uint8_t> maskBits(2 * 4, 0);  // 12 pixels wide, rows of 2 bytes
    for (int y = 0; y < 4; ++y) maskBits[y * 2] = 0x88, maskBits[y * 2 + 1] = 0x80;
    HBITMAP mask = CreateBitmap(12, 4, 1, 1, maskBits.data());
    EXPECT_EQ(ImageList_Add(list, strip, mask), 0);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list, &cx, &cy);
    EXPECT_EQ(cx, 4);

    ASSERT_TRUE(ImageList_Draw(list, 1, dc, 6, 6, ILD_NORMAL));
    EXPECT_EQ(GetPixel(dc, 6, 6), RGB(0, 255, 0)) << "masked column keeps the background";
    EXPECT_EQ(GetPixel(dc, 7, 7), RGB(0, 0, 255)) << "image 1 is blue";
    EXPECT_EQ(GetPixel(dc, 10, 7), RGB(0, 255, 0)) << "nothing beyond the image";
    EXPECT_FALSE(ImageList_Draw(list, 3, dc, 0, 0, ILD_NORMAL));
    EXPECT_EQ(ImageList_AddMasked(list, strip, RGB(255, 255, 255)), 3);
    ASSERT_TRUE(ImageList_Draw(list, 5, dc, 0, 0, ILD_TRANSPARENT));
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 255, 0)) << "white is the mask colour";
    EXPECT_TRUE(ImageList_Remove(list, -1));
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    ImageList_Destroy(list);
    DeleteObject(strip);
    DeleteObject(mask);
}

TEST_F(ImageListTest, ThirtyTwoBitImagesWithAlphaBlend) {
    HIMAGELIST list = ImageList_Create(4, 4, ILC_COLOR32 | ILC_MASK, 1, 0);
    HBITMAP strip = Strip({0x00000000}, 0x80);  // premultiplied half-transparent black
    ImageList_Add(list, strip, nullptr);
    ImageList_Draw(list, 0, dc, 0, 0, ILD_NORMAL);
    const COLORREF p = GetPixel(dc, 1, 1);
    EXPECT_NEAR(int(GetGValue(p)), 127, 2);
    ImageList_Destroy(list);
    DeleteObject(strip);
}

TEST_F(ImageListTest, IconsDrawThroughTheirMask) {
    HBITMAP colour = Strip({0xFF0000}, 0);
    const std::uint8_t maskBits[8] = {0x80, 0, 0, 0, 0, 0, 0, 0};  // top-left pixel transparent
    HBITMAP mask = CreateBitmap(4, 4, 1, 1, maskBits);
    ICONINFO ii;
    ii.hbmColor = colour;
    ii.hbmMask = mask;
    HICON icon = CreateIconIndirect(&ii);
    ASSERT_NE(icon, nullptr);
    DeleteObject(colour);  // the icon keeps its own copy
    ASSERT_TRUE(DrawIcon(dc, 2, 2, icon));
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 255, 0)) << "where the mask is set the colour is XORed onto the destination";
    EXPECT_EQ(GetPixel(dc, 3, 3), RGB(255, 0, 0));
    ICONINFO back;
    ASSERT_TRUE(GetIconInfo(icon, &back));
    BITMAP bm;
    GetObjectW(back.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 4);
    DeleteObject(back.hbmColor);
    DeleteObject(back.hbmMask);
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    DeleteObject(mask);
}

}  // namespace
