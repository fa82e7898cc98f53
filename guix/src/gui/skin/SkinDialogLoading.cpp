// Loading a skin: the image sets from bitmaps of the resource library, the
// controls from their records, the window's size and shape from the mask.
#include <vector>

#include "skin/SkinBitmaps.h"
#include "skin/SkinDialog.h"
#include "skin/SkinFont.h"
#include "skin/SkinPixels.h"
#include "skin/SkinRecord.h"
#include "skin/SkinRegion.h"
#include "resource/module.h"
#include "ui/framework_app.h"
#include "ui/message_box.h"
#include "ui/resource_images.h"

namespace {

constexpr char16_t kNoRegionFromBitmap[] = u"Can not create region from Bitmap.";
constexpr char16_t kNoRegion[] = u"Can not create region.";
constexpr char16_t kRegionCaption[] = u" ";

constexpr DWORD kControlStyle = WS_CHILD | WS_VISIBLE;

skin::OwnedBitmap LoadSkinBitmap(UINT id) {
    return skin::OwnedBitmap(LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)));
}

// Loads the five bitmaps, given in the order face, mask, hover, pressed, disabled.
void LoadSet(skin::SkinImageSet& set, const std::array<UINT, skin::kSkinRoles>& ids) {
    for (std::size_t i = 0; i < skin::kSkinRoles; ++i) set.Slot(skin::kAllRoles[i]) = LoadSkinBitmap(ids[i]);
}

}  // namespace

std::u16string CSkinDialog::LoadRecord(UINT string_id) const {
    std::vector<WCHAR> text(skin::kMaxRecordLength + 1);
    const int length = LoadStringW(AfxGetResourceHandle(), string_id, text.data(), int(text.size()));
    return std::u16string(text.data(), std::size_t(length > 0 ? length : 0));
}

void CSkinDialog::LoadSkinBitmaps(UINT face, UINT mask, UINT hover, UINT pressed, UINT disabled) {
    RetireAllControls();
    HBITMAP shape = nullptr;
    {
        std::lock_guard lock(m_imagesMutex);
        for (skin::SkinImageSet* set : {&m_primary, &m_second, &m_working, &m_tinted}) set->Clear();
        LoadSet(m_primary, {face, mask, hover, pressed, disabled});
        for (skin::SkinRole role : skin::kAllRoles) {
            m_working.Slot(role) = skin::CopyBitmap(m_primary.Get(role));
            if (role != skin::SkinRole::Mask) m_tinted.Slot(role) = skin::CopyBitmap(m_primary.Get(role));
        }
        // The fresh cache is untinted: made for index 0.
        m_tintIndex = 0;
        m_rebuildTint = false;
        shape = m_working.Get(skin::SkinRole::Mask);
    }
    ResizeToSkin();
    SetRegionFromBitmap(shape);
    Invalidate(TRUE);
}

void CSkinDialog::LoadSecondSkinBitmaps(UINT face, UINT mask, UINT hover, UINT pressed, UINT disabled) {
    std::lock_guard lock(m_imagesMutex);
    m_second.Clear();
    LoadSet(m_second, {face, mask, hover, pressed, disabled});
}

