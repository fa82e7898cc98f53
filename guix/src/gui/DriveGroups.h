// The LED window's drives, sorted into five groups of rows: disks, CD/DVD,
// tape, network and removable. A group holds up to 100 rows, indexed by the
// drives' device numbers; a row holds copies of the driver's drive records
// (sorted by letter) and may carry a S.M.A.R.T. device.
//
// Rows are numbered from 0 across the groups in display order (disks,
// CD/DVD, network, tape, removable), within a group by device number; that
// number is what the window draws, hit-tests and hands to the dialogs. At
// most kMaxRows rows are numbered in all, so nothing the window keeps per row
// is written beyond its 100 rows.
//
// Device numbers of 100 or more have no row: such records and S.M.A.R.T.
// devices are not shown (Place and AttachSmart answer false), and neither
// are rows past the hundredth. Each device left out is logged once for the
// groups' life (the window's, which is the program's), however often the
// drive list is read again.
//
// Threads: not locked; the window changes and reads the groups under its
// drawing lock.
#pragma once

#include <array>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "Settings.h"
#include "blinkor/LedIoctl.h"
#include "smart/SmartRecords.h"

// Group indexes; they are also the row icons' indexes.
enum LedGroup : int { kGroupDisks = 0, kGroupCdDvd = 1, kGroupTape = 2, kGroupNetwork = 3, kGroupRemovable = 4 };
inline constexpr int kGroupCount = 5;
inline constexpr std::array<int, kGroupCount> kGroupDisplayOrder = {kGroupDisks, kGroupCdDvd, kGroupNetwork,
                                                                     kGroupTape, kGroupRemovable};
// The caption string of each group, by group index.
inline constexpr std::array<UINT, kGroupCount> kGroupCaptionStrings = {226, 269, 271, 270, 272};

inline constexpr int kRowsPerGroup = 100;
inline constexpr int kMaxRows = 100;

// Device types of the driver's records and of S.M.A.R.T. devices.
inline constexpr DWORD kTypeFloppy = 1;
inline constexpr DWORD kTypeCdRom = 2;
inline constexpr DWORD kTypeDisk = 7;
inline constexpr DWORD kTypeNetwork = 18;
inline constexpr DWORD kTypeTape = 31;
inline constexpr DWORD kTypeVirtualDisk = 36;

// One drive record as the driver sent it, with its name bytes.
struct DriveEntry {
    DRIVE_RECORD record{};
    std::vector<BYTE> name;  // NameLength bytes of UTF-16

    WCHAR Letter() const { return record.Letter; }
    std::u16string Label() const;  // up to the first 0, at most 32 characters
    std::u16string Name() const;
    // The network catch-all: letter 0x60 on a network record.
    bool IsCatchAll() const { return record.Letter == LED_LETTER_CATCH_ALL && record.DeviceType == kTypeNetwork; }
};

struct DriveRow {
    std::vector<DriveEntry> drives;  // sorted by letter
    SmartDevice* smart = nullptr;
    // The S.M.A.R.T. device's type, kept when it was attached: the record
    // itself is overwritten by the S.M.A.R.T. poll (and zeroed by a failed
    // answer), so it is read only through the handler's copy.
    DWORD smartType = 0;
};

class DriveGroups {
public:
    // Drops every record. A row without a S.M.A.R.T. device goes with its
    // records; a row with one stays (empty until records come back), so a
    // disk keeps its S.M.A.R.T. box through every refresh of the list.
    void Clear();
    // Appends `entry` to the row of its device number in `group` (made when
    // missing) and sorts the row by letter. False for device numbers of 100
    // or more.
    bool Place(int group, DriveEntry entry);
    // Gives `device` a row of the group its type names (see the .cpp); false
    // when its type has no group or its number no row. Type and number are
    // taken from `as_read`, the device's record as a consistent copy gave
    // it; the one-argument form reads the record itself.
    bool AttachSmart(SmartDevice* device, const SmartDevice& as_read);
    bool AttachSmart(SmartDevice* device) { return device && AttachSmart(device, *device); }
    // Removes record `j` of row `row` (a drive that is gone); a row left
    // without records and without S.M.A.R.T. device goes too.
    void RemoveRecord(int row, int j);

    void SetCaption(int group, std::u16string caption) { m_groups[group].caption = std::move(caption); }
    const std::u16string& Caption(int group) const { return m_groups[group].caption; }
    // Whether the group has at least one row.
    bool HasRows(int group) const;

    int RowCount() const { return static_cast<int>(m_index.size()); }
    int LetterCount(int row) const;
    // Record j of row `row`; nullptr past the end.
    const DriveEntry* Record(int row, int j) const;
    SmartDevice* Smart(int row) const;
    // The type of the row's S.M.A.R.T. device as attached; 0 for none.
    DWORD SmartType(int row) const;
    int GroupOf(int row) const;
    // The row's device number (its index in its group); -1 past the end.
    int DeviceNumberOf(int row) const;
    bool IsRowVisible(int row, const GuiSettings& settings) const;
    // Whether a letter of a visible row is reading or writing.
    bool AnyActivity(DWORD read_mask, DWORD write_mask, const GuiSettings& settings) const;
    // Records placed in all groups.
    int RecordCount() const;

private:
    struct Group {
        std::u16string caption;
        std::array<std::optional<DriveRow>, kRowsPerGroup> rows;
    };
    struct RowRef {
        int group;
        int number;
    };
    const DriveRow* RowAt(int row) const;
    void Reindex();
    enum class Unshown { Record, SmartDevice, Row };
    // Logs the device of `number` in `group` as not shown, the first time.
    void NoteUnshown(Unshown what, int group, DWORD number);

    std::array<Group, kGroupCount> m_groups;
    std::vector<RowRef> m_index;  // row number -> group and device number
    std::set<std::tuple<Unshown, int, DWORD>> m_logged;
};

// The group a record of the driver's list goes into after the record's
// reclassification (A:, B: and removable media other than CDs count as
// removable, which may change `record.DeviceType`); -1 when it is not shown.
int ClassifyDriveRecord(DRIVE_RECORD& record);
