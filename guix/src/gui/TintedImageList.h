// An image list of the LED window with its tinted working copy: the source
// strip (a bitmap of the resource library cut into equal images) and a
// working list rebuilt from the strip tinted with the window's colour index.
// Drawing always uses the working list. Tinting touches every pixel, so it
// runs only when the colour index changes.
//
// Threads: Tint under the window's drawing lock; Draw under it as well.
#pragma once

#include "skin/GdiHandle.h"
#include "ui/ui.h"

class TintedImageList {
public:
    TintedImageList() = default;
    ~TintedImageList();
    TintedImageList(const TintedImageList&) = delete;
    TintedImageList& operator=(const TintedImageList&) = delete;

    // Loads bitmap `bitmap_id` of the resource library as `count` images of
    // width x height and makes the untinted working list. False when the
    // bitmap is missing.
    bool Load(UINT bitmap_id, int width, int height, int count);
    void Tint(int colour_index);

    // Draws image `index` at (x, y); with `visible_width` only its left part
    // that wide (nothing for 0 or less).
    void Draw(HDC dc, int index, int x, int y) const;
    void DrawLeft(HDC dc, int index, int x, int y, int visible_width) const;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Count() const;

private:
    void Rebuild(HBITMAP strip);

    skin::OwnedBitmap m_source;
    HIMAGELIST m_working = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_count = 0;
};
