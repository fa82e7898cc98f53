#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "HostTestSupport.h"
#include "NTService.h"
#include "base/executable_path.h"
#include "base/text.h"
#include "registry/registry.h"
#include "scoped_root.h"

namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override { m_service.SetOutput(m_out.File()); }

    // Runs ProcessCommandLine on "sentrak" plus `args` and returns what it printed.
    std::string Run(std::vector<std::u16string> args, BOOL expected_handled = TRUE) {
        args.insert(args.begin(), u"sentrak");
        std::vector<WCHAR*> argv;
        for (auto& a : args) argv.push_back(a.data());
        EXPECT_EQ(m_service.ProcessCommandLine(static_cast<int>(argv.size()), argv.data()), expected_handled);
        return m_out.Take();
    }
    bool UnitExists() const { return std::filesystem::exists(UnitPath()); }
    std::string UnitPath() const { return m_root.Dir() + "/systemd/zelmor-lumetra.service"; }
    std::string Unit() const {
        std::ifstream in(UnitPath());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    ScopedRoot m_root;
    CapturedOutput m_out;
    CNTService m_service{u"Zelmor Lumetra"};
};

TEST_F(CommandLineTest, TheStatusOptionIsFoundWithDashOrSlashInAnyCase) {
    for (const char16_t* v : {u"-v", u"/v", u"-V", u"/V"})
        EXPECT_EQ(Run({v}), "The Zelmor Lumetra service is not installed\n") << plat::Utf16ToUtf8(v);
    Run({u"-Service"});
    EXPECT_EQ(Run({u"/V"}), "The Zelmor Lumetra service is currently installed\n");
}

TEST_F(CommandLineTest, InstallReinstallAndRemove) {
    EXPECT_EQ(Run({u"-Service"}), "Zelmor Lumetra installed\n");
    ASSERT_TRUE(UnitExists());
    const std::string unit = Unit();
    EXPECT_NE(unit.find("ExecStart=\"" + plat::Utf16ToUtf8(plat::ExecutablePath()) + "\"\n"), std::string::npos)
        << unit;
    EXPECT_EQ(unit.find("User="), std::string::npos) << "the local system account";
    EXPECT_TRUE(std::filesystem::is_symlink(m_root.Dir() + "/systemd/multi-user.target.wants/zelmor-lumetra.service"))
        << "automatic start";

    EXPECT_EQ(Run({u"/service"}), "Zelmor Lumetra is already installed\n");
    EXPECT_EQ(Run({u"-UnRegServer", u"-Service"}), "Zelmor Lumetra removed.\nZelmor Lumetra installed\n")
        << "removal first, installation last";
    EXPECT_EQ(Run({u"-unregserver"}), "Zelmor Lumetra removed.\n");
    EXPECT_FALSE(UnitExists());
    EXPECT_EQ(Run({u"/UNREGSERVER"}), "Zelmor Lumetra is not installed\n");
}

TEST_F(CommandLineTest, RemovalAlsoDeletesTheEventLogSource) {
    const char16_t* source = u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Zelmor Lumetra";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, source, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    Run({u"-Service"});
    EXPECT_EQ(Run({u"-UnRegServer"}), "Zelmor Lumetra removed.\n");
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, source, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(CommandLineTest, TheAccountOptionsTakeTheNextArgument) {
    Run({u"-Password", u"secret", u"-User"}, FALSE);
    EXPECT_FALSE(m_service.Account()) << "User as the last argument records nothing";
    EXPECT_EQ(m_service.Password(), u"secret");

    EXPECT_EQ(Run({u"/user", u".\\root", u"-Service"}), "Zelmor Lumetra installed\n");
    EXPECT_EQ(m_service.Account(), u".\\root");
    EXPECT_NE(Unit().find("User=root\n"), std::string::npos) << Unit();
    Run({u"-UnRegServer"});

    EXPECT_EQ(Run({u"-User", u"no-such-user-here", u"-Service"}), "Zelmor Lumetra failed to install. Error 1057\n");
    EXPECT_FALSE(UnitExists());
}

TEST_F(CommandLineTest, AnythingElseIsIgnored) {
    EXPECT_EQ(Run({u"-x"}, FALSE), "");
    EXPECT_EQ(Run({u"v", u"Service", u"--v"}, FALSE), "") << "options need one dash or slash";
    EXPECT_FALSE(UnitExists());
}

TEST_F(CommandLineTest, OnlyTheProcessInstanceHandlesTheCommandLine) {
    CNTService other(u"Zelmor Lumetra");
    std::u16string program = u"sentrak", v = u"-v";
    WCHAR* argv[] = {program.data(), v.data()};
    EXPECT_FALSE(other.ProcessCommandLine(2, argv));
    EXPECT_FALSE(m_service.ProcessCommandLine(1, argv)) << "no arguments";
    EXPECT_EQ(m_out.Take(), "");
}

}  // namespace
