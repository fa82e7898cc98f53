// The built-in save-file chooser, made of this window system's own controls,
// for desktops without a chooser program (and for tests). A modal dialog
// owned by the request's owner, which is disabled while it shows:
//   - the current folder (a static) above a list of its sub-folders, shown
//     as "name/" after "..", and the files matching the chosen filter's
//     patterns (globs such as *.txt, compared without regard to case; "*"
//     and "*.*" match every file); names starting with '.' are hidden;
//   - the file name (an edit), prefilled with the default name;
//   - a button showing the current filter, which moves to the next on click;
//   - Save (the default button) and Cancel.
// Double-click or Enter on a folder enters it; clicking a file copies its
// name into the edit and double-clicking it saves. Save takes the edit's
// name relative to the current folder ('/' separates folders; an absolute
// name is taken as it is): a folder is entered, a missing folder is reported
// and the dialog stays, the default extension is added to a name without
// one, and with overwritePrompt an existing file asks Yes/No first (No, the
// default, keeps the dialog). Esc, Cancel and closing the dialog cancel.
// The dialog announces itself with NotifyModalShown.
#pragma once

#include <optional>
#include <string>

#include "ui/save_file_dialog.h"

namespace plat::ui {

// Control ids of the chooser; Save and Cancel are IDOK and IDCANCEL.
constexpr int kChooserFolderId = 1100;
constexpr int kChooserListId = 1101;
constexpr int kChooserNameId = 1102;
constexpr int kChooserFilterId = 1103;

// The chosen path, or an empty optional inside when cancelled; nothing when
// the dialog could not be created.
using ChooserOutcome = std::optional<std::optional<std::string>>;
ChooserOutcome RunBuiltinFileChooser(const SaveRequest& request);

}  // namespace plat::ui
