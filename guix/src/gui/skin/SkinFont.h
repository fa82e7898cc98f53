// The font of a skinned label: first a point font of size/10 points in the
// record's face (CreatePointFont, size in tenths of a point, screen
// resolution); its description then gets the height +size (a cell height of
// size pixels), weight 700 or 400 and the italic flag of the record, and the
// final font is made from it. The other fields stay as the point font made
// them. A face that fontconfig does not know falls back to the platform's
// face and keeps the pixel height.
#pragma once

#include <string>

#include "skin/GdiHandle.h"

namespace skin {

OwnedFont CreateLabelFont(const std::u16string& face, bool bold, bool italic, int size);
// A font made from the description of `font` (the system's default GUI
// font when null); null when that has none.
OwnedFont CopyFont(HFONT font);

}  // namespace skin
