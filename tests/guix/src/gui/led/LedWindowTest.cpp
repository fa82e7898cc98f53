// The LED window on the headless backend, against the real driver: start and
// its failures, the layout's geometry, the LEDs, used-space bars, S.M.A.R.T.
// boxes and the alert as the pixels show them, drives that go, tooltips, the
// stacked arrangement and the stored settings.
#include "LedWindowFixture.h"
#include "SettingsStore.h"
#include "base/text.h"
#include "base/clock_advancer.h"
#include "registry/registry.h"
#include "ui/headless/headless_backend.h"

namespace ledtest {
namespace {

// Layout values of the product's library: LED 20 x 24, spacing 2, margin 2.
constexpr int kRowHeight = 32;
constexpr int kFixedButtons = 25;
constexpr int kOptionsStrip = 162;
// A row of n letters: 98 + 22 n with its S.M.A.R.T. box, 58 less without.
constexpr int RowWidth(int letters, bool box) { return 98 + 22 * letters - (box ? 0 : 58); }

SmartDevice Disk(DWORD number, BYTE health = 1, BYTE temperature = 40) {
    SmartDevice d;
    d.deviceType = kTypeDisk;
    d.deviceNumber = number;
    d.flags = SMART_FLAG_SUPPORTED;
    d.health = health;
    d.counters.temperature = temperature;
    return d;
}

using LedWindow = LedWindowTest;

std::string skintest_boxes(const std::vector<std::u16string>& boxes) {
    std::string all;
    for (const auto& b : boxes) all += plat::Utf16ToUtf8(b) + " | ";
    return all;
}

TEST_F(LedWindow, StartsWithItsRowsLaidOutAndItsThreadsRunning) {
    Build(UsualMachine());
    Open();
    EXPECT_TRUE(m_dlg->IsInitialised());
    EXPECT_FALSE(m_dlg->IsClosing());
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(m_dlg->LaidOutRows(), 2);
    EXPECT_EQ(WindowWidth(), RowWidth(2, false) + RowWidth(1, false) + kFixedButtons);
    EXPECT_EQ(WindowHeight(), kRowHeight);
    EXPECT_TRUE(m_dlg->Threads().IsPolling());
    EXPECT_TRUE(m_dlg->Threads().IsWatching());
    EXPECT_FALSE(m_dlg->Threads().IsSmartPolling());
    EXPECT_EQ(m_tray->IconOf(m_dlg->m_hWnd), m_dlg->WindowIcon(CLUMEXGUIDlg::kIconNormal));
    EXPECT_TRUE(Logged("CGDLG::OIU: <-"));
}

TEST_F(LedWindow, WithoutTheDriverItShowsString151AndCloses) {
    Build(UsualMachine(), false);
    Open();
    ASSERT_EQ(m_boxes.size(), 1u) << skintest_boxes(m_boxes);
    EXPECT_NE(m_boxes[0].find(u"driver Blinkor"), std::u16string::npos);
    EXPECT_TRUE(Logged("CRI") && Logged("CGDLG::OIU: PrepareDriver() FAILED"));
    EXPECT_FALSE(m_dlg->Threads().IsPolling());
    EXPECT_EQ(m_dlg->m_hWnd, nullptr) << "destroyed at its next paint";
}

TEST_F(LedWindow, WithoutDrivesItShowsString150AndCloses) {
    Build(Scenario(DiskVolume(1, 0, 0), R"("\\??\\C:": "\\Device\\HarddiskVolume1")"));
    Open();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_NE(m_boxes[0].find(u"No drives"), std::u16string::npos);
    EXPECT_EQ(m_dlg->m_hWnd, nullptr);
}

TEST_F(LedWindow, RemovingTheLastDriveEndsItWithString150) {
    Build(Scenario(DiskVolume(1, 0, 1), R"("\\??\\C:": "\\Device\\HarddiskVolume1")"));
    Open();
    Run("delete C:");
    m_dlg->PostMessage(CLUMEXGUIDlg::WM_DRIVES_CHANGED);
    {
        plat::ClockAdvancer advance(*m_clock, 50);  // the closing window joins its threads
        Pump();
    }
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_NE(m_boxes[0].find(u"No drives"), std::u16string::npos);
    EXPECT_EQ(m_dlg->m_hWnd, nullptr);
}

// Each device left out is logged once, however often the list is read.
TEST_F(LedWindow, DevicesNumberedAHundredOrMoreAreNotShownAndLoggedOnce) {
    Build(Scenario(DiskVolume(1, 0, 1, "SYSTEM") + "," + DiskVolume(2, 100, 1) + "," + DiskVolume(3, 100, 2),
                   R"("\\??\\C:": "\\Device\\HarddiskVolume1", "\\??\\F:": "\\Device\\HarddiskVolume2",
                      "\\??\\G:": "\\Device\\HarddiskVolume3")"));
    Open();
    DriveGroups& groups = m_dlg->DriverLink().Groups();
    ASSERT_EQ(groups.RowCount(), 1);
    EXPECT_EQ(groups.LetterCount(0), 1) << "C: alone";
    m_dlg->DriverLink().GetLocalDrives();
    SmartDevice far = Disk(100);
    EXPECT_FALSE(groups.AttachSmart(&far));
    EXPECT_FALSE(groups.AttachSmart(&far));
    // Rows past the hundredth: C:'s row and a hundred CD rows.
    for (DWORD n = 0; n < 100; ++n) {
        DRIVE_RECORD cd{};
        cd.Letter = u'E';
        cd.DeviceType = kTypeCdRom;
        cd.DeviceNumber = n;
        groups.Place(kGroupCdDvd, DriveEntry{cd, {}});
    }
    EXPECT_EQ(groups.RowCount(), kMaxRows);
    const auto lines = LogLines();
    const auto count = [&](const std::string& text) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != l.npos; });
    };
    EXPECT_EQ(count("drive records of device 100 in group 0 not shown"), 1);
    EXPECT_EQ(count("S.M.A.R.T. device 100 in group 0 not shown"), 1);
    EXPECT_EQ(count("device 99 in group 1 not shown: the window has no more than 100 rows"), 1);
    EXPECT_EQ(count("not shown"), 3);
}

