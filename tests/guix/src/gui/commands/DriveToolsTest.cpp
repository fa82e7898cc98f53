// Which program a double-click starts, and starting it through the
// platform's mapping to the desktop's tools (recorded, not run).
#include "commands/DriveTools.h"

#include <gtest/gtest.h>

#include <set>

#include "SimulatedMachine.h"
#include "process/create_process.h"

namespace {

using cmd::ProgramCall;
using cmd::RowBoxAction;

const cmd::SystemFacts kSystem{u"C:\\WINDOWS\\system32\\", 5};

TEST(RowBoxActions, TheRowsDeviceOrFirstRecordChoosesTheTool) {
    const ProgramCall disks{u"mmc.exe", u"C:\\WINDOWS\\system32\\diskmgmt.msc"};
    const struct {
        std::optional<DWORD> smartType;
        std::optional<DWORD> recordType;
        DWORD major;
        RowBoxAction expected;
    } cases[] = {
        {7, 7, 5, {RowBoxAction::Start, disks}},
        {36, std::nullopt, 6, {RowBoxAction::Start, disks}},
        {7, 7, 4, {RowBoxAction::Start, {u"windisk.exe", u""}}},
        {31, 31, 5, {}},
        {std::nullopt, 18, 5,
         {RowBoxAction::Start, {u"rundll32.exe", u"shell32.dll,Control_RunDLL C:\\WINDOWS\\system32\\ncpa.cpl"}}},
        {std::nullopt, 2, 5, {RowBoxAction::Eject, {}}},
        {std::nullopt, 1, 5, {RowBoxAction::Eject, {}}},
        {std::nullopt, 7, 5, {RowBoxAction::Start, disks}},
        {std::nullopt, 31, 5, {}},
        {std::nullopt, std::nullopt, 5, {}},
    };
    for (const auto& c : cases) {
        const cmd::SystemFacts system{kSystem.systemPath, c.major};
        EXPECT_EQ(cmd::ChooseRowBoxAction(c.smartType, c.recordType, system), c.expected)
            << c.smartType.value_or(0) << "/" << c.recordType.value_or(0) << " v" << c.major;
    }
}

TEST(FileManagerCalls, RealLettersAndTheNetworkCatchAll) {
    EXPECT_EQ(cmd::FileManagerCall(u'C', 7), (ProgramCall{u"explorer.exe", u"/e,C:\\"}));
    EXPECT_EQ(cmd::FileManagerCall(u'Z', 18), (ProgramCall{u"explorer.exe", u"/e,Z:\\"}));
    EXPECT_EQ(cmd::FileManagerCall(0x60, 18),
              (ProgramCall{u"explorer.exe", u"/e,::{208D2C60-3AEA-1069-A2D7-08002B30309D}"}));
    EXPECT_EQ(cmd::FileManagerCall(0x60, 7), std::nullopt);
    EXPECT_EQ(cmd::FileManagerCall(u'[', 7), std::nullopt) << "a volume without a letter";
}

TEST(RowBoxActions, ThisSystemEndsItsFolderWithABackslash) {
    const cmd::SystemFacts system = cmd::ThisSystem();
    ASSERT_FALSE(system.systemPath.empty());
    EXPECT_EQ(system.systemPath.back(), u'\\');
    EXPECT_NE(system.systemPath.substr(system.systemPath.size() - 2), u"\\\\") << "one backslash, not two";
    EXPECT_GE(system.majorVersion, 5u) << "the disk management console, not windisk";
}

class StartProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::process::SetLauncher(
            [this](const std::vector<std::string>& argv) {
                m_started.push_back(argv);
                return DWORD(4242);
            },
            plat::process::Desktop{[](const std::string& name) { return name == "xdg-open" || name == "gnome-disks"; },
                                   [](char letter) -> std::optional<std::string> {
                                       if (letter == 'C') return "/";
                                       return std::nullopt;
                                   }});
    }
    void TearDown() override { plat::process::SetLauncher({}); }
    std::vector<std::vector<std::string>> m_started;
};

TEST_F(StartProgramTest, MappedToolsStartAndMissingOnesFail) {
    EXPECT_EQ(cmd::StartProgram(*cmd::FileManagerCall(u'C', 7)), S_OK);
    EXPECT_EQ(cmd::StartProgram({u"mmc.exe", kSystem.systemPath + u"diskmgmt.msc"}), S_OK);
    EXPECT_EQ(cmd::StartProgram(*cmd::FileManagerCall(u'Q', 7)), E_FAIL) << "a letter without a mount point";
    EXPECT_EQ(cmd::StartProgram({u"rundll32.exe", u"shell32.dll,Control_RunDLL ncpa.cpl"}), E_FAIL)
        << "no network settings tool on this desktop";
    EXPECT_EQ(cmd::StartProgram({u"", u"/e,C:\\"}), E_POINTER);
    EXPECT_EQ(m_started, (std::vector<std::vector<std::string>>{{"xdg-open", "/"}, {"gnome-disks"}}));
}

class DesktopOfThisMachine : public cmdtest::SimulatedMachineTest {};

TEST_F(DesktopOfThisMachine, LettersOpenWhereTheKernelHostMountedThem) {
    const auto desktop = plat::process::ThisDesktop();
    EXPECT_EQ(desktop.mountPoint('C'), "/");
    EXPECT_EQ(desktop.mountPoint('E'), "/media/disc");
    EXPECT_EQ(desktop.mountPoint('F'), std::nullopt) << "a volume without a mount point";
    EXPECT_EQ(desktop.mountPoint('Q'), std::nullopt) << "no such letter";
}

}  // namespace
