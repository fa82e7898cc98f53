#include "process/autostart.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "registry/registry.h"

using namespace plat::process;

namespace {

class AutostartTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/lumetra-autostart-XXXXXX";
        ASSERT_TRUE(mkdtemp(dir));
        m_root = dir;
        setenv("LUMETRA_ROOT", dir, 1);
    }
    void TearDown() override {
        unsetenv("LUMETRA_ROOT");
        std::filesystem::remove_all(m_root);
    }
    void SetRun(const char16_t* name, const std::u16string& command) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr,
                                  0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (command.empty()) {
            RegDeleteValueW(key, name);
        } else {
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                           DWORD((command.size() + 1) * 2));
        }
        RegCloseKey(key);
    }
    std::string Entry(const std::string& file) {
        std::ifstream in(m_root + "/autostart/" + file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string m_root;
};

}  // namespace

TEST_F(AutostartTest, RunValuesBecomeEntriesAndGoAwayWithThem) {
    SetRun(u"Zelmor Lumetra", u"\"\\opt\\lumetra\\bin\\lumex\" /minimized");
    std::filesystem::create_directories(m_root + "/autostart");
    std::ofstream(m_root + "/autostart/other.desktop") << "[Desktop Entry]\n";
    ASSERT_TRUE(MirrorAutostart());
    const std::string entry = Entry("zelmor-lumetra-Zelmor_Lumetra.desktop");
    EXPECT_NE(entry.find("Exec=\"/opt/lumetra/bin/lumex\" /minimized\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Name=Zelmor Lumetra\n"), std::string::npos);

    SetRun(u"Zelmor Lumetra", u"");
    ASSERT_TRUE(MirrorAutostart());
    EXPECT_FALSE(std::filesystem::exists(m_root + "/autostart/zelmor-lumetra-Zelmor_Lumetra.desktop"));
    EXPECT_TRUE(std::filesystem::exists(m_root + "/autostart/other.desktop")) << "other programs' entries stay";
}

TEST_F(AutostartTest, AProgramPathWithSpacesStaysOneArgument) {
    const std::string dir = m_root + "/My Programs";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/lumex") << "";
    const std::u16string path(dir.begin(), dir.end());
    SetRun(u"Zelmor Lumetra", path + u"/lumex");
    ASSERT_TRUE(MirrorAutostart());
    const std::string entry = Entry("zelmor-lumetra-Zelmor_Lumetra.desktop");
    EXPECT_NE(entry.find("Exec=\"" + dir + "/lumex\"\n"), std::string::npos) << entry;

    SetRun(u"Zelmor Lumetra", u"\"C:\\Cost $5\\lumex\" -x");
    ASSERT_TRUE(MirrorAutostart());
    EXPECT_NE(Entry("zelmor-lumetra-Zelmor_Lumetra.desktop").find("Exec=\"C:/Cost \\\\$5/lumex\" -x\n"),
              std::string::npos)
        << Entry("zelmor-lumetra-Zelmor_Lumetra.desktop");
}