TEST_F(LedWindow, RowsAreAsWideAsTheirLettersWithTheBoxOrItsCut) {
    Build(Scenario(DiskVolume(1, 0, 1) + "," + DiskVolume(2, 0, 2) + "," + DiskVolume(3, 0, 3),
                   R"("\\??\\C:": "\\Device\\HarddiskVolume1", "\\??\\D:": "\\Device\\HarddiskVolume2",
                      "\\??\\F:": "\\Device\\HarddiskVolume3")"));
    Open();
    EXPECT_EQ(WindowWidth(), RowWidth(3, false) + kFixedButtons);
    AttachSmart(Disk(0));
    m_dlg->m_Settings.SmartDisplay = 1;
    m_dlg->Relayout(m_dlg->DriverLink().Groups().RowCount(), 1);
    EXPECT_EQ(WindowWidth(), RowWidth(3, true) + kFixedButtons);
    EXPECT_EQ(RowWidth(3, true) - RowWidth(3, false), 58);
    EXPECT_NE(m_dlg->FindButton(u"BUTTON_SMART"), nullptr);
    m_dlg->m_Settings.OptionsPanelOpen = 1;
    m_dlg->Relayout(m_dlg->DriverLink().Groups().RowCount(), 1);
    EXPECT_EQ(WindowWidth(), RowWidth(3, true) + kOptionsStrip + kFixedButtons);
    EXPECT_NE(m_dlg->FindButton(u"BUTTON_CD"), nullptr);
    EXPECT_NE(m_dlg->FindSlider(u"SLIDER_COLOR"), nullptr);
    EXPECT_EQ(m_dlg->FindSlider(u"SLIDER_ALPHA") != nullptr, m_dlg->m_Settings.TransparencyAvailable != 0);
}

TEST_F(LedWindow, WithNoVisibleRowOnlyTheStripAndTheButtonsRemain) {
    Build(Scenario(R"({"name": "\\Device\\CdRom0", "type": "cdrom", "removable": true,
                       "device_number": {"type": 2, "disk": 0}, "volume": {"file_system": "Cdfs"}})",
                   R"("\\??\\E:": "\\Device\\CdRom0")"));
    GuiSettings s = TestSettings();
    s.ShowCD = 0;
    Open(s);
    EXPECT_EQ(WindowWidth(), kFixedButtons);
    m_dlg->m_Settings.OptionsPanelOpen = 1;
    m_dlg->Relayout(m_dlg->DriverLink().Groups().RowCount(), 1);
    EXPECT_EQ(WindowWidth(), kOptionsStrip + kFixedButtons);
}

