#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "ui/image_file.h"
#include "ui/ui.h"

namespace {

BITMAPINFO Info(int width, int height, int bpp) {
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biBitCount = WORD(bpp);
    return bi;
}

struct Dib {
    HBITMAP bitmap;
    std::uint8_t* bits;
};

Dib MakeDib(int width, int height, int bpp) {
    const BITMAPINFO bi = Info(width, height, bpp);
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    return Dib{bm, static_cast<std::uint8_t*>(bits)};
}

TEST(DibRoundTrip, ColoursSurviveOrQuantiseByDepth) {
    const COLORREF colours[] = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(200, 100, 50), RGB(7, 130, 250)};
    struct {
        int bpp;
        int tolerance;  // per channel
    } depths[] = {{32, 0}, {24, 0}, {16, 8}};
    for (const auto& d : depths) {
        Dib dib = MakeDib(4, 1, d.bpp);
        HDC dc = CreateCompatibleDC(nullptr);
        SelectObject(dc, dib.bitmap);
        for (int x = 0; x < 4; ++x) SetPixel(dc, x, 0, colours[x]);
        for (int x = 0; x < 4; ++x) {
            const COLORREF got = GetPixel(dc, x, 0);
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(int((got >> shift) & 255), int((colours[x] >> shift) & 255), d.tolerance)
                    << d.bpp << " bpp, pixel " << x;
        }
        EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255)) << "white stays white at " << d.bpp;
        DeleteDC(dc);
        DeleteObject(dib.bitmap);
    }
}

TEST(DibRoundTrip, GetDIBitsConvertsBetweenFormatsAndRowOrders) {
    // A 2 x 2 top-down 32-bit source: red green / blue white.
    Dib src = MakeDib(2, -2, 32);
    const std::uint32_t pixels[] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF};
    std::memcpy(src.bits, pixels, sizeof pixels);

    BITMAPINFO query{};
    ASSERT_TRUE(GetDIBits(nullptr, src.bitmap, 0, 0, nullptr, &query, DIB_RGB_COLORS));
    EXPECT_EQ(query.bmiHeader.biBitCount, 32);
    EXPECT_EQ(query.bmiHeader.biWidth, 2);

    // Into a bottom-up 24-bit buffer with a guard after it.
    BITMAPINFO bi = Info(2, 2, 24);
    std::vector<std::uint8_t> out(2 * 8 + 4, 0xCC);
    ASSERT_EQ(GetDIBits(nullptr, src.bitmap, 0, 2, out.data(), &bi, DIB_RGB_COLORS), 2);
    const std::uint8_t bottomRow[] = {0xFF, 0, 0, 0xFF, 0xFF, 0xFF};  // blue, white (B, G, R)
    EXPECT_EQ(std::memcmp(out.data(), bottomRow, sizeof bottomRow), 0);
    EXPECT_EQ(out[8 + 2], 0xFF) << "top row red";
    EXPECT_EQ(out[16], 0xCC) << "nothing written past the image";

    // And back into a 16-bit bitmap.
    Dib dst = MakeDib(2, 2, 16);
    ASSERT_EQ(SetDIBits(nullptr, dst.bitmap, 0, 2, out.data(), &bi, DIB_RGB_COLORS), 2);
    BITMAP bm;
    ASSERT_EQ(GetObjectW(dst.bitmap, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmBitsPixel, 16);
    const auto* words = reinterpret_cast<const std::uint16_t*>(dst.bits);
    EXPECT_EQ(words[0], 0x001F) << "bottom-left blue in 5-5-5";
    EXPECT_EQ(words[2 + 0], 0x7C00) << "top-left red (rows padded to 4 bytes)";

    BITMAPINFO wrongWidth = Info(3, 2, 24);
    EXPECT_EQ(GetDIBits(nullptr, src.bitmap, 0, 2, out.data(), &wrongWidth, DIB_RGB_COLORS), 0);
    for (HBITMAP b : {src.bitmap, dst.bitmap}) DeleteObject(b);
}

