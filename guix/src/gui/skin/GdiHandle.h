// Owners of GDI objects and memory device contexts, so that every bitmap,
// font and region the skin makes is deleted exactly once, on every path.
#pragma once

#include <utility>

#include "ui/ui.h"

namespace skin {

// Sole owner of one GDI object handle (bitmap, font, region, brush).
template <class Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : m_handle(handle) {}
    GdiObject(GdiObject&& other) noexcept : m_handle(other.Release()) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() { Reset(); }

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    Handle Release() { return std::exchange(m_handle, nullptr); }
    void Reset(Handle handle = nullptr) {
        if (m_handle && m_handle != handle) DeleteObject(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};

using OwnedBitmap = GdiObject<HBITMAP>;
using OwnedFont = GdiObject<HFONT>;
using OwnedRegion = GdiObject<HRGN>;

// A memory device context compatible with the screen, with `bitmap`
// selected into it for its lifetime (the previous selection comes back
// before the context is deleted, so the bitmap can be deleted afterwards).
class MemoryDC {
public:
    explicit MemoryDC(HBITMAP bitmap = nullptr) : m_dc(CreateCompatibleDC(nullptr)) {
        if (m_dc && bitmap) m_previous = SelectObject(m_dc, bitmap);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    ~MemoryDC() {
        if (!m_dc) return;
        if (m_previous) SelectObject(m_dc, m_previous);
        DeleteDC(m_dc);
    }
    HDC Get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HDC m_dc = nullptr;
    HGDIOBJ m_previous = nullptr;
};

}  // namespace skin
