#include "process/html_help.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/text.h"
#include "process/create_process.h"

using namespace plat::process;

namespace {

class HtmlHelpTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/lumetra-help-XXXXXX";
        ASSERT_TRUE(mkdtemp(dir));
        m_dir = dir;
    }
    void TearDown() override {
        SetLauncher(nullptr);
        std::filesystem::remove_all(m_dir);
    }
    std::string m_dir;
};

}  // namespace

TEST_F(HtmlHelpTest, TopicOfTheHtmlDirectoryOrTheFileItself) {
    EXPECT_EQ(HelpTarget(u"lumex.chm::/index.htm", m_dir), m_dir + "/lumex.chm") << "no HTML directory yet";
    std::filesystem::create_directory(m_dir + "/lumex");
    EXPECT_EQ(HelpTarget(u"lumex.chm::/index.htm", m_dir), "file://" + m_dir + "/lumex/index.htm");
    EXPECT_EQ(HelpTarget(u"lumex.chm", m_dir), "file://" + m_dir + "/lumex/index.htm");
    const std::u16string absolute = plat::Utf8ToUtf16(m_dir) + u"\\lumex.chm::/smart\\attr.htm";
    EXPECT_EQ(HelpTarget(absolute, "/elsewhere"), "file://" + m_dir + "/lumex/smart/attr.htm");
}

TEST_F(HtmlHelpTest, OpensInTheBrowserOnlyWhenOneExists) {
    std::vector<std::vector<std::string>> started;
    auto record = [&](const std::vector<std::string>& argv) {
        started.push_back(argv);
        return DWORD(7);
    };
    const auto desktop = [](bool browser) {
        return Desktop{[browser](const std::string& name) { return browser && name == "xdg-open"; },
                       [](char) { return std::optional<std::string>(); }};
    };
    SetLauncher(record, desktop(true));
    EXPECT_NE(HtmlHelpW(nullptr, u"/opt/help/lumex.chm::/index.htm", HH_DISPLAY_TOPIC, 0), nullptr);
    SetLauncher(record, desktop(false));
    EXPECT_EQ(HtmlHelpW(nullptr, u"/opt/help/lumex.chm::/index.htm", HH_DISPLAY_TOPIC, 0), nullptr);
    EXPECT_EQ(HtmlHelpW(nullptr, u"", HH_DISPLAY_TOPIC, 0), nullptr);
    EXPECT_EQ(started, (std::vector<std::vector<std::string>>{{"xdg-open", "/opt/help/lumex.chm"}}));
}
