#include "process/command_mapping.h"

#include <gtest/gtest.h>

#include <set>

#include <signal.h>
#include <sys/wait.h>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "process/create_process.h"

using namespace plat::process;

namespace {

Desktop FakeDesktop(std::set<std::string> programs) {
    return Desktop{[programs](const std::string& name) { return programs.count(name) > 0; },
                   [](char letter) -> std::optional<std::string> {
                       if (letter == 'C') return "/";
                       if (letter == 'D') return "/media/data";
                       return std::nullopt;
                   }};
}

using Argv = std::optional<std::vector<std::string>>;

}  // namespace

TEST(CommandMapping, WindowsToolsMapToWhatTheDesktopHas) {
    const std::set<std::string> full = {"xdg-open", "gnome-disks", "gparted", "gnome-control-center"};
    const struct {
        const char16_t* line;
        std::set<std::string> programs;
        Argv expected;
    } cases[] = {
        {u"explorer.exe /e,D:\\", full, std::vector<std::string>{"xdg-open", "/media/data"}},
        {u"EXPLORER.EXE /e,c:\\", full, std::vector<std::string>{"xdg-open", "/"}},
        {u"explorer.exe /e,Q:\\", full, std::nullopt},
        {u"explorer.exe /e,D:\\", {"gnome-disks"}, std::nullopt},
        {u"mmc.exe %SystemRoot%\\system32\\diskmgmt.msc", full, std::vector<std::string>{"gnome-disks"}},
        {u"windisk.exe", {"gparted"}, std::vector<std::string>{"gparted"}},
        {u"windisk.exe", {}, std::nullopt},
        {u"rundll32.exe shell32.dll,Control_RunDLL ncpa.cpl", full,
         std::vector<std::string>{"gnome-control-center", "network"}},
        {u"explorer.exe /e,::{208D2C60-3AEA-1069-A2D7-08002B30309D}", {"thunar", "dolphin"},
         std::vector<std::string>{"thunar", "network:///"}},
        {u"explorer.exe /e,::{208D2C60-3AEA-1069-A2D7-08002B30309D}", full, std::nullopt},
        {u"notepad.exe readme.txt", full, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(MapCommandLine(c.line, FakeDesktop(c.programs)), c.expected);
}

TEST(CreateProcess, StartsTheMappedCommandOrNothing) {
    std::vector<std::vector<std::string>> started;
    SetLauncher(
        [&](const std::vector<std::string>& argv) {
            started.push_back(argv);
            return DWORD(4242);
        },
        FakeDesktop({"xdg-open", "nm-connection-editor"}));
    std::u16string explorer = u"explorer.exe /e,D:\\";
    PROCESS_INFORMATION info;
    ASSERT_TRUE(CreateProcessW(nullptr, explorer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(info.dwProcessId, 4242u);
    std::u16string disks = u"windisk.exe";
    SetLastError(0);
    EXPECT_FALSE(CreateProcessW(nullptr, disks.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(started, (std::vector<std::vector<std::string>>{{"xdg-open", "/media/data"}}));
    SetLauncher(nullptr);
}

// The GUI starts tools from threads that may block signals (the session
// end's thread, a signal relay's maker); the tools must not inherit that.
TEST(CreateProcess, AStartedProgramReceivesSignalsItsStarterBlocks) {
    sigset_t term, previous;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &term, &previous), 0);
    const DWORD pid = Launch({"sh", "-c", "kill -TERM $$; exit 3"});
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ASSERT_NE(pid, 0u);
    int status = 0;
    ASSERT_EQ(waitpid(pid_t(pid), &status, 0), pid_t(pid));
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ran on with SIGTERM blocked, exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}
