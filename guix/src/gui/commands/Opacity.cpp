#include "commands/Opacity.h"

#include "commands/CommandIds.h"
#include "ui/layered.h"
#include "ui/window.h"

namespace cmd {

std::optional<BYTE> AlphaOfOpacityCommand(UINT id) {
    if (!IsOpacityCommand(id)) return std::nullopt;
    const int percent = int(id - kOpacity0) * 10;
    return BYTE((255 * (100 - percent) + 50) / 100);
}

int AlphaSliderPosition(BYTE alpha) { return (255 - alpha) / 2; }

BYTE AlphaOfSliderPosition(int position) { return BYTE(((255 - 2 * position) % 256 + 256) % 256); }

bool ApplyAlphaToWindows(BYTE alpha, const std::vector<HWND>& windows) {
    bool applied = true;
    for (HWND hwnd : windows) {
        if (!hwnd) continue;
        const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
        if (alpha == 255) {
            SetWindowLongPtrW(hwnd, GWL_EXSTYLE, style & ~LONG_PTR(WS_EX_LAYERED));
            continue;
        }
        SetWindowLongPtrW(hwnd, GWL_EXSTYLE, style | WS_EX_LAYERED);
        applied = SetLayeredWindowAttributes(hwnd, 0, alpha, LWA_ALPHA) && applied;
    }
    return applied;
}

}  // namespace cmd
