// The LED window's commands reach it: a command hides a drive group, a
// double-clicked letter opens the file manager on it, a double-clicked CD
// row ejects the disc through the real driver's machine, and the exit
// command closes the window.
#include <chrono>
#include <iostream>
#include <mutex>
#include <optional>
#include <streambuf>
#include <string>
#include <thread>

#include "LedWindowFixture.h"
#include "base/clock_advancer.h"
#include "commands/CommandIds.h"
#include "commands/MediaEject.h"
#include "kernel/client/device_files.h"
#include "process/create_process.h"

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
