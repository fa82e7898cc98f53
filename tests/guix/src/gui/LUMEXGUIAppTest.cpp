// The application's start and end as a whole: the order of its steps and
// their log lines, the window on template 102 with the stored settings, the
// settings stored at exit, the processor pinning, the failed start, and the
// help command and F1.
#include "LUMEXGUIApp.h"

#include <sched.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "KernelHostSupport.h"
#include "ProcessAffinity.h"
#include "SettingsStore.h"
#include "base/text.h"
#include "net/loopback_port.h"
#include "process/create_process.h"
#include "ui/headless/headless_backend.h"
#include "ui/session_end.h"
#include "ui/ui.h"

using namespace apptest;

namespace {

class LumexAppTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        sched_getaffinity(0, sizeof m_affinity, &m_affinity);
        m_log = m_root.Dir() + "/gui.log";
        const WCHAR* key = settings::kProductKey;
        SetDword(HKEY_LOCAL_MACHINE, key, u"__LogLevel__", 5);
        SetDword(HKEY_LOCAL_MACHINE, key, u"__LogToFile__", 1);
        SetDword(HKEY_LOCAL_MACHINE, key, u"__LogNoEncrypt_@@__", 5826);
        SetString(HKEY_LOCAL_MACHINE, key, u"__LogFile__", plat::Utf8ToUtf16(m_log));
        plat::process::SetLauncher(
            [this](const std::vector<std::string>& argv) {
                m_launched.push_back(argv);
                return DWORD(4242);
            },
            plat::process::Desktop{[](const std::string& name) { return name == "xdg-open"; },
                                   [](char) { return std::optional<std::string>(); }});
        // The machine lumetra-kernel runs by default, with the driver the
        // window opens; no S.M.A.R.T. service answers.
        std::string error;
        ASSERT_TRUE(m_kernel.Build(kern::sim::DefaultScenario(), true, &error)) << error;
        setenv("LUMETRA_SMART_PORT", std::to_string(plat::net::FreeLoopbackPort()).c_str(), 1);
    }
    void TearDown() override {
        unsetenv("LUMETRA_SMART_PORT");
        plat::process::SetLauncher({});
        std::error_code ec;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec))
            sched_setaffinity(std::atoi(task.path().filename().c_str()), sizeof m_affinity, &m_affinity);
        AppTest::TearDown();
    }
    std::vector<std::string> LogLines() const {
        std::ifstream in(m_log);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // Each message in `expected` appears in the log after the one before it;
    // "a|b" asks for a line holding both.
    void ExpectInOrder(const std::vector<std::string>& expected) const {
        const auto lines = LogLines();
        const auto holds = [](const std::string& line, const std::string& message) {
            for (std::size_t from = 0;;) {
                const std::size_t bar = message.find('|', from);
                if (line.find(message.substr(from, bar - from)) == std::string::npos) return false;
                if (bar == std::string::npos) return true;
                from = bar + 1;
            }
        };
        std::size_t at = 0;
        for (const std::string& message : expected) {
            while (at < lines.size() && !holds(lines[at], message)) ++at;
            EXPECT_LT(at, lines.size()) << "missing or out of order: " << message;
            if (at == lines.size()) return;
            ++at;
        }
    }
    bool Logged(const std::string& message) const {
        for (const auto& line : LogLines())
            if (line.find(message) != std::string::npos) return true;
        return false;
    }

    cpu_set_t m_affinity;
    std::string m_log;
    std::vector<std::vector<std::string>> m_launched;
    kerneltest::TestKernelHost m_kernel{m_root.Dir() + "/kernel.sock"};
};

}  // namespace

