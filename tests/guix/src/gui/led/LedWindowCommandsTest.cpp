// The LED window's commands reach it: a command hides a drive group, a
// double-clicked letter opens the file manager on it, a double-clicked CD
// row ejects the disc through the real driver's machine, the S.M.A.R.T.
// commands of a row reach that row's own drive of a real service, and the
// exit command closes the window.
#include <chrono>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <streambuf>
#include <string>
#include <thread>

#include "LedWindowFixture.h"
#include "SentrakProcess.h"
#include "base/clock_advancer.h"
#include "commands/CommandIds.h"
#include "commands/MediaEject.h"
#include "kernel/client/device_files.h"
#include "process/create_process.h"
#include "ui/input.h"
#include "ui/modal_loop.h"
#include "ui/window_pos.h"

namespace ledtest {
namespace {

// Standard output kept while it lives: the eject reports there from a
// thread of its own, so every write and read is under a lock. It must
// outlive the window, whose end joins that thread.
class CapturedOutput : public std::streambuf {
public:
    CapturedOutput() : m_saved(std::cout.rdbuf(this)) {}
    ~CapturedOutput() override { std::cout.rdbuf(m_saved); }
    bool Holds(const std::string& text) {
        std::lock_guard lock(m_lock);
        return m_text.find(text) != std::string::npos;
    }

protected:
    int overflow(int c) override {
        std::lock_guard lock(m_lock);
        if (c != traits_type::eof()) m_text += char(c);
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard lock(m_lock);
        m_text.append(s, std::size_t(n));
        return n;
    }

private:
    std::streambuf* m_saved;
    std::mutex m_lock;
    std::string m_text;
};

class LedWindowCommands : public LedWindowTest {
protected:
    void SetUp() override {
        LedWindowTest::SetUp();
        plat::process::SetLauncher(
            [this](const std::vector<std::string>& argv) {
                m_launched.push_back(argv);
                return DWORD(4242);
            },
            plat::process::Desktop{[](const std::string& name) { return name == "xdg-open"; },
                                   [](char letter) -> std::optional<std::string> {
                                       if (letter == 'C') return "/";
                                       return std::nullopt;
                                   }});
    }
    void TearDown() override {
        plat::process::SetLauncher({});
        LedWindowTest::TearDown();
    }
    void DoubleClick(POINT client) {
        m_dlg->SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(client.x, client.y));
    }
    static POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

    std::vector<std::vector<std::string>> m_launched;
    // Made by a test that reads standard output; it ends after TearDown,
    // which joins the window's threads.
    std::optional<CapturedOutput> m_output;
};

TEST_F(LedWindowCommands, HidingTheCdGroupRemovesItsRowAtOnce) {
    Build(UsualMachine());
    Open();
    Frame();
    const int wide = WindowWidth();
    m_dlg->SendMessage(WM_COMMAND, cmd::kShowCD);
    EXPECT_EQ(m_dlg->m_Settings.ShowCD, 0u);
    EXPECT_FALSE(m_dlg->IsRowVisible(RowOf('E')));
    EXPECT_LT(WindowWidth(), wide) << "laid out again without the CD row";
}

TEST_F(LedWindowCommands, DoubleClickingALetterOpensTheFileManagerOnIt) {
    Build(UsualMachine());
    Open();
    Frame();
    DoubleClick(Centre(Led('C').rect));
    EXPECT_EQ(m_launched, (std::vector<std::vector<std::string>>{{"xdg-open", "/"}}));
}

TEST_F(LedWindowCommands, DoubleClickingTheCdRowBoxEjectsTheDisc) {
    Build(UsualMachine());
    Open();
    Frame();
    const int row = RowOf('E');
    ASSERT_NE(row, -1);
    // The eject runs beside the GUI thread. Its lock is refused while any
    // other open of the volume exists, so the test does not touch E: until
    // the eject has reported; the clock moves so that a refused attempt is
    // retried.
    CapturedOutput& output = m_output.emplace();
    DoubleClick(Centre(m_dlg->Row(row).box));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const std::string ejected = "Media in Drive E has been ejected safely.";
    while (!output.Holds(ejected) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_clock->Advance(cmd::kEjectLockPauseMs);
    }
    ASSERT_TRUE(output.Holds(ejected));
    ULARGE_INTEGER caller{}, total{}, free{};
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"E:\\", &caller, &total, &free)) << "the medium left the drive";
    m_dlg->DriverLink().GetLocalDrives();
    for (int i = 0; i < 45 && RowOf('E') != -1; ++i) Frame();
    EXPECT_EQ(RowOf('E'), -1) << "its LED goes";
}

