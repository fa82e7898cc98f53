// Window opacity: the ten opacity commands, the alpha slider and applying
// an `Alpha` byte to the LED window and its open dialogs. Opacity shows only
// where something composites windows; elsewhere the platform refuses layered
// attributes and the window never sets `TransparencyAvailable`.
#pragma once

#include <optional>
#include <vector>

#include "base/wintypes.h"
#include "ui/ui_types.h"

namespace cmd {

// 157 -> 255, 158 -> 230, ... 166 -> 26: 255 x (100 - p) / 100 rounded half
// up for p = 0, 10, ... 90; nothing for other ids.
std::optional<BYTE> AlphaOfOpacityCommand(UINT id);

// The alpha slider's position for an `Alpha` byte: (255 - alpha) / 2.
int AlphaSliderPosition(BYTE alpha);
// The `Alpha` byte of a slider position: (255 - 2 x position) modulo 256.
BYTE AlphaOfSliderPosition(int position);

// Alpha 255 removes WS_EX_LAYERED from every window; any other value adds it
// and sets the opacity (LWA_ALPHA). Null handles are skipped. False when the
// platform refused the opacity of any window.
bool ApplyAlphaToWindows(BYTE alpha, const std::vector<HWND>& windows);

}  // namespace cmd