TEST_F(LedWindow, ARefreshWithFewerRowsStretchesWithTheShrinkValues) {
    Build(UsualMachine());
    Open();
    EXPECT_FALSE(m_dlg->LastLayoutShrank()) << "the first layout";
    m_dlg->m_Settings.ShowCD = 0;
    m_dlg->RefreshLayout();
    EXPECT_FALSE(m_dlg->LastLayoutShrank()) << "as many rows: hidden ones still count";
    Run("delete E:");
    m_dlg->DriverLink().GetLocalDrives();
    m_dlg->RefreshLayout();
    EXPECT_TRUE(m_dlg->LastLayoutShrank());
    m_dlg->Relayout(m_dlg->DriverLink().Groups().RowCount(), 1);
    EXPECT_FALSE(m_dlg->LastLayoutShrank()) << "the options button";
}

TEST_F(LedWindow, ALetterReadingAndWritingShowsImageTwoThenIdleImageThree) {
    Build(UsualMachine());
    Open();
    Frame();
    const RECT c = Led('C').rect;
    EXPECT_EQ(Led('C').image, CLUMEXGUIDlg::kLedIdle);
    Run("hold C: read 1");
    Run("hold C: write 1");
    Run("hold D: write 1");
    Frame();
    EXPECT_EQ(Led('C').image, CLUMEXGUIDlg::kLedBoth);
    EXPECT_EQ(Shown(c.left + 17, c.top + 3), ImagePixel(259, 20, CLUMEXGUIDlg::kLedBoth, 17, 3));
    EXPECT_EQ(Shown(c.left + 16, c.top + 12), ImagePixel(259, 20, CLUMEXGUIDlg::kLedBoth, 16, 12));
    EXPECT_EQ(Led('D').image, CLUMEXGUIDlg::kLedWriting);
    Run("complete C: all");
    Run("complete D: all");
    Frame();
    EXPECT_EQ(Led('C').image, CLUMEXGUIDlg::kLedIdle);
    EXPECT_EQ(Shown(c.left + 16, c.top + 12), ImagePixel(259, 20, CLUMEXGUIDlg::kLedIdle, 16, 12));
}

// What the window shows, every pixel (0x00RRGGBB inside its shape).
std::vector<std::uint32_t> Pixels(HWND window) {
    std::vector<std::uint32_t> pixels;
    const auto shown = plat::ui::Headless()->Capture(window);
    for (int y = 0; shown && y < shown->Height(); ++y)
        for (int x = 0; x < shown->Width(); ++x) pixels.push_back(shown->Get(x, y) & 0xFFFFFF);
    return pixels;
}

TEST_F(LedWindow, AnActivityRedrawShowsOnlyWhatChangedAndNothingWhenNothingDid) {
    Build(UsualMachine());
    Open();
    Frame();
    plat::ui::HeadlessBackend& screen = *plat::ui::Headless();
    const std::size_t settled = screen.PresentCount(m_dlg->m_hWnd);
    Frame();
    Frame();
    EXPECT_EQ(screen.PresentCount(m_dlg->m_hWnd), settled) << "frames without a change present nothing";

    const RECT c = Led('C').rect;
    Run("hold C: read 1");
    Frame();
    EXPECT_EQ(screen.PresentCount(m_dlg->m_hWnd), settled + 1) << "one presentation for the changed LED";
    EXPECT_EQ(Shown(c.left + 16, c.top + 12), ImagePixel(259, 20, CLUMEXGUIDlg::kLedReading, 16, 12));
    Frame();
    EXPECT_EQ(screen.PresentCount(m_dlg->m_hWnd), settled + 1) << "a held request keeps its look";

    Run("complete C: all");
    Run("hold D: write 1");
    Frame();
    EXPECT_EQ(Shown(c.left + 16, c.top + 12), ImagePixel(259, 20, CLUMEXGUIDlg::kLedIdle, 16, 12));
    // The pieces drawn one by one show exactly what a whole drawing shows.
    const std::vector<std::uint32_t> partial = Pixels(m_dlg->m_hWnd);
    m_dlg->Invalidate(TRUE);
    Pump();
    EXPECT_GT(screen.PresentCount(m_dlg->m_hWnd), settled + 2);
    EXPECT_EQ(Pixels(m_dlg->m_hWnd), partial);
}