TEST_F(LumexAppTest, StartsTheWindowWithTheStoredSettingsAndStoresThemAtExit) {
    GuiSettings stored = settings::Defaults(u"English");
    stored.Horizontal = 0;
    stored.Alpha = 200;
    stored.Color = 30;
    stored.Placement.rcNormalPosition = RECT{40, 50, 240, 82};
    ASSERT_TRUE(settings::SaveSettings(stored));
    SetDword(HKEY_CURRENT_USER, settings::kSettingsKey, u"MaxTemp", 45);

    CLUMEXGUIApp app;
    ASSERT_TRUE(app.InitInstance());
    ASSERT_NE(app.ResourceLibrary(), nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), app.ResourceLibrary()) << "every resource comes from the library";
    CLUMEXGUIDlg* window = app.LedWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(app.m_pMainWnd, window);
    ASSERT_TRUE(IsWindow(window->m_hWnd));
    WCHAR title[64];
    GetWindowTextW(window->m_hWnd, title, 64);
    EXPECT_EQ(std::u16string(title), u"Zelmor Lumetra");
    EXPECT_EQ(window->m_Settings.Horizontal, 0u);
    EXPECT_EQ(window->m_Settings.Alpha, 200);
    EXPECT_EQ(window->m_Settings.Color, 30);
    EXPECT_EQ(window->m_Settings.MaxTemp, 45);
    EXPECT_EQ(window->m_Settings.Placement.rcNormalPosition.left, 40);

    window->m_Settings.Color = 55;
    app.ExitInstance();
    EXPECT_EQ(app.LedWindow(), nullptr);
    const auto bin = Value(HKEY_CURRENT_USER, settings::kSettingsKey, u"bin");
    ASSERT_TRUE(bin);
    ASSERT_EQ(bin->data.size(), 74u);
    EXPECT_EQ(bin->data[33], 55) << "the window's block is what is stored";

    ExpectInOrder({"CGAPP::CGAPP: Loading ResDll...", "CGAPP::CGAPP: Load ResDLL: ", "CGAPP::CGAPP: -> LoadSettings()",
                   "CGAPP::LS: -> (0x", "CGAPP::LS: Setting defaults in binsettings", "CGAPP::LS: Reading placement...",
                   "CGAPP::LS: ReadBinaryExact() returned b=1", "CGAPP::LS: SMART enabled=1",
                   "CGAPP::LS: SMARTPollingInterval=600", "CGAPP::LS: <- (0)", "CGAPP::CGAPP: (b=0)",
                   "CGAPP::CGAPP: App started (hInstance == 0x00400000)",
                   "CGAPP::CGAPP: GUI exited (hInstance == 0x00400000)"});
}

// A signal, a log-off or a lost display ends the session (ui/session_end.h):
// the LED window hears it and closes as its exit command does, so the
// message loop ends with the settings and the placement stored and the
// Scroll Lock light the mirror left on switched off.
TEST_F(LumexAppTest, TheSessionsEndClosesTheWindowWithTheSettingsStoredAndScrollLockOff) {
    GuiSettings stored = settings::Defaults(u"English");
    stored.KeyboardLed = 1;
    ASSERT_TRUE(settings::SaveSettings(stored));
    CLUMEXGUIApp app;
    ASSERT_TRUE(app.InitInstance());
    app.LedWindow()->m_Settings.Color = 55;
    SetWindowPos(app.LedWindow()->m_hWnd, nullptr, 70, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    plat::ui::Headless()->SetScrollLock(true);

    plat::ui::EndSession();
    EXPECT_EQ(app.Run(), 0) << "the loop ended as after the exit command";
    EXPECT_EQ(app.LedWindow(), nullptr);
    EXPECT_FALSE(plat::ui::Headless()->ScrollLock());
    const auto bin = Value(HKEY_CURRENT_USER, settings::kSettingsKey, u"bin");
    ASSERT_TRUE(bin);
    EXPECT_EQ(bin->data[33], 55);
    const auto placement = Value(HKEY_CURRENT_USER, settings::kSettingsKey, u"Placement");
    ASSERT_TRUE(placement);
    ASSERT_EQ(placement->data.size(), sizeof(WINDOWPLACEMENT));
    WINDOWPLACEMENT where;
    std::memcpy(&where, placement->data.data(), sizeof where);
    EXPECT_EQ(where.rcNormalPosition.left, 70);
    EXPECT_EQ(where.rcNormalPosition.top, 80);
    ExpectInOrder({"CGDLG::OES: the session ends (1)", "CGDLG::ODEST: ->", "CGAPP::CGAPP: GUI exited"});
}

TEST_F(LumexAppTest, TheProgramRunsOnItsLowestAllowedProcessor) {
    const int lowest = gui::LowestAllowedProcessor();
    ASSERT_GE(lowest, 0);
    CLUMEXGUIApp app;
    ASSERT_TRUE(app.InitInstance());
    cpu_set_t now;
    sched_getaffinity(0, sizeof now, &now);
    EXPECT_EQ(CPU_COUNT(&now), 1);
    EXPECT_TRUE(CPU_ISSET(lowest, &now));
    app.ExitInstance();
}

TEST_F(LumexAppTest, AMissingLibraryEndsTheStartAfterItsBox) {
    RecordBoxes();
    ResourceLibrarySearch search;
    search.libraryName = u"NOSUCHRS.DLL";
    search.programDirectory = plat::Utf8ToUtf16(m_root.Dir());
    CLUMEXGUIApp app(search);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.m_nExitCode, 1);
    EXPECT_EQ(app.LedWindow(), nullptr);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, u"Resource DLL NOSUCHRS.DLL could not be loaded.");
    EXPECT_EQ(app.ExitInstance(), 1);
    ExpectInOrder({"CGAPP::CGAPP: Loading ResDll...", "CGAPP::CGAPP: Load ResDLL: 0",
                   "CRI: |CGAPP::CGAPP: Cannot continue", "CGAPP::CGAPP: Releasing ResDll",
                   "CGAPP::CGAPP: Releasing ResDll done", "CGAPP::CGAPP: GUI exited"});
    EXPECT_FALSE(Logged("LoadSettings")) << "nothing after the library is attempted";
}

