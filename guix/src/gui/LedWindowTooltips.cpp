// The LED window's tooltips, rebuilt after every layout and paint: one over
// each visible row's box with its group's caption, and per letter up to two,
// an upper one over the LED without its bottom 3 pixels and a lower one over
// it without its top 10 pixels:
//
//   group      upper                                    lower
//   disks      label, or string 273 when empty          free gigabytes (275)
//   CD/DVD     label when not empty                     -
//   tape       -                                        -
//   network    the name as a UNC path, or string 274    free gigabytes when not 0
//   removable  label when not empty                     -
//
// A tool whose row or letter went away is removed and its id reset to -1.
#include <algorithm>

#include "DriveFreeSpace.h"
#include "LUMEXGUIDlg.h"

namespace {

constexpr UINT kLocalDiskString = 273;
constexpr UINT kNetworkDriveString = 274;
constexpr UINT kFreeGigabytesString = 275;
constexpr int kLedToolBase = 1000;

// "\;Z:0000000000003e7\server\share" -> "\\server\share": the characters
// between the first and the second backslash go.
std::u16string UncPath(const std::u16string& name) {
    const std::size_t first = name.find(u'\\');
    const std::size_t second = first == std::u16string::npos ? first : name.find(u'\\', first + 1);
    if (second == std::u16string::npos) return name;
    return name.substr(0, first + 1) + name.substr(second);
}

}  // namespace

std::u16string CLUMEXGUIDlg::LetterTip(int group, const DriveEntry& drive, bool upper, const LedState& led) const {
    const auto free_text = [&] {
        std::u16string format = LoadText(kFreeGigabytesString);
        const std::size_t at = format.find(u"%s");
        if (at != std::u16string::npos) format.replace(at, 2, FormatGigabytes(led.freeGigabytes));
        return format;
    };
    switch (group) {
        case kGroupDisks:
            if (upper) return drive.Label().empty() ? LoadText(kLocalDiskString) : drive.Label();
            return m_freeSpaceEx ? free_text() : u"";
        case kGroupNetwork:
            if (upper) return drive.name.empty() ? LoadText(kNetworkDriveString) : UncPath(drive.Name());
            return m_freeSpaceEx && led.freeGigabytes != 0.0 ? free_text() : u"";
        case kGroupCdDvd:
        case kGroupRemovable: return upper ? drive.Label() : u"";
        default: return u"";
    }
}

void CLUMEXGUIDlg::RemoveTool(int& id) {
    if (id == -1) return;
    m_tooltips.DelTool(this, UINT_PTR(id));
    id = -1;
}

void CLUMEXGUIDlg::PlaceTool(int& id, int new_id, const std::u16string& text, const RECT& rect) {
    if (text.empty()) return RemoveTool(id);
    if (id == -1) {
        id = new_id;
        m_tooltips.AddTool(this, text.c_str(), &rect, UINT_PTR(id));
        return;
    }
    m_tooltips.UpdateTipText(text.c_str(), this, UINT_PTR(id));
    m_tooltips.SetToolRect(this, UINT_PTR(id), rect);
}

void CLUMEXGUIDlg::RebuildTooltips() {
    if (!m_tooltips.m_hWnd) return;
    EnterCriticalSection(&m_drawingLock);
    const DriveGroups& groups = m_driver.Groups();
    const int rows = std::min(m_previousRows, groups.RowCount());
    for (int row = 0; row < kMaxRows; ++row) {
        RowState& state = m_rows[row];
        const bool shown = row < rows && groups.IsRowVisible(row, m_Settings);
        const int letters = shown ? std::min(groups.LetterCount(row), kRowsPerGroup) : 0;
        if (shown)
            PlaceTool(state.tool, 1 + row, groups.Caption(groups.GroupOf(row)), state.box);
        else
            RemoveTool(state.tool);
        for (int j = 0; j < int(state.LedCount()); ++j) {
            LedState& led = state.Led(j);
            if (j >= letters) {
                RemoveTool(led.upperTool);
                RemoveTool(led.lowerTool);
                continue;
            }
            const DriveEntry& drive = *groups.Record(row, j);
            const int id = kLedToolBase + (row * kRowsPerGroup + j) * 2;
            RECT upper = led.rect, lower = led.rect;
            upper.bottom -= 3;
            lower.top += 10;
            PlaceTool(led.upperTool, id, LetterTip(groups.GroupOf(row), drive, true, led), upper);
            PlaceTool(led.lowerTool, id + 1, LetterTip(groups.GroupOf(row), drive, false, led), lower);
        }
    }
    LeaveCriticalSection(&m_drawingLock);
}