TEST(MemoryDc, SelectionRulesFollowGdi) {
    HDC screen = GetDC(nullptr);
    HDC a = CreateCompatibleDC(screen);
    HDC b = CreateCompatibleDC(screen);
    HBITMAP fromFresh = CreateCompatibleBitmap(a, 4, 4);
    BITMAP bm;
    GetObjectW(fromFresh, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel, 1) << "a fresh memory DC holds a monochrome bitmap";
    HBITMAP colour = CreateCompatibleBitmap(screen, 4, 4);
    GetObjectW(colour, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel, 32);

    HGDIOBJ stock = SelectObject(a, colour);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(b, colour), nullptr) << "one DC at a time";
    EXPECT_FALSE(DeleteObject(colour)) << "still selected";
    EXPECT_EQ(SelectObject(a, stock), colour);
    EXPECT_TRUE(DeleteObject(colour));
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH))) << "stock objects survive";
    EXPECT_FALSE(DeleteObject(a)) << "a DC is no drawing object";
    EXPECT_NE(plat::ui::LookupObject(GetStockObject(WHITE_BRUSH)), nullptr);
    DeleteObject(fromFresh);
    DeleteDC(a);
    DeleteDC(b);
    ReleaseDC(nullptr, screen);
}

TEST(Blit, CopiesWithClippingAndRasterOperations) {
    HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
    Dib s = MakeDib(4, -4, 32), d = MakeDib(4, -4, 32);
    SelectObject(src, s.bitmap);
    SelectObject(dst, d.bitmap);
    RECT all{0, 0, 4, 4};
    HBRUSH grey = CreateSolidBrush(RGB(0x80, 0x80, 0x80));
    FillRect(src, &all, grey);
    FillRect(dst, &all, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    IntersectClipRect(dst, 0, 0, 2, 4);
    ASSERT_TRUE(BitBlt(dst, 0, 0, 4, 4, src, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(dst, 1, 1), RGB(0x80, 0x80, 0x80));
    SelectClipRgn(dst, nullptr);
    EXPECT_EQ(GetPixel(dst, 3, 1), RGB(0, 0, 0)) << "clipped";
    ASSERT_TRUE(BitBlt(dst, 0, 0, 4, 4, src, 0, 0, SRCINVERT));
    EXPECT_EQ(GetPixel(dst, 3, 1), RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(GetPixel(dst, 1, 1), RGB(0, 0, 0));
    EXPECT_FALSE(BitBlt(dst, 0, 0, 4, 4, src, 0, 0, 0x00AA0029)) << "an unsupported raster operation";
    // Overlapping copy inside one bitmap.
    SetPixel(src, 0, 0, RGB(1, 2, 3));
    ASSERT_TRUE(BitBlt(src, 1, 1, 3, 3, src, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(src, 1, 1), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(src, 2, 2), RGB(0x80, 0x80, 0x80));
    DeleteObject(grey);
    DeleteDC(src);
    DeleteDC(dst);
    DeleteObject(s.bitmap);
    DeleteObject(d.bitmap);
}

// Unscaled copies between two surfaces read the source rows in place; the
// offsets of both viewport origins, the destination's clip and a source box
// reaching past its surface (black there) must all land where a plain
// pixel-by-pixel copy puts them, whichever way up the source is stored.
TEST(Blit, CopiesBetweenSurfacesHonourOriginsClipAndSourceBounds) {
    for (const int sourceHeight : {-6, 6}) {
        HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
        Dib s = MakeDib(8, sourceHeight, 32), d = MakeDib(8, -8, 32);
        SelectObject(src, s.bitmap);
        SelectObject(dst, d.bitmap);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) SetPixel(src, x, y, RGB(10 + x, 20 + y, 30));
        SetViewportOrgEx(src, 1, 1, nullptr);
        SetViewportOrgEx(dst, 2, 1, nullptr);
        IntersectClipRect(dst, 0, 0, 4, 5);
        struct Copy {
            int x, y, w, h, sx, sy;
        };
        const Copy copies[] = {{0, 0, 6, 6, 1, 0}, {2, 3, 2, 2, 6, 3}};  // the second reads past the source's edges
        COLORREF expected[8][8] = {};
        for (const Copy& c : copies) {
            ASSERT_TRUE(BitBlt(dst, c.x, c.y, c.w, c.h, src, c.sx, c.sy, SRCCOPY));
            for (int ly = c.y; ly < c.y + c.h; ++ly) {
                for (int lx = c.x; lx < c.x + c.w; ++lx) {
                    if (lx >= 4 || ly >= 5) continue;  // the clip
                    const int tx = c.sx + lx - c.x + 1, ty = c.sy + ly - c.y + 1;  // source surface point
                    expected[ly + 1][lx + 2] = tx < 8 && ty < 6 ? RGB(10 + tx, 20 + ty, 30) : RGB(0, 0, 0);
                }
            }
        }
        SetViewportOrgEx(dst, 0, 0, nullptr);
        SelectClipRgn(dst, nullptr);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                EXPECT_EQ(GetPixel(dst, x, y), expected[y][x]) << "at " << x << "," << y << ", source height " << sourceHeight;
        DeleteDC(src);
        DeleteDC(dst);
        DeleteObject(s.bitmap);
        DeleteObject(d.bitmap);
    }
}

TEST(ImageFiles, PngAndBmpCarryThePixels) {
    plat::ui::Bitmap b(3, 2, 32);
    b.Set(0, 0, 0x00112233);
    b.Set(2, 1, 0x00AABBCC);
    const auto dir = std::filesystem::temp_directory_path() / ("ui_gdi_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string png = (dir / "a.png").string(), bmp = (dir / "a.bmp").string();
    ASSERT_TRUE(plat::ui::WritePng(png, b));
    ASSERT_TRUE(plat::ui::WriteBmp(bmp, b));
    std::ifstream p(png, std::ios::binary), m(bmp, std::ios::binary);
    std::vector<unsigned char> pb((std::istreambuf_iterator<char>(p)), {}), mb((std::istreambuf_iterator<char>(m)), {});
    ASSERT_GT(pb.size(), 8u);
    EXPECT_EQ(std::memcmp(pb.data(), "\x89PNG", 4), 0);
    ASSERT_EQ(mb.size(), 14u + 40u + 2u * 12u);
    EXPECT_EQ(mb[0], 'B');
    // Bottom-up: the first row stored is y = 1, whose last pixel is AABBCC.
    EXPECT_EQ(mb[54 + 6], 0xCC);
    EXPECT_EQ(mb[54 + 8], 0xAA);
    EXPECT_EQ(mb[54 + 12 + 0], 0x33);
    EXPECT_FALSE(plat::ui::WritePng((dir / "missing" / "x.png").string(), b));
    std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

TEST(Blit, StretchAndAlphaBlend) {
    HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
    Dib s = MakeDib(2, -1, 32), d = MakeDib(8, -2, 32);
    SelectObject(src, s.bitmap);
    SelectObject(dst, d.bitmap);
    auto* sp = reinterpret_cast<std::uint32_t*>(s.bits);
    sp[0] = 0x00FF0000;  // red, opaque look
    sp[1] = 0x80000080;  // premultiplied half-transparent blue
    ASSERT_TRUE(StretchBlt(dst, 0, 0, 8, 1, src, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(GetPixel(dst, 3, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dst, 4, 0), RGB(0, 0, 0x80));
    RECT row{0, 1, 8, 2};
    HBRUSH white = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    FillRect(dst, &row, white);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(AlphaBlend(dst, 0, 1, 2, 1, src, 0, 0, 2, 1, blend));
    const COLORREF mixed = GetPixel(dst, 1, 1);
    EXPECT_NEAR(int(GetRValue(mixed)), 127, 2);
    EXPECT_NEAR(int(GetBValue(mixed)), 255, 2);
    EXPECT_FALSE(StretchBlt(dst, 0, 0, 8, 1, src, 0, 0, -2, 1, SRCCOPY));
    DeleteDC(src);
    DeleteDC(dst);
    DeleteObject(s.bitmap);
    DeleteObject(d.bitmap);
}

}  // namespace