TEST_F(LumexAppTest, HelpOpensTheManualFromTheCommandAndFromF1) {
    CLUMEXGUIApp app;
    ASSERT_TRUE(app.InitInstance());
    app.OnHelp();
    ASSERT_EQ(m_launched.size(), 1u);
    ASSERT_EQ(m_launched[0].size(), 2u);
    EXPECT_EQ(m_launched[0][0], "xdg-open");
    const std::string target = m_launched[0][1];
    ASSERT_EQ(target.rfind("file://", 0), 0u) << target;
    EXPECT_TRUE(std::filesystem::exists(target.substr(7))) << "the manual is installed: " << target;
    EXPECT_TRUE(target.ends_with("/LumetraHelp/index.htm")) << target;

    MSG f1{};
    f1.hwnd = app.LedWindow()->m_hWnd;
    f1.message = WM_KEYDOWN;
    f1.wParam = VK_F1;
    EXPECT_TRUE(app.PreTranslateMessage(&f1));
    EXPECT_EQ(m_launched.size(), 2u);
    app.ExitInstance();

    const auto lines = LogLines();
    int user = 0, calls = 0, returns = 0;
    for (const auto& line : lines) {
        user += line.find("USER: OnHelp()") != std::string::npos;
        calls += line.find("Calling HtmlHelp() (ENU)...") != std::string::npos;
        returns += line.find("HtmlHelp() returned") != std::string::npos;
    }
    EXPECT_EQ(user, 1) << "only the command writes its USER line";
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(returns, 2);
}

TEST_F(LumexAppTest, ALibraryWithoutTheWindowsTemplateEndsTheStartInsteadOfRunningWithoutAWindow) {
    ResourceLibrarySearch search;
    search.programDirectory = plat::Utf8ToUtf16(LibraryDir("v1027"));  // right version, no template 102
    CLUMEXGUIApp app(search);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.m_nExitCode, 1);
    EXPECT_EQ(app.LedWindow(), nullptr);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(app.ResourceLibrary(), nullptr) << "released";
    app.ExitInstance();
    ExpectInOrder({"CGAPP::CGAPP: -> LoadSettings()", "CRI: |Cannot create the window from template 102",
                   "CRI: |CGAPP::CGAPP: Cannot continue", "CGAPP::CGAPP: Releasing ResDll done"});
}