TEST_F(LedWindow, TheUsedSpaceBarCoversTheUsedPartOfTheLed) {
    Build(Scenario(DiskVolume(1, 0, 1, "", 25) + "," + DiskVolume(2, 1, 1, "", 50),
                   R"("\\??\\D:": "\\Device\\HarddiskVolume1", "\\??\\A:": "\\Device\\HarddiskVolume2")"));
    Open();
    Frame();
    const RECT d = Led('D').rect;
    EXPECT_EQ(Led('D').freePercent, 25);
    // 25 % free: the bar is 20 - 20 x 25 / 100 = 15 pixels wide.
    EXPECT_EQ(Shown(d.left + 14, d.top + 20), ImagePixel(259, 20, CLUMEXGUIDlg::kLedUsedBar, 14, 20));
    EXPECT_EQ(Shown(d.left + 16, d.top + 20), ImagePixel(259, 20, CLUMEXGUIDlg::kLedIdle, 16, 20));
    // A: is never asked: no bar although its volume is half full.
    const RECT a = Led('A').rect;
    EXPECT_EQ(Led('A').freePercent, 100);
    EXPECT_EQ(Shown(a.left + 5, a.top + 20), ImagePixel(259, 20, CLUMEXGUIDlg::kLedIdle, 5, 20));
}

TEST_F(LedWindow, AFailingDiskShowsTheFailingBoxRaisesTheAlertAndSwapsTheTrayIcon) {
    Build(UsualMachine());
    Open();
    SmartDevice& disk = AttachSmart(Disk(0, 1, 40));
    m_dlg->m_Settings.SmartDisplay = 1;
    m_dlg->RefreshLayout();
    Frame();
    EXPECT_FALSE(m_dlg->IsAlertActive());
    const RECT area = m_dlg->Row(0).smartArea;
    const int box_left = area.left + 4, box_top = area.top - 1;
    EXPECT_EQ(Shown(box_left + 5, box_top + 13), ImagePixel(260, 53, 0, 5, 13));
    disk.health = 0;
    Frame();
    EXPECT_TRUE(m_dlg->IsAlertActive());
    EXPECT_EQ(Shown(box_left + 5, box_top + 13), ImagePixel(260, 53, 2, 5, 13));
    EXPECT_EQ(m_tray->IconOf(m_dlg->m_hWnd), m_dlg->WindowIcon(CLUMEXGUIDlg::kIconAlert));
    disk.health = 1;
    Frame();
    EXPECT_TRUE(m_dlg->IsAlertActive()) << "until the user resets it";
    m_dlg->ResetAlert();
    EXPECT_EQ(m_tray->IconOf(m_dlg->m_hWnd), m_dlg->WindowIcon(CLUMEXGUIDlg::kIconNormal));
}

TEST_F(LedWindow, AHotDiskRaisesTheAlertAfterTheRedraw) {
    Build(UsualMachine());
    GuiSettings s = TestSettings();
    s.MaxTemp = 45;
    Open(s);
    SmartDevice& disk = AttachSmart(Disk(0, 1, 44));
    disk.counters.secondTemperature = 55;
    m_dlg->m_Settings.SmartDisplay = 1;
    m_dlg->RefreshLayout();
    Frame();
    EXPECT_FALSE(m_dlg->IsAlertActive());
    disk.counters.temperature = 50;
    Frame();
    EXPECT_TRUE(m_dlg->IsAlertActive()) << "MaxTemp 45 over the drive's 55";
    EXPECT_EQ(disk.counters.secondTemperature, 55) << "the record itself is left alone";
}

TEST_F(LedWindow, AnEjectedCdLeavesItsRow) {
    Build(UsualMachine());
    Open();
    Frame();
    ASSERT_NE(RowOf('E'), -1);
    Run("eject E:");
    m_dlg->DriverLink().GetLocalDrives();
    for (int i = 0; i < 45 && RowOf('E') != -1; ++i) Frame();
    EXPECT_EQ(RowOf('E'), -1);
    EXPECT_NE(RowOf('C'), -1);
}