// Disks 1 and 2 of the service after disk 0, which has no S.M.A.R.T.: the
// second row holds the service's first drive, and the row number (1) is the
// position of its second. The self-tests and details of that row must get
// the row's own record; once every self-test dialog is open, the commands
// open nothing more.
TEST_F(LedWindowCommands, ARowsSmartCommandsReachThatRowsOwnDrive) {
    sentraktest::SentrakProcess service;
    const auto profile = service.Root() / "profile.json";
    std::ofstream(profile) << R"({"devices": [
      {"name": "\\Device\\Harddisk1\\DR1", "links": ["\\Device\\Harddisk1\\Partition0"], "kind": "ata-disk",
       "scsi_address": {"port": 1, "path": 0, "target": 0, "lun": 0}, "ata": {"model": "FIRST", "serial": "S1"}},
      {"name": "\\Device\\Harddisk2\\DR2", "links": ["\\Device\\Harddisk2\\Partition0"], "kind": "ata-disk",
       "scsi_address": {"port": 2, "path": 0, "target": 0, "lun": 0}, "ata": {"model": "SECOND", "serial": "S2"}}]})";
    service.SetDevices(profile.string());
    ASSERT_TRUE(service.Start()) << service.Errors();
    ::setenv("LUMETRA_SMART_PORT", std::to_string(service.Port()).c_str(), 1);
    Build(Scenario(DiskVolume(1, 0, 1) + "," + DiskVolume(2, 1, 1) + "," + DiskVolume(3, 2, 1),
                   R"("\\??\\C:": "\\Device\\HarddiskVolume1", "\\??\\D:": "\\Device\\HarddiskVolume2",
                      "\\??\\E:": "\\Device\\HarddiskVolume3")"));
    GuiSettings s = TestSettings();
    s.SmartEnabled = s.SmartDisplay = 1;
    Open(s);
    ASSERT_EQ(m_dlg->SmartDeviceCount(), 2);
    Frame();
    const int row = RowOf('D');
    ASSERT_EQ(row, 1);
    const SmartDevice* own = m_dlg->RowSmartDevice(row);
    ASSERT_NE(own, nullptr);
    auto& slots = m_dlg->SmartDialogSlots();
    ASSERT_EQ(slots[0].device, own);
    ASSERT_NE(slots[std::size_t(row)].device, own) << "the row number's position holds the other drive";

    // The context menu over the row chooses it (and is closed); both
    // self-tests then run on its drive.
    plat::ui::SetModalShownHook([](HWND) {
        plat::ui::InjectKey(VK_ESCAPE, true);
        plat::ui::InjectKey(VK_ESCAPE, false);
    });
    POINT at = Centre(m_dlg->Row(row).smartArea);
    ClientToScreen(m_dlg->m_hWnd, &at);
    m_dlg->SendMessage(WM_CONTEXTMENU, WPARAM(m_dlg->m_hWnd), MAKELPARAM(at.x, at.y));
    m_dlg->SendMessage(WM_COMMAND, cmd::kShortSelfTest);
    m_dlg->SendMessage(WM_COMMAND, cmd::kExtendedSelfTest);
    Pump();
    std::vector<HWND> open;
    for (auto& slot : slots) {
        ASSERT_TRUE(slot.selfTest->IsOpen());
        EXPECT_EQ(slot.selfTest->Device(), own);
        open.push_back(slot.selfTest->m_hWnd);
    }
    m_dlg->SendMessage(WM_COMMAND, cmd::kShortSelfTest);
    m_dlg->SendMessage(WM_COMMAND, cmd::kExtendedSelfTest);
    Pump();
    for (std::size_t i = 0; i < slots.size(); ++i) {
        EXPECT_EQ(slots[i].selfTest->m_hWnd, open[i]) << "nothing new";
        EXPECT_EQ(slots[i].selfTest->IsExtendedTest(), DWORD(i)) << "an open dialog keeps its test";
    }

    DoubleClick(Centre(m_dlg->Row(row).smartArea));
    int details = 0;
    for (auto& slot : slots) {
        if (!slot.details->IsOpen()) continue;
        ++details;
        EXPECT_EQ(slot.details->Device(), own);
    }
    EXPECT_EQ(details, 1);
    {
        plat::ClockAdvancer advance(*m_clock, 50);  // the window joins its threads while the service runs
        m_dlg.reset();
    }
}

TEST_F(LedWindowCommands, TheExitCommandDestroysTheWindow) {
    Build(UsualMachine());
    Open();
    {
        plat::ClockAdvancer advance(*m_clock, 50);  // the threads end on the platform clock
        m_dlg->SendMessage(WM_COMMAND, cmd::kExit);
    }
    EXPECT_EQ(m_dlg->m_hWnd, nullptr);
}

}  // namespace
}  // namespace ledtest
