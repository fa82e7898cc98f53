// The resource script: a text file that declares the resources of a library.
//
//   // comment
//   VERSION 1 0 2 7                         file version a.b.c.d
//   STRINGTABLE BEGIN 154 "English" END     strings by id (UTF-8 text)
//   BITMAP 200 "face.png"                   BMP or PNG file, kept as is
//   ICON 1 "app.png"
//   AVI 300 "busy.avi"                      uncompressed RIFF AVI clip
//   AVI 301 RATE 10 BEGIN "f1.png" "f2.png" END   a clip built from PNG frames
//                                           (frames per second, avi_builder.h)
//   MENU 400 BEGIN
//     POPUP "&Options" BEGIN
//       MENUITEM "Always on &top" 32771 CHECKED
//       MENUITEM SEPARATOR
//       MENUITEM "E&xit" 32772 GRAYED
//     END
//   END
//   DIALOG 500 0 0 240 120                  x y width height, in pixels
//   STYLE WS_POPUP | WS_VISIBLE  EXSTYLE 0  CAPTION "Details"  FONT 8 "Sans"
//   BEGIN
//     CONTROL "OK" 1 "BUTTON" BS_OWNERDRAW | WS_CHILD | WS_VISIBLE 10 90 60 20
//   END
//
// Numbers are decimal or 0x hexadecimal, or style names, combined with '|'.
// Commas are optional separators. File names are relative to the script.
#pragma once

#include <string>
#include <vector>

#include "resource/resource_blob.h"

namespace plat::resource {

struct ScriptResult {
    std::vector<ResourceEntry> entries;
    std::string error;  // "file:line: message" when compilation failed
    bool ok() const { return error.empty(); }
};

ScriptResult CompileResourceScript(const std::string& text, const std::string& script_path);

}  // namespace plat::resource
