// GetSaveFileNameW: the desktop's own file chooser (zenity or kdialog, when
// present) asks for the file; a test installs its own chooser that answers.
// The filter's patterns, the default file name and the overwrite prompt are
// passed on; the default extension is added when the chosen name has none.
// The chosen path is returned as a Linux path. Without a desktop chooser the
// call fails with CommDlgExtendedError() == CDERR_INITIALIZATION (there is no
// built-in chooser yet), which callers tell apart from a cancel (0).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/ui_types.h"

constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD CDERR_INITIALIZATION = 0x0002;
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

struct OPENFILENAMEW {
    DWORD lStructSize = sizeof(OPENFILENAMEW);
    HWND hwndOwner = nullptr;
    HINSTANCE hInstance = nullptr;
    LPCWSTR lpstrFilter = nullptr;  // "Text files\0*.txt\0All\0*.*\0\0"
    LPWSTR lpstrCustomFilter = nullptr;
    DWORD nMaxCustFilter = 0;
    DWORD nFilterIndex = 0;
    LPWSTR lpstrFile = nullptr;  // in: default name; out: the chosen path
    DWORD nMaxFile = 0;
    LPWSTR lpstrFileTitle = nullptr;
    DWORD nMaxFileTitle = 0;
    LPCWSTR lpstrInitialDir = nullptr;
    LPCWSTR lpstrTitle = nullptr;
    DWORD Flags = 0;
    WORD nFileOffset = 0;
    WORD nFileExtension = 0;
    LPCWSTR lpstrDefExt = nullptr;
};

namespace plat::ui {

struct SaveRequest {
    std::string title;
    std::string defaultName;
    std::vector<std::pair<std::string, std::string>> filters;  // description, patterns
    bool overwritePrompt = false;
};
// The chosen path, or nothing when the user cancelled.
using FileChooser = std::function<std::optional<std::string>(const SaveRequest&)>;
// Null restores the desktop's chooser.
void SetFileChooser(FileChooser chooser);

}  // namespace plat::ui

BOOL GetSaveFileNameW(OPENFILENAMEW* ofn);
DWORD CommDlgExtendedError();
