// Menu and dialog templates: the parsed form the loaders build windows and
// menus from, and their byte layouts inside a resource library.
//
// Menus use the Windows normal menu template (a 4-byte header, then items of
// WORD flags, WORD id unless a popup, NUL-terminated UTF-16 text; MF_END marks
// the last item of a level). Dialogs use a compact layout of the same fields a
// dialog template carries: style, extended style, position and size, caption,
// font, and the controls with their class names. Dialog coordinates are pixels.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/wintypes.h"

namespace plat::resource {

constexpr WORD MFT_GRAYED = 0x0001;
constexpr WORD MFT_CHECKED = 0x0008;
constexpr WORD MFT_POPUP = 0x0010;
constexpr WORD MFT_END = 0x0080;
constexpr WORD MFT_SEPARATOR = 0x0800;

struct MenuItemTemplate {
    WORD flags = 0;  // MFT_GRAYED, MFT_CHECKED, MFT_SEPARATOR; MFT_POPUP when it has items
    WORD id = 0;
    std::u16string text;
    std::vector<MenuItemTemplate> items;
};

struct DialogItemTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    SHORT x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    std::u16string className;
    std::u16string text;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    SHORT x = 0, y = 0, cx = 0, cy = 0;
    std::u16string caption;
    WORD pointSize = 0;
    std::u16string faceName;
    std::vector<DialogItemTemplate> items;
};

std::vector<std::uint8_t> SerializeMenu(const std::vector<MenuItemTemplate>& items);
std::optional<std::vector<MenuItemTemplate>> ParseMenu(std::span<const std::uint8_t> data);

std::vector<std::uint8_t> SerializeDialog(const DialogTemplate& dialog);
std::optional<DialogTemplate> ParseDialog(std::span<const std::uint8_t> data);

}  // namespace plat::resource
