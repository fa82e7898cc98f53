// The GUI's settings block: one per process, owned by the LED window while
// it lives, read once at start and stored at exit and on every mouse move
// over the LED window (SettingsStore.h).
//
// "bin" is the block's persistent part: 74 little-endian bytes written with
// CZmArchive in the order of kBinLayout, without header or version, so the
// order below is the stored format and must not change. OptionsPanelOpen is
// stored second although it is the eighth field of the block.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "base/wintypes.h"
#include "ui/ui_types.h"

class CZmArchive;

namespace settings_detail {
// The stored placement starts all zero (its length field too): a zero
// normal rectangle tells the LED window that nothing was stored.
inline WINDOWPLACEMENT ZeroPlacement() {
    WINDOWPLACEMENT p{};
    p.length = 0;
    return p;
}
}  // namespace settings_detail

struct GuiSettings {
    DWORD Horizontal = 1;
    DWORD KeyboardLed = 0;
    DWORD AlwaysOnTop = 1;
    DWORD Snap = 1;
    DWORD TransparencyAvailable = 0;
    DWORD MinimizedToTray = 0;
    DWORD AutoHide = 0;
    DWORD OptionsPanelOpen = 0;
    DWORD SmartDisplay = 1;
    DWORD ShowCD = 1;
    DWORD ShowTape = 1;
    DWORD ShowNetwork = 1;
    DWORD ShowRemovable = 1;
    DWORD Autostart = 0;
    DWORD ShowBorder = 1;
    DWORD Reserved1 = 1;
    DWORD Fahrenheit = 0;
    DWORD SnapEdge = 0;
    BYTE Alpha = 255;
    BYTE Color = 0;
    WINDOWPLACEMENT Placement = settings_detail::ZeroPlacement();
    DWORD SmartEnabled = 1;
    DWORD SMARTPollingIntervall = 600;
    DWORD DisableMouseButtons = 0;
    LONG MaxTemp = 0;
};

namespace settings {

inline constexpr DWORD kDefaultPollingInterval = 600;
inline constexpr DWORD kBinSize = 74;
inline constexpr DWORD kPlacementSize = 44;
static_assert(sizeof(WINDOWPLACEMENT) == kPlacementSize, "the stored placement is the 44-byte record");

// The text of resource string 154 that makes Fahrenheit the default.
inline constexpr std::u16string_view kFahrenheitLanguage = u"English";

// Every field at its default; Fahrenheit from the language marker.
GuiSettings Defaults(std::u16string_view language);

// The "bin" fields in stored order: a 32-bit or an 8-bit member.
struct BinField {
    DWORD GuiSettings::*wide = nullptr;
    BYTE GuiSettings::*narrow = nullptr;
};
extern const std::array<BinField, 20> kBinLayout;

void WriteBin(const GuiSettings& s, CZmArchive& archive);
// Reads the fields in stored order; a field past the archive's end reads 0.
void ReadBin(CZmArchive& archive, GuiSettings& s);

}  // namespace settings
