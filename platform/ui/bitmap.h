// Pixel storage of a bitmap in its own format (little-endian hosts): 32 bits (B, G, R, X bytes),
// 24 bits (B, G, R), 16 bits (X1R5G5B5) or 1 bit (0 black, 1 white), rows
// padded to 4 bytes as DIBs are, stored top-down or bottom-up. Drawing works
// on 0xAARRGGBB values; the accessors convert to and from the stored format,
// so a 16-bit bitmap really loses the low bits of each channel.
//
// Thread rule: every access to the pixels happens under Mutex(); the drawing
// functions take it, which is what makes drawing into a window from another
// thread safe.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "ui/object_table.h"
#include "ui/ui_types.h"

namespace plat::ui {

class Bitmap final : public UiObject {
public:
    // Formats other than 1, 16, 24 and 32 bits fall back to 32 bits.
    Bitmap(int width, int height, int bits_per_pixel, bool bottom_up = false);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int BitsPerPixel() const { return m_bpp; }
    int Stride() const { return m_stride; }
    bool BottomUp() const { return m_bottomUp; }
    std::uint8_t* Bits() { return m_bits.data(); }
    const std::uint8_t* Bits() const { return m_bits.data(); }
    std::size_t ByteSize() const { return m_bits.size(); }
    // Row y counted from the top whatever the storage order.
    std::uint8_t* Row(int y) { return m_bits.data() + std::size_t(m_bottomUp ? m_height - 1 - y : y) * m_stride; }
    const std::uint8_t* Row(int y) const {
        return m_bits.data() + std::size_t(m_bottomUp ? m_height - 1 - y : y) * m_stride;
    }

    std::uint32_t Get(int x, int y) const {
        if (m_bpp == 32) return reinterpret_cast<const std::uint32_t*>(Row(y))[x];
        return GetSlow(x, y);
    }
    void Set(int x, int y, std::uint32_t argb) {
        if (m_bpp == 32) reinterpret_cast<std::uint32_t*>(Row(y))[x] = argb;
        else SetSlow(x, y, argb);
    }
    bool InBounds(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }
    RECT Bounds() const { return RECT{0, 0, m_width, m_height}; }

    std::mutex& Mutex() const { return m_mutex; }

    // The device context a bitmap is selected into (one at a time), or null.
    HDC selectedInto = nullptr;
    // Created as a DIB section (GetObject reports the bits pointer).
    bool dibSection = false;

    static int StrideFor(int width, int bpp) { return ((width * bpp + 31) / 32) * 4; }

private:
    std::uint32_t GetSlow(int x, int y) const;
    void SetSlow(int x, int y, std::uint32_t argb);

    int m_width;
    int m_height;
    int m_bpp;
    int m_stride;
    bool m_bottomUp;
    std::vector<std::uint8_t> m_bits;
    mutable std::mutex m_mutex;
};

// A copy of `from` (not locked here) in the format `bpp`.
std::shared_ptr<Bitmap> CloneBitmap(const Bitmap& from, int bpp);

// One pixel of a row in a stored format (1, 16, 24 or 32 bits).
std::uint32_t ReadPixel(const std::uint8_t* row, int x, int bpp);
void WritePixel(std::uint8_t* row, int x, int bpp, std::uint32_t argb);

// 0x00BBGGRR <-> 0xAARRGGBB (alpha 0, as GDI writes it).
inline std::uint32_t ArgbFromColorRef(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF ColorRefFromArgb(std::uint32_t p) {
    return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
}

}  // namespace plat::ui
