// The working image set of the LED window (tiling, appending, stretching)
// and the tinted background drawn from it.
#include "skin/SkinBitmaps.h"
#include "skin/SkinDialog.h"
#include "skin/SkinTint.h"

HBITMAP CSkinDialog::Image(ImageSet set, skin::SkinRole role) const {
    std::lock_guard lock(m_imagesMutex);
    switch (set) {
        case ImageSet::Primary: return m_primary.Get(role);
        case ImageSet::Second: return m_second.Get(role);
        case ImageSet::Working: return m_working.Get(role);
        case ImageSet::Tinted: return m_tinted.Get(role);
    }
    return nullptr;
}

void CSkinDialog::TileFace(int count) {
    std::lock_guard lock(m_imagesMutex);
    for (skin::SkinRole role : skin::kAllRoles)
        m_working.Slot(role) = skin::RepeatHorizontally(m_primary.Get(role), count);
    MarkWorkingSetChanged();
}

void CSkinDialog::AppendPrimary() {
    std::lock_guard lock(m_imagesMutex);
    for (skin::SkinRole role : skin::kAllRoles)
        m_working.Slot(role) = skin::AppendRight(m_working.Get(role), m_primary.Get(role));
    MarkWorkingSetChanged();
}

void CSkinDialog::AppendSecond() {
    std::lock_guard lock(m_imagesMutex);
    for (skin::SkinRole role : skin::kAllRoles)
        m_working.Slot(role) = skin::AppendRight(m_working.Get(role), m_second.Get(role));
    MarkWorkingSetChanged();
}

void CSkinDialog::StretchSkin(int width, int height, int column, int row) {
    HBITMAP shape;
    {
        std::lock_guard lock(m_imagesMutex);
        // The mask first, as the window's size and shape follow it.
        for (skin::SkinRole role : {skin::SkinRole::Mask, skin::SkinRole::Face, skin::SkinRole::Hover,
                                    skin::SkinRole::Pressed, skin::SkinRole::Disabled}) {
            const skin::OwnedBitmap wide = skin::StretchToWidth(m_working.Get(role), width, column);
            m_working.Slot(role) = skin::StretchToHeight(wide.Get(), height, row);
        }
        MarkWorkingSetChanged();
        shape = m_working.Get(skin::SkinRole::Mask);
    }
    ResizeToSkin();
    SetRegionFromBitmap(shape);
}

void CSkinDialog::RebuildTintCache(int index) {
    for (skin::SkinRole role : {skin::SkinRole::Face, skin::SkinRole::Hover, skin::SkinRole::Pressed,
                                skin::SkinRole::Disabled})
        m_tinted.Slot(role) = skin::TintedCopy(m_working.Get(role), index);
    ++m_tintRebuilds;
}

void CSkinDialog::DrawBackground(HDC dc) {
    DrawFace(dc);
    RepaintControls();
}

bool CSkinDialog::DrawFace(HDC dc) {
    StoreWindowRect();
    const int index = m_colorIndex;
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    std::lock_guard lock(m_imagesMutex);
    const bool rebuild = index != m_tintIndex || index == -1 || m_rebuildTint;
    if (rebuild) {
        m_rebuildTint = false;
        RebuildTintCache(index);
    }
    skin::DrawBitmapPart(dc, 0, 0, client.right, client.bottom, m_tinted.Get(skin::SkinRole::Face));
    m_tintIndex = index;
    return rebuild;
}
