// Bitmap creation and the device-independent transfers GetDIBits and
// SetDIBits between 32-, 24-, 16- and 1-bit formats.
#include <cstring>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/device_context.h"
#include "ui/dib.h"

using namespace plat::ui;

namespace {

bool SupportedBpp(int bpp) { return bpp == 1 || bpp == 16 || bpp == 24 || bpp == 32; }

HBITMAP Register(std::shared_ptr<Bitmap> bitmap) { return static_cast<HBITMAP>(RegisterObject(std::move(bitmap))); }

bool ValidHeader(const BITMAPINFO* bmi) {
    if (!bmi || bmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || bmi->bmiHeader.biWidth <= 0 ||
        bmi->bmiHeader.biHeight == 0 || !SupportedBpp(bmi->bmiHeader.biBitCount) ||
        bmi->bmiHeader.biCompression != BI_RGB) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

// The colour of a pixel read from a caller's DIB: 1-bit DIBs go through
// their two-entry colour table.
std::uint32_t ReadDib(const BITMAPINFO* bmi, const std::uint8_t* row, int x) {
    const int bpp = bmi->bmiHeader.biBitCount;
    if (bpp != 1) return ReadPixel(row, x, bpp);
    const RGBQUAD& q = bmi->bmiColors[(row[x / 8] >> (7 - x % 8)) & 1];
    return (std::uint32_t(q.rgbRed) << 16) | (std::uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
}

// Bitmap row of DIB scan line `scan` (scan 0 is the bottom of a bottom-up DIB).
int RowOfScan(const BITMAPINFO* bmi, int height, int scan) {
    return bmi->bmiHeader.biHeight > 0 ? height - 1 - scan : scan;
}

}  // namespace

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bpp, const void* bits) {
    if (width < 0 || height < 0 || planes != 1 || !SupportedBpp(int(bpp))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto bitmap = std::make_shared<Bitmap>(width, height, int(bpp));
    if (bits) {
        // Device-dependent rows are padded to 2 bytes, not 4.
        const int source_stride = ((width * int(bpp) + 15) / 16) * 2;
        const int copy = std::min(source_stride, bitmap->Stride());
        for (int y = 0; y < height; ++y)
            std::memcpy(bitmap->Row(y), static_cast<const std::uint8_t*>(bits) + std::size_t(y) * source_stride, std::size_t(copy));
    }
    return Register(std::move(bitmap));
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    auto dc = LookupDC(hdc);
    if (!dc || width < 0 || height < 0) {
        SetLastError(dc ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // As on Windows, a memory DC makes bitmaps like the one selected into it
    // (monochrome for a fresh DC); a window DC makes 32-bit ones.
    const int bpp = dc->window ? 32 : dc->target->BitsPerPixel();
    return Register(std::make_shared<Bitmap>(width, height, bpp));
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* bmi, UINT usage, void** bits, HANDLE section, DWORD) {
    if (!ValidHeader(bmi) || usage != DIB_RGB_COLORS || section) {
        if (bits) *bits = nullptr;
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto& h = bmi->bmiHeader;
    auto bitmap = std::make_shared<Bitmap>(h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight, h.biBitCount, h.biHeight > 0);
    bitmap->dibSection = true;
    if (bits) *bits = bitmap->Bits();
    return Register(std::move(bitmap));
}

int GetDIBits(HDC, HBITMAP hbm, UINT start, UINT lines, void* bits, BITMAPINFO* bmi, UINT usage) {
    auto bitmap = Lookup<Bitmap>(hbm);
    if (!bitmap || !bmi || usage != DIB_RGB_COLORS) {
        SetLastError(bitmap ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return 0;
    }
    auto& h = bmi->bmiHeader;
    if (!bits && h.biBitCount == 0) {
        // Describe the bitmap: its size and format, bottom-up.
        h.biWidth = bitmap->Width();
        h.biHeight = bitmap->Height();
        h.biPlanes = 1;
        h.biBitCount = WORD(bitmap->BitsPerPixel());
        h.biCompression = BI_RGB;
        h.biSizeImage = DWORD(bitmap->Stride()) * DWORD(bitmap->Height());
        return 1;
    }
    if (!ValidHeader(bmi) || h.biWidth != bitmap->Width()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (h.biBitCount == 1) {
        bmi->bmiColors[0] = RGBQUAD{0, 0, 0, 0};
        (&bmi->bmiColors[0])[1] = RGBQUAD{255, 255, 255, 0};
    }
    const int height = bitmap->Height();
    const int stride = Bitmap::StrideFor(h.biWidth, h.biBitCount);
    h.biSizeImage = DWORD(stride) * DWORD(height);
    if (!bits) return height;
    std::lock_guard lock(bitmap->Mutex());
    int copied = 0;
    for (int scan = int(start); scan < int(start + lines) && scan < height; ++scan, ++copied) {
        std::uint8_t* out = static_cast<std::uint8_t*>(bits) + std::size_t(scan - int(start)) * stride;
        const int y = RowOfScan(bmi, height, scan);
        for (int x = 0; x < h.biWidth; ++x) WritePixel(out, x, h.biBitCount, bitmap->Get(x, y));
    }
    return copied;
}

int SetDIBits(HDC, HBITMAP hbm, UINT start, UINT lines, const void* bits, const BITMAPINFO* bmi, UINT usage) {
    auto bitmap = Lookup<Bitmap>(hbm);
    if (!bitmap || !bits || !ValidHeader(bmi) || usage != DIB_RGB_COLORS) {
        SetLastError(bitmap ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return 0;
    }
    const auto& h = bmi->bmiHeader;
    const int height = bitmap->Height();
    const int width = std::min<int>(h.biWidth, bitmap->Width());
    const int stride = Bitmap::StrideFor(h.biWidth, h.biBitCount);
    std::lock_guard lock(bitmap->Mutex());
    int copied = 0;
    for (int scan = int(start); scan < int(start + lines) && scan < height; ++scan, ++copied) {
        const std::uint8_t* in = static_cast<const std::uint8_t*>(bits) + std::size_t(scan - int(start)) * stride;
        const int y = RowOfScan(bmi, height, scan);
        for (int x = 0; x < width; ++x) bitmap->Set(x, y, ReadDib(bmi, in, x));
    }
    return copied;
}
