#include "DriveGroups.h"

#include <algorithm>

#include "GuiLog.h"

std::u16string DriveEntry::Label() const {
    std::u16string label;
    for (WCHAR c : record.Label) {
        if (c == 0) break;
        label.push_back(c);
    }
    return label;
}

std::u16string DriveEntry::Name() const {
    std::u16string text(name.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = WCHAR(name[2 * i] | (name[2 * i + 1] << 8));
    return text;
}

int ClassifyDriveRecord(DRIVE_RECORD& record) {
    const bool floppy_letter = record.Letter == u'A' || record.Letter == u'B';
    if ((floppy_letter && record.DeviceType != kTypeFloppy) || (record.Removable && record.DeviceType != kTypeCdRom))
        record.DeviceType = kTypeFloppy;
    switch (record.DeviceType) {
        case kTypeFloppy: return kGroupRemovable;
        case kTypeCdRom: return kGroupCdDvd;
        case kTypeDisk:
        case kTypeVirtualDisk: return static_cast<LONG>(record.PartitionNumber) > 0 ? kGroupDisks : -1;
        case kTypeNetwork: return kGroupNetwork;
        case kTypeTape: return kGroupTape;
        default: return -1;
    }
}

void DriveGroups::Clear() {
    for (Group& group : m_groups) {
        for (auto& row : group.rows) {
            if (!row) continue;
            row->drives.clear();
            if (!row->smart) row.reset();
        }
    }
    Reindex();
}

bool DriveGroups::Place(int group, DriveEntry entry) {
    const DWORD number = entry.record.DeviceNumber;
    if (group < 0 || group >= kGroupCount) return false;
    if (number >= kRowsPerGroup) {
        NoteUnshown(Unshown::Record, group, number);
        return false;
    }
    auto& row = m_groups[group].rows[number];
    if (!row) row.emplace();
    row->drives.push_back(std::move(entry));
    std::stable_sort(row->drives.begin(), row->drives.end(),
                     [](const DriveEntry& a, const DriveEntry& b) { return a.Letter() < b.Letter(); });
    Reindex();
    return true;
}

namespace {

int SmartGroupOf(DWORD type) {
    switch (type) {
        case kTypeFloppy:
        case kTypeNetwork: return kGroupNetwork;
        case kTypeCdRom: return kGroupCdDvd;
        case kTypeDisk:
        case kTypeVirtualDisk: return kGroupDisks;
        case kTypeTape: return kGroupTape;
        default: return -1;
    }
}

}  // namespace

// The device takes the row of its own device number. Should that row carry
// another S.M.A.R.T. device already (two devices of one number in a group),
// it takes the first row position without one, so each device keeps a box;
// an empty row is made where none exists, so a disk without letters still
// shows its box.
bool DriveGroups::AttachSmart(SmartDevice* device, const SmartDevice& as_read) {
    const int group = SmartGroupOf(as_read.deviceType);
    if (group < 0) return false;
    if (as_read.deviceNumber >= kRowsPerGroup) {
        NoteUnshown(Unshown::SmartDevice, group, as_read.deviceNumber);
        return false;
    }
    auto& rows = m_groups[group].rows;
    std::size_t slot = as_read.deviceNumber;
    if (rows[slot] && rows[slot]->smart) {
        const auto free = std::find_if(rows.begin(), rows.end(), [](const auto& r) { return !r || !r->smart; });
        if (free == rows.end()) return false;
        slot = static_cast<std::size_t>(free - rows.begin());
    }
    if (!rows[slot]) rows[slot].emplace();
    rows[slot]->smart = device;
    rows[slot]->smartType = as_read.deviceType;
    Reindex();
    return true;
}

void DriveGroups::RemoveRecord(int row, int j) {
    if (row < 0 || row >= RowCount()) return;
    const RowRef ref = m_index[row];
    auto& slot = m_groups[ref.group].rows[ref.number];
    if (j < 0 || j >= static_cast<int>(slot->drives.size())) return;
    slot->drives.erase(slot->drives.begin() + j);
    if (slot->drives.empty() && !slot->smart) slot.reset();
    Reindex();
}

bool DriveGroups::HasRows(int group) const {
    const auto& rows = m_groups[group].rows;
    return std::any_of(rows.begin(), rows.end(), [](const auto& r) { return r.has_value(); });
}

void DriveGroups::Reindex() {
    m_index.clear();
    for (int group : kGroupDisplayOrder) {
        for (int number = 0; number < kRowsPerGroup; ++number) {
            if (!m_groups[group].rows[number]) continue;
            if (m_index.size() < kMaxRows)
                m_index.push_back({group, number});
            else
                NoteUnshown(Unshown::Row, group, DWORD(number));
        }
    }
}

void DriveGroups::NoteUnshown(Unshown what, int group, DWORD number) {
    if (!m_logged.emplace(what, group, number).second) return;
    switch (what) {
        case Unshown::Record:
            gui::Trace("CGDLG: drive records of device %lu in group %d not shown: device numbers of 100 or more "
                       "have no row", number, group);
            break;
        case Unshown::SmartDevice:
            gui::Trace("CGDLG: S.M.A.R.T. device %lu in group %d not shown: device numbers of 100 or more have "
                       "no row", number, group);
            break;
        case Unshown::Row:
            gui::Trace("CGDLG: device %lu in group %d not shown: the window has no more than %d rows", number, group,
                       kMaxRows);
            break;
    }
}

const DriveRow* DriveGroups::RowAt(int row) const {
    if (row < 0 || row >= RowCount()) return nullptr;
    return &*m_groups[m_index[row].group].rows[m_index[row].number];
}

int DriveGroups::LetterCount(int row) const {
    const DriveRow* r = RowAt(row);
    return r ? static_cast<int>(r->drives.size()) : 0;
}

const DriveEntry* DriveGroups::Record(int row, int j) const {
    const DriveRow* r = RowAt(row);
    if (!r || j < 0 || j >= static_cast<int>(r->drives.size())) return nullptr;
    return &r->drives[j];
}

SmartDevice* DriveGroups::Smart(int row) const {
    const DriveRow* r = RowAt(row);
    return r ? r->smart : nullptr;
}

DWORD DriveGroups::SmartType(int row) const {
    const DriveRow* r = RowAt(row);
    return r && r->smart ? r->smartType : 0;
}

int DriveGroups::GroupOf(int row) const { return row >= 0 && row < RowCount() ? m_index[row].group : -1; }

int DriveGroups::DeviceNumberOf(int row) const { return row >= 0 && row < RowCount() ? m_index[row].number : -1; }

bool DriveGroups::IsRowVisible(int row, const GuiSettings& s) const {
    const DriveRow* r = RowAt(row);
    if (!r) return false;
    const bool empty = r->drives.empty();
    if (empty && (!r->smart || !s.SmartDisplay)) return false;
    switch (empty ? r->smartType : r->drives.front().record.DeviceType) {
        case kTypeFloppy: return s.ShowRemovable != 0;
        case kTypeCdRom: return s.ShowCD != 0;
        case kTypeDisk:
        case kTypeVirtualDisk: return true;
        case kTypeNetwork: return s.ShowNetwork != 0;
        case kTypeTape: return s.ShowTape != 0;
        default: return false;
    }
}

bool DriveGroups::AnyActivity(DWORD read_mask, DWORD write_mask, const GuiSettings& settings) const {
    const DWORD busy = read_mask | write_mask;
    for (int row = 0; row < RowCount(); ++row) {
        if (!IsRowVisible(row, settings)) continue;
        for (const DriveEntry& d : RowAt(row)->drives)
            if (busy & blinkor::LetterBit(d.Letter())) return true;
    }
    return false;
}

int DriveGroups::RecordCount() const {
    int count = 0;
    for (const Group& group : m_groups)
        for (const auto& row : group.rows)
            if (row) count += static_cast<int>(row->drives.size());
    return count;
}