// The skin's size is the working mask's; without a mask the window keeps
// its rectangle and the skin takes its size.
void CSkinDialog::ResizeToSkin() {
    SIZE size;
    {
        std::lock_guard lock(m_imagesMutex);
        size = skin::BitmapSize(m_working.Get(skin::SkinRole::Mask));
    }
    if (size.cx <= 0 || size.cy <= 0) {
        RECT r{};
        ::GetWindowRect(m_hWnd, &r);
        m_skinWidth = r.right - r.left;
        m_skinHeight = r.bottom - r.top;
        return;
    }
    m_skinWidth = size.cx;
    m_skinHeight = size.cy;
    SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CSkinDialog::SetRegionFromBitmap(HBITMAP mask) {
    skin::OwnedRegion region = skin::RegionFromMask(mask);
    if (!region) {
        SetWindowRgn(m_hWnd, nullptr, TRUE);
        MessageBoxW(m_hWnd, kNoRegionFromBitmap, kRegionCaption, MB_OK);
    } else if (SetWindowRgn(m_hWnd, region.Get(), TRUE)) {
        region.Release();  // the window owns it now
    } else {
        MessageBoxW(m_hWnd, kNoRegion, kRegionCaption, MB_OK);
    }
    Invalidate(TRUE);
}

// --- Controls from records ----------------------------------------------------

void CSkinDialog::PlaceControl(CWnd& control, int x, int y) {
    if (x || y) SetWindowPos(control.m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CSkinDialog::AddButton(std::u16string_view text, const skin::SkinImageSet& images, int x, int y) {
    if (text.empty()) return;
    const skin::ButtonRecord record = skin::ParseButtonRecord(text);
    auto button = std::make_unique<CSkinButton>();
    if (!button->Create(record.name.c_str(), kControlStyle | BS_OWNERDRAW, record.rect, this, 0)) return;
    {
        std::lock_guard lock(m_imagesMutex);
        button->SetImages(record.rect, images.Get(skin::SkinRole::Face), images.Get(skin::SkinRole::Hover),
                          images.Get(skin::SkinRole::Pressed), images.Get(skin::SkinRole::Disabled));
    }
    PlaceControl(*button, x, y);
    button->SetTooltip(record.tooltip, TRUE);
    button->SetToggle(record.toggle);
    std::lock_guard lock(m_controlsMutex);
    button->SetIdentity(record.name, int(m_buttons.size()));
    m_buttons.push_back(std::move(button));
}

void CSkinDialog::AddButtonFromString(UINT string_id, int x, int y) { AddButton(LoadRecord(string_id), m_primary, x, y); }

void CSkinDialog::AddAltButtonFromString(UINT string_id, int x, int y) {
    AddButton(LoadRecord(string_id), m_second, x, y);
}

void CSkinDialog::AddProgressFromString(UINT string_id) {
    const std::u16string text = LoadRecord(string_id);
    if (text.empty()) return;
    const skin::ProgressRecord record = skin::ParseProgressRecord(text);
    auto progress = std::make_unique<CSkinProgress>();
    if (!progress->Create(record.name.c_str(), kControlStyle | BS_OWNERDRAW, record.rect, this, 0)) return;
    {
        std::lock_guard lock(m_imagesMutex);
        progress->SetImages(record.rect, m_primary.Get(skin::SkinRole::Face), m_primary.Get(skin::SkinRole::Disabled));
    }
    progress->SetTooltip(record.tooltip, TRUE);
    progress->SetFillAlongHeight(record.fillAlongHeight);
    std::lock_guard lock(m_controlsMutex);
    progress->SetIdentity(record.name, int(m_progress.size()));
    m_progress.push_back(std::move(progress));
}

void CSkinDialog::AddSliderFromString(UINT string_id, UINT thumb_id, UINT pressed_thumb_id, int x, int y) {
    const std::u16string text = LoadRecord(string_id);
    if (text.empty()) return;
    const skin::SliderRecord record = skin::ParseSliderRecord(text);
    auto slider = std::make_unique<CSkinSlider>();
    const DWORD orientation = record.horizontal ? 0 : skin::kTrackbarVertical;
    if (!slider->Create(kControlStyle | orientation, record.rect, this, 0)) return;
    {
        std::lock_guard lock(m_imagesMutex);
        slider->SetImages(record.rect, m_second.Get(skin::SkinRole::Face), LoadSkinBitmap(thumb_id),
                          LoadSkinBitmap(pressed_thumb_id));
    }
    PlaceControl(*slider, x, y);
    slider->SetPos(record.position);
    std::lock_guard lock(m_controlsMutex);
    slider->SetIdentity(record.name, int(m_sliders.size()));
    m_sliders.push_back(std::move(slider));
}

void CSkinDialog::AddLabel(const skin::LabelRecord& record) {
    auto label = std::make_unique<CSkinLabel>();
    if (!label->Create(record.text.c_str(), kControlStyle | BS_OWNERDRAW, record.rect, this, 0)) return;
    {
        std::lock_guard lock(m_imagesMutex);
        label->SetBackground(record.rect, m_primary.Get(skin::SkinRole::Face));
    }
    label->SetTooltip(record.tooltip, TRUE);
    label->SetFont(skin::CreateLabelFont(record.face, record.bold, record.italic, record.size).Get());
    label->SetTextColor(record.colour);
    label->SetText(record.text);
    std::lock_guard lock(m_controlsMutex);
    label->SetIdentity(record.name, int(m_labels.size()));
    m_labels.push_back(std::move(label));
}

void CSkinDialog::AddLabelFromString(UINT string_id) {
    const std::u16string text = LoadRecord(string_id);
    if (!text.empty()) AddLabel(skin::ParseLabelRecord(text));
}

void CSkinDialog::AddLabelFromRecord(std::u16string_view text, const RECT& rect) {
    if (text.empty()) return;
    skin::LabelRecord record = skin::ParseLabelRecord(text);
    if (rect.right > rect.left && rect.bottom > rect.top) record.rect = rect;
    AddLabel(record);
}
