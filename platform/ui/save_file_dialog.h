// GetSaveFileNameW asks for the file with, in this order of preference:
//   1. a chooser a test installed with SetFileChooser;
//   2. the desktop's own chooser program (zenity, else kdialog, when on the
//      PATH), unless LUMETRA_FILE_CHOOSER=builtin;
//   3. the built-in chooser (builtin_file_chooser.h), a dialog of this
//      window system.
// The filter's patterns, the default file name and the overwrite prompt are
// passed on; the default extension is added when the chosen name has none.
// The chosen path is returned as a Linux path. A cancel returns FALSE with
// CommDlgExtendedError() == 0; a path longer than nMaxFile gives
// FNERR_BUFFERTOOSMALL; CDERR_INITIALIZATION means no chooser could be shown
// (a bad OPENFILENAMEW, or the built-in dialog could not be created).
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
    HWND owner = nullptr;
    std::string title;
    std::string defaultName;  // joined to initialDir when it names no folder
    std::string initialDir;
    std::vector<std::pair<std::string, std::string>> filters;  // description, patterns separated by spaces
    std::size_t filterIndex = 0;                                // the filter chosen first, from 0
    std::string defaultExtension;                               // without the dot
    bool overwritePrompt = false;
};
// The chosen path, or nothing when the user cancelled.
using FileChooser = std::function<std::optional<std::string>(const SaveRequest&)>;
// Null restores the desktop's or the built-in chooser.
void SetFileChooser(FileChooser chooser);

}  // namespace plat::ui

BOOL GetSaveFileNameW(OPENFILENAMEW* ofn);
DWORD CommDlgExtendedError();
