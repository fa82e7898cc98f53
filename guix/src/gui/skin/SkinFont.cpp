#include "skin/SkinFont.h"

namespace skin {

OwnedFont CreateLabelFont(const std::u16string& face, bool bold, bool italic, int size) {
    OwnedFont point(CreatePointFontW(size, face.c_str(), nullptr));
    LOGFONTW log;
    if (!point || !GetObjectW(point.Get(), sizeof log, &log)) return {};
    log.lfHeight = size;
    log.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    log.lfItalic = italic ? 1 : 0;
    return OwnedFont(CreateFontIndirectW(&log));
}

OwnedFont CopyFont(HFONT font) {
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW log;
    if (!font || !GetObjectW(font, sizeof log, &log)) return {};
    return OwnedFont(CreateFontIndirectW(&log));
}

}  // namespace skin
