// A set of five full-window skin images, one per role. The skin's
// operations always name them in the order face, mask, hover, pressed,
// disabled.
//
//   face      the window in its normal look: background, normal face of
//             buttons, background of labels and sliders, empty part of
//             progress bars
//   mask      the window's shape: pure white is outside, everything else
//             inside; it gives the window's size and region
//   hover     the look of controls under the mouse
//   pressed   the look of pressed or latched controls
//   disabled  the look of disabled controls, and the filled part of
//             progress bars
#pragma once

#include <array>

#include "skin/GdiHandle.h"

namespace skin {

enum class SkinRole : std::size_t { Face = 0, Mask, Hover, Pressed, Disabled };
constexpr std::size_t kSkinRoles = 5;

struct SkinImageSet {
    std::array<OwnedBitmap, kSkinRoles> images;

    HBITMAP Get(SkinRole role) const { return images[std::size_t(role)].Get(); }
    OwnedBitmap& Slot(SkinRole role) { return images[std::size_t(role)]; }
    void Clear() {
        for (OwnedBitmap& image : images) image.Reset();
    }
};

// The roles in the order the operations take them, and every role.
constexpr std::array<SkinRole, kSkinRoles> kAllRoles{SkinRole::Face, SkinRole::Mask, SkinRole::Hover,
                                                     SkinRole::Pressed, SkinRole::Disabled};

}  // namespace skin
