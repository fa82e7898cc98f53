// Finding and checking the GUI's resource library LUMEXRS.DLL, which holds
// every text, image, menu, template, clip and skin record of the interface.
//
// Search order, first that loads wins:
//   1. the directory of the GUI's own program, where the product installs it;
//   2. the directory an installer recorded under HKEY_LOCAL_MACHINE
//      "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\lumex.exe",
//      value "Path" (the default value of its sub key "Path" is read too,
//      for installers that wrote it there); a backslash is added when missing;
//   3. the bare name, found by the system's search (program directory,
//      current directory, PATH).
// The library must carry file version 1.0.2.x: major, minor and build are
// compared, the revision is not. Every failure is shown in an error box with
// the product's caption, and the paths in it are shown in Linux form.
#pragma once

#include <string>

#include "PackedVersion.h"
#include "resource/resource_types.h"

struct ResourceLibrarySearch {
    std::u16string libraryName = u"LUMEXRS.DLL";
    std::u16string caption = u"Zelmor Lumetra";  // at most 80 characters
    std::u16string executableName = u"lumex.exe";
    PackedVersion required = PackedVersion::Of(1, 0, 2);
    // The program's directory in either path form; empty: the directory of
    // the running program.
    std::u16string programDirectory;
};

inline constexpr const WCHAR* kAppPathsKey = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

// The loaded library, or null after the error box has been shown.
HMODULE LoadResourceLibrary(const ResourceLibrarySearch& search = {});
