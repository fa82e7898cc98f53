#include "demo_skin_dialog.h"

#include <algorithm>

#include "base/format.h"
#include "base/text.h"
#include "demo_ids.h"

namespace skindemo {

DemoSkinDialog::DemoSkinDialog(int tint) : CSkinDialog(IDD_DEMO), m_tint(tint) {}

DemoSkinDialog::~DemoSkinDialog() { DestroyWindow(); }

BOOL DemoSkinDialog::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    LoadSkinBitmaps(IDB_FACE, IDB_MASK, IDB_HOVER, IDB_PRESSED, IDB_DISABLED);
    LoadSecondSkinBitmaps(IDB_FACE2, IDB_MASK, IDB_FACE2, IDB_FACE2, IDB_FACE2);
    for (UINT id : {IDS_BUTTON_EXIT, IDS_BUTTON_SNAP, IDS_BUTTON_HIDE, IDS_BUTTON_START}) AddButtonFromString(id);
    AddProgressFromString(IDS_PROGRESS);
    AddSliderFromString(IDS_SLIDER_COLOR, IDB_THUMB, IDB_THUMB_PRESSED);
    for (UINT id : {IDS_LABEL_TITLE, IDS_LABEL_NEWS, IDS_LABEL_START, IDS_LABEL_TINT, IDS_LABEL_TINT_VALUE})
        AddLabelFromString(id);
    SetSliderPos(u"SLIDER_COLOR", m_tint);
    ShowTint(m_tint);
    SetSnap(true);
    SetHide(true);
    return TRUE;
}

// Auto-hide needs snapping, as in the LED window: switching auto-hide on
// switches snapping on, and switching snapping off ends auto-hide.
void DemoSkinDialog::SetSnap(bool on) {
    if (!on) SetHide(false);
    EnableSnap(on);
    SetButtonState(u"BUTTON_AUTO_SNAP", on);
}

void DemoSkinDialog::SetHide(bool on) {
    if (on && !IsSnapEnabled()) SetSnap(true);
    SetAutoHide(on);
    SetButtonState(u"BUTTON_AUTO_HIDE", on);
}

void DemoSkinDialog::ShowTint(int index) {
    SetColorIndex(index);
    SetLabelText(u"LABEL_TINT_VALUE",
                 index ? plat::Utf8ToUtf16(plat::Format("index %d", index)) : std::u16string(u"none"));
    Invalidate(FALSE);
}

void DemoSkinDialog::OnSkinButton(const std::u16string& name) {
    if (name == u"BUTTON_EXIT") {
        DestroyWindow();
    } else if (name == u"BUTTON_AUTO_SNAP") {
        SetSnap(!IsSnapEnabled());
    } else if (name == u"BUTTON_AUTO_HIDE") {
        SetHide(!IsAutoHide());
    } else if (name == u"BUTTON_START") {
        m_progress = 0;
        SetProgressPos(u"PROGRESS_A", 0);
        SetTimer(kProgressTimer, 40);
    }
}

void DemoSkinDialog::OnSkinSlider(const std::u16string& name, int, int position) {
    if (name == u"SLIDER_COLOR") ShowTint(position);
}

void DemoSkinDialog::OnTimer(UINT_PTR id) {
    if (id != kProgressTimer) return CSkinDialog::OnTimer(id);
    m_progress = std::min(m_progress + 2, 100);
    SetProgressPos(u"PROGRESS_A", m_progress);
    if (m_progress == 100) KillTimer(kProgressTimer);
}

void DemoSkinDialog::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    DrawBackground(dc);
    EndPaint(m_hWnd, &ps);
}

}  // namespace skindemo
