#include "TintedImageList.h"

#include "skin/SkinTint.h"
#include "resource/resource_types.h"
#include "ui/image_list.h"
#include "ui/framework_app.h"
#include "ui/resource_images.h"

TintedImageList::~TintedImageList() {
    if (m_working) ImageList_Destroy(m_working);
}

bool TintedImageList::Load(UINT bitmap_id, int width, int height, int count) {
    m_width = width;
    m_height = height;
    m_count = count;
    m_source.Reset(LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(bitmap_id)));
    if (!m_source) return false;
    Rebuild(m_source.Get());
    return true;
}

void TintedImageList::Tint(int colour_index) {
    if (!m_source) return;
    skin::OwnedBitmap tinted = skin::TintedCopy(m_source.Get(), colour_index);
    Rebuild(tinted.Get());
}

void TintedImageList::Rebuild(HBITMAP strip) {
    if (m_working) ImageList_Destroy(m_working);
    m_working = ImageList_Create(m_width, m_height, ILC_COLOR32 | ILC_MASK, m_count, 0);
    if (m_working && strip) ImageList_Add(m_working, strip, nullptr);
}

int TintedImageList::Count() const { return m_working ? ImageList_GetImageCount(m_working) : 0; }

void TintedImageList::Draw(HDC dc, int index, int x, int y) const {
    if (m_working) ImageList_Draw(m_working, index, dc, x, y, ILD_TRANSPARENT);
}

void TintedImageList::DrawLeft(HDC dc, int index, int x, int y, int visible_width) const {
    if (!m_working || visible_width <= 0 || m_height <= 0) return;
    // The caller's own clip (a partial redraw's) is kept around the cut.
    HRGN previous = CreateRectRgn(0, 0, 0, 0);
    const bool clipped = GetClipRgn(dc, previous) == 1;
    IntersectClipRect(dc, x, y, x + visible_width, y + m_height);
    ImageList_Draw(m_working, index, dc, x, y, ILD_TRANSPARENT);
    SelectClipRgn(dc, clipped ? previous : nullptr);
    DeleteObject(previous);
}