TEST_F(LedWindow, TooltipsNameTheGroupsLabelsAndFreeSpaceAndFollowHiddenGroups) {
    Build(UsualMachine());
    Open();
    Frame();
    m_dlg->Invalidate(TRUE);
    Pump();
    EXPECT_NE(m_dlg->Row(0).tool, -1);
    EXPECT_NE(m_dlg->Row(1).tool, -1);
    EXPECT_NE(Led('C').upperTool, -1);
    EXPECT_NE(Led('C').lowerTool, -1);
    EXPECT_NE(Led('E').upperTool, -1) << "the CD's label";
    EXPECT_EQ(Led('E').lowerTool, -1);
    EXPECT_DOUBLE_EQ(Led('D').freeGigabytes, 2.5);
    m_dlg->m_Settings.ShowCD = 0;
    m_dlg->RefreshLayout();
    EXPECT_EQ(m_dlg->Row(1).tool, -1);
    EXPECT_EQ(m_dlg->Row(1).Led(0).upperTool, -1);
}

TEST_F(LedWindow, StackedRowsFollowEachOtherDownTheWindow) {
    Build(UsualMachine());
    GuiSettings s = TestSettings();
    s.Horizontal = 0;
    Open(s);
    EXPECT_EQ(WindowWidth(), RowWidth(2, false) + kFixedButtons);
    EXPECT_EQ(WindowHeight(), 2 * kRowHeight);
    Run("hold E: read 1");
    Frame();
    const RECT c = Led('C').rect, e = Led('E').rect;
    EXPECT_EQ(e.left, c.left);
    EXPECT_EQ(e.top, c.top + kRowHeight);
    EXPECT_EQ(Shown(e.left + 16, e.top + 12), ImagePixel(259, 20, CLUMEXGUIDlg::kLedReading, 16, 12));
    EXPECT_EQ(m_dlg->HitTestRow(POINT{e.left - 30, e.top + 5}), 1) << "the row icon's box";
    int row = -1, letter = -1;
    EXPECT_TRUE(m_dlg->HitTestLetter(POINT{c.left + 3, c.top + 3}, &row, &letter));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(letter, 0);
}

TEST_F(LedWindow, TheFirstShowRestoresTheStoredPlacementAndGoesToTheTrayWhenItWasThere) {
    Build(UsualMachine());
    GuiSettings s = TestSettings();
    s.Placement.length = sizeof s.Placement;
    s.Placement.showCmd = SW_SHOWNORMAL | 2;
    s.Placement.rcNormalPosition = RECT{200, 150, 371, 182};
    Open(s);
    RECT r{};
    GetWindowRect(m_dlg->m_hWnd, &r);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.top, 150);
    EXPECT_TRUE(m_dlg->IsInitialised());
    EXPECT_EQ(m_dlg->m_Settings.MinimizedToTray, 1u);
    EXPECT_FALSE(IsWindowVisible(m_dlg->m_hWnd)) << "hidden in the tray";
}

TEST_F(LedWindow, MouseMovesStoreTheSettingsOnlyWhenTheyChanged) {
    Build(UsualMachine());
    Open();
    const POINT inside{10, 10};
    const auto move = [&] { SendMessageW(m_dlg->m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(inside.x, inside.y)); };
    move();
    HKEY key = nullptr;
    ASSERT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, settings::kSettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS)
        << "even the first move after the start writes nothing";
    m_dlg->m_Settings.Fahrenheit = 1;
    move();
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, settings::kSettingsKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueW(key, u"bin"), ERROR_SUCCESS);
    move();
    EXPECT_NE(RegQueryValueExW(key, u"bin", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS) << "nothing written";
    RegCloseKey(key);
}

TEST_F(LedWindow, DestructionStoresThePlacementWithTheTrayBitsAndStopsTheThreads) {
    Build(UsualMachine());
    Open();
    m_dlg->m_Settings.MinimizedToTray = 1;
    {
        plat::ClockAdvancer advance(*m_clock, 50);
        m_dlg->DestroyWindow();
    }
    EXPECT_EQ(m_dlg->m_Settings.Placement.showCmd & 6, 6u);
    EXPECT_FALSE(m_dlg->Threads().IsPolling());
    EXPECT_FALSE(m_dlg->DriverLink().IsOpen());
    EXPECT_TRUE(Logged("CGDLG::ODEST: <-"));
}

}  // namespace
}  // namespace ledtest
