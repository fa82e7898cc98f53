// HtmlHelpW with HH_DISPLAY_TOPIC: "file.chm::/topic.htm" opens in the
// desktop's browser (xdg-open). The help is shipped as HTML: the directory
// named after the help file without its extension ("file/topic.htm"),
// beside the file; a relative help file is looked up beside the program.
// When that directory is absent, the help file itself is handed to xdg-open
// (a desktop may have a viewer for it).
//
// There is no help window: on success the caller's window is returned (any
// non-null value means the help was opened), null when nothing could open it.
#pragma once

#include <string>

#include "base/wintypes.h"
#include "ui/ui_types.h"

constexpr UINT HH_DISPLAY_TOPIC = 0x0000;

namespace plat::process {

// The file:// address or path that HtmlHelpW hands to the browser.
std::string HelpTarget(const std::u16string& file_and_topic, const std::string& program_dir);

}  // namespace plat::process

HWND HtmlHelpW(HWND caller, LPCWSTR file_and_topic, UINT command, std::uintptr_t data);
