// The drive groups on their own: which group a driver record lands in, how
// rows are numbered across the groups, S.M.A.R.T. devices and the rows they
// keep, row visibility by the settings, and the busy state.
#include <gtest/gtest.h>

#include "DriveGroups.h"

namespace {

DRIVE_RECORD Record(WCHAR letter, DWORD type, DWORD number, DWORD partition = 1, bool removable = false) {
    DRIVE_RECORD r{};
    r.Letter = letter;
    r.DeviceType = type;
    r.DeviceNumber = number;
    r.PartitionNumber = partition;
    r.Removable = removable ? 1 : 0;
    return r;
}

void Place(DriveGroups& groups, DRIVE_RECORD r) {
    const int group = ClassifyDriveRecord(r);
    ASSERT_GE(group, 0);
    ASSERT_TRUE(groups.Place(group, DriveEntry{r, {}}));
}

SmartDevice Smart(DWORD type, DWORD number) {
    SmartDevice d;
    d.deviceType = type;
    d.deviceNumber = number;
    return d;
}

TEST(DriveClassification, RecordsLandInTheirGroupAfterReclassification) {
    struct Case {
        DRIVE_RECORD record;
        int group;
        DWORD type_after;
    } cases[] = {
        {Record('C', kTypeDisk, 0, 1), kGroupDisks, kTypeDisk},
        {Record('V', kTypeVirtualDisk, 3, 1), kGroupDisks, kTypeVirtualDisk},
        {Record('A', kTypeDisk, 0, 1), kGroupRemovable, kTypeFloppy},
        {Record('B', kTypeCdRom, 0, 1), kGroupRemovable, kTypeFloppy},
        {Record('F', kTypeDisk, 1, 1, true), kGroupRemovable, kTypeFloppy},
        {Record('E', kTypeCdRom, 0, 0xFFFFFFFF, true), kGroupCdDvd, kTypeCdRom},
        {Record('Z', kTypeNetwork, 0), kGroupNetwork, kTypeNetwork},
        {Record('T', kTypeTape, 0), kGroupTape, kTypeTape},
        {Record('G', kTypeDisk, 0, 0), -1, kTypeDisk},
        {Record('H', kTypeDisk, 0, 0xFFFFFFFF), -1, kTypeDisk},
        {Record('K', 3, 0), -1, 3},
    };
    for (Case& c : cases) {
        EXPECT_EQ(ClassifyDriveRecord(c.record), c.group) << char(c.record.Letter);
        EXPECT_EQ(c.record.DeviceType, c.type_after) << char(c.record.Letter);
    }
}

TEST(DriveRows, AreNumberedInDisplayOrderAndSortedByLetter) {
    DriveGroups groups;
    Place(groups, Record('A', kTypeFloppy, 0));
    Place(groups, Record('T', kTypeTape, 0));
    Place(groups, Record('Z', kTypeNetwork, 0));
    Place(groups, Record('Y', kTypeNetwork, 0));
    Place(groups, Record('E', kTypeCdRom, 0));
    Place(groups, Record('F', kTypeDisk, 1));
    Place(groups, Record('D', kTypeDisk, 0, 2));
    Place(groups, Record('C', kTypeDisk, 0, 1));
    ASSERT_EQ(groups.RowCount(), 6);
    const int expected_groups[] = {kGroupDisks, kGroupDisks, kGroupCdDvd, kGroupNetwork, kGroupTape, kGroupRemovable};
    for (int row = 0; row < 6; ++row) EXPECT_EQ(groups.GroupOf(row), expected_groups[row]) << row;
    EXPECT_EQ(groups.LetterCount(0), 2);
    EXPECT_EQ(groups.Record(0, 0)->Letter(), u'C');
    EXPECT_EQ(groups.Record(0, 1)->Letter(), u'D');
    EXPECT_EQ(groups.DeviceNumberOf(1), 1);
    EXPECT_EQ(groups.Record(3, 0)->Letter(), u'Y');
    EXPECT_EQ(groups.Record(3, 1)->Letter(), u'Z');
    EXPECT_EQ(groups.Record(3, 2), nullptr);
    EXPECT_EQ(groups.Record(6, 0), nullptr);
    EXPECT_EQ(groups.RecordCount(), 8);
}

TEST(DriveRows, DeviceNumbersOfAHundredOrMoreHaveNoRow) {
    DriveGroups groups;
    EXPECT_FALSE(groups.Place(kGroupDisks, DriveEntry{Record('C', kTypeDisk, 100), {}}));
    SmartDevice far = Smart(kTypeDisk, 250);
    EXPECT_FALSE(groups.AttachSmart(&far));
    EXPECT_EQ(groups.RowCount(), 0);
    // A hundred rows at most are numbered, whatever the groups hold.
    for (DWORD n = 0; n < 100; ++n) {
        Place(groups, Record('C', kTypeDisk, n));
        Place(groups, Record('E', kTypeCdRom, n));
    }
    EXPECT_EQ(groups.RowCount(), kMaxRows);
    EXPECT_EQ(groups.GroupOf(kMaxRows - 1), kGroupDisks);
}

TEST(SmartRows, AttachToTheirDiskOrMakeAnEmptyRowThatSurvivesRefreshes) {
    DriveGroups groups;
    Place(groups, Record('C', kTypeDisk, 0));
    Place(groups, Record('E', kTypeCdRom, 0));
    SmartDevice disk0 = Smart(kTypeDisk, 0), disk2 = Smart(kTypeDisk, 2), odd = Smart(5, 0);
    EXPECT_TRUE(groups.AttachSmart(&disk0));
    EXPECT_TRUE(groups.AttachSmart(&disk2));
    EXPECT_FALSE(groups.AttachSmart(&odd));
    ASSERT_EQ(groups.RowCount(), 3);
    EXPECT_EQ(groups.Smart(0), &disk0);
    EXPECT_EQ(groups.Smart(1), &disk2);
    EXPECT_EQ(groups.LetterCount(1), 0);
    EXPECT_EQ(groups.GroupOf(2), kGroupCdDvd);

    // A refresh drops records; the rows with S.M.A.R.T. devices stay and
    // take their records again.
    groups.Clear();
    EXPECT_EQ(groups.RowCount(), 2);
    EXPECT_EQ(groups.RecordCount(), 0);
    Place(groups, Record('C', kTypeDisk, 0));
    EXPECT_EQ(groups.Smart(0), &disk0);
    EXPECT_EQ(groups.Record(0, 0)->Letter(), u'C');

    // A second device of one number takes the first row without one.
    SmartDevice twin = Smart(kTypeDisk, 0);
    EXPECT_TRUE(groups.AttachSmart(&twin));
    EXPECT_EQ(groups.Smart(1), &twin);
    EXPECT_EQ(groups.DeviceNumberOf(1), 1);
}

TEST(RowVisibility, FollowsTheGroupSettingsAndSmartDisplayForEmptyRows) {
    DriveGroups groups;
    Place(groups, Record('C', kTypeDisk, 0));
    Place(groups, Record('E', kTypeCdRom, 0));
    Place(groups, Record('Z', kTypeNetwork, 0));
    Place(groups, Record('T', kTypeTape, 0));
    Place(groups, Record('A', kTypeFloppy, 0));
    SmartDevice lettersless = Smart(kTypeDisk, 4);
    groups.AttachSmart(&lettersless);  // row 1
    GuiSettings s;
    for (int row = 0; row < groups.RowCount(); ++row) EXPECT_TRUE(groups.IsRowVisible(row, s)) << row;
    s.ShowCD = s.ShowNetwork = s.ShowTape = s.ShowRemovable = 0;
    s.SmartDisplay = 0;
    EXPECT_TRUE(groups.IsRowVisible(0, s));
    for (int row = 1; row < groups.RowCount(); ++row) EXPECT_FALSE(groups.IsRowVisible(row, s)) << row;
    EXPECT_FALSE(groups.IsRowVisible(groups.RowCount(), s));
}

TEST(RowVisibility, ALetterlessRowKeepsTheTypeItsDeviceHadWhenAttached) {
    DriveGroups groups;
    SmartDevice lettersless = Smart(kTypeDisk, 4);
    groups.AttachSmart(&lettersless);
    // The poll overwrites the record; a failed answer leaves it zeroed.
    lettersless = SmartDevice{};
    EXPECT_EQ(groups.SmartType(0), kTypeDisk);
    EXPECT_TRUE(groups.IsRowVisible(0, GuiSettings{}));
}

TEST(BusyState, CountsOnlyLettersOfVisibleRows) {
    DriveGroups groups;
    Place(groups, Record('C', kTypeDisk, 0));
    Place(groups, Record('E', kTypeCdRom, 0));
    GuiSettings s;
    EXPECT_FALSE(groups.AnyActivity(0, 0, s));
    EXPECT_TRUE(groups.AnyActivity(blinkor::LetterBit('C'), 0, s));
    EXPECT_TRUE(groups.AnyActivity(0, blinkor::LetterBit('E'), s));
    EXPECT_FALSE(groups.AnyActivity(blinkor::LetterBit('D'), blinkor::LetterBit('Q'), s));
    s.ShowCD = 0;
    EXPECT_FALSE(groups.AnyActivity(blinkor::LetterBit('E'), blinkor::LetterBit('E'), s));
}

TEST(DriveRows, RemovingTheLastRecordOfARowRemovesTheRow) {
    DriveGroups groups;
    Place(groups, Record('E', kTypeCdRom, 0));
    Place(groups, Record('F', kTypeCdRom, 0));
    groups.RemoveRecord(0, 0);
    ASSERT_EQ(groups.LetterCount(0), 1);
    EXPECT_EQ(groups.Record(0, 0)->Letter(), u'F');
    groups.RemoveRecord(0, 0);
    EXPECT_EQ(groups.RowCount(), 0);
    EXPECT_FALSE(groups.HasRows(kGroupCdDvd));
}

}  // namespace
