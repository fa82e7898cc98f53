#include "LedWindowPlaceholder.h"

#include "skin/SkinPixels.h"
#include "ui/message_queue.h"

namespace {

// The window buttons' records and where they sit, counted from the right
// end of the skin.
struct WindowButton {
    UINT record;
    int fromRight, y;
};
constexpr WindowButton kWindowButtons[] = {{251, 8, 5}, {252, 23, 1}, {253, 23, 16}};

}  // namespace

BOOL CLedWindowPlaceholder::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    const UINT* p = kPrimarySet;
    const UINT* s = kSecondSet;
    LoadSkinBitmaps(p[0], p[1], p[2], p[3], p[4]);
    LoadSecondSkinBitmaps(s[0], s[1], s[2], s[3], s[4]);
    EnableSnap(m_Settings.Snap);
    SetColorIndex(m_Settings.Color);
    Compose();
    return TRUE;
}

void CLedWindowPlaceholder::Compose() {
    DeleteButtons();
    TileFace(1);
    AppendSecond();
    const SIZE whole = skin::BitmapSize(Image(ImageSet::Working, skin::SkinRole::Mask));
    int width = int(whole.cx);
    // A stretch to the same size gives the window the working skin's size
    // and shape; without the options strip its columns are cut out.
    StretchSkin(width, int(whole.cy), width - kButtonsWidth, 0);
    if (!m_Settings.OptionsPanelOpen) {
        StretchSkin(width - kStripWidth, int(whole.cy), width - kButtonsWidth, 0);
        width -= kStripWidth;
    }
    for (const WindowButton& b : kWindowButtons) AddAltButtonFromString(b.record, width - b.fromRight, b.y);
    Invalidate(TRUE);
}

void CLedWindowPlaceholder::OnSkinButton(const std::u16string& name) {
    if (name == u"BUTTON_EXIT") {
        DestroyWindow();
    } else if (name == u"BUTTON_OPTIONS") {
        m_Settings.OptionsPanelOpen = !m_Settings.OptionsPanelOpen;
        Compose();
    }
}

void CLedWindowPlaceholder::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    DrawBackground(dc);
    EndPaint(m_hWnd, &ps);
}

// Closing the only window ends the program, as the LED window does.
void CLedWindowPlaceholder::PostNcDestroy() { PostQuitMessage(0); }
