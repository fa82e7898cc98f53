// The command log lines (read back from the GUI's log file) and what the
// skinned buttons and their messages stand for.
#include "commands/CommandTable.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "GuiLog.h"
#include "base/text.h"

namespace {

class CommandLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = ::testing::TempDir() + "commands-log-" + std::to_string(::getpid()) + ".txt";
        gui::Log().SetLevel(gui::kTraceLevel);
        const std::u16string path = plat::Utf8ToUtf16(m_path);
        ASSERT_TRUE(gui::Log().OpenFile(path.c_str(), CLog::kTextOutput, FALSE, 0));
    }
    void TearDown() override {
        gui::Log().Close();
        gui::Log().SetLevel(0);
        std::filesystem::remove(m_path);
    }
    std::string Text() const {
        std::ifstream in(m_path);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::string m_path;
};

TEST_F(CommandLogTest, LinesCarryTheNewSettingOrThePercentage) {
    cmd::LogCommand(cmd::kAlwaysOnTop, 1);
    cmd::LogCommand(cmd::kShowNetwork, 0);
    cmd::LogCommand(cmd::kOpacity0 + 3);
    cmd::LogCommand(cmd::kOpacity90);
    cmd::LogCommand(cmd::kExit);
    cmd::LogCommand(cmd::kExtendedSelfTest);  // writes nothing
    cmd::LogCommand(cmd::kAbout);             // writes nothing
    const std::string text = Text();
    EXPECT_NE(text.find("USER: OnAlwaysOnTop() Status: 1"), std::string::npos) << text;
    EXPECT_NE(text.find("USER: OnVDrives() Status: 0"), std::string::npos) << text;
    EXPECT_NE(text.find("USER: OnAlpha30()"), std::string::npos) << text;
    EXPECT_NE(text.find("USER: OnAlpha90()"), std::string::npos) << text;
    EXPECT_NE(text.find("USER: OnExit()"), std::string::npos) << text;
    EXPECT_EQ(text.find("%!"), std::string::npos) << "no argument mismatch: " << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5) << text;
}

TEST(SkinButtonActions, ButtonsPostTheirMessagesAndMessagesRunTheirCommands) {
    const struct {
        const char16_t* name;
        UINT message;
        UINT command;
    } cases[] = {
        {u"BUTTON_OPTIONS", cmd::kMsgOptionsStrip, 0},
        {u"BUTTON_CD", 5040, cmd::kShowCD},
        {u"BUTTON_NET", 5050, cmd::kShowNetwork},
        {u"BUTTON_TAPE", 5060, cmd::kShowTape},
        {u"BUTTON_REMOVABLE", 5070, cmd::kShowRemovable},
        {u"BUTTON_ONLINE_HELP", 5080, cmd::kHelp},
        {u"BUTTON_ABOUT_BOX", 5090, cmd::kAbout},
        {u"BUTTON_AUTO_HIDE", 5100, cmd::kAutoHide},
        {u"BUTTON_AUTO_SNAP", 5110, cmd::kSnapToBorders},
        {u"BUTTON_ALWAYS_ON_TOP", 5120, cmd::kAlwaysOnTop},
        {u"BUTTON_KEYBOARD_LED", 5130, cmd::kKeyboardLed},
        {u"BUTTON_MINIMIZE", 0, cmd::kMinimizeToTray},
        {u"BUTTON_EXIT", 0, 0},
    };
    for (const auto& c : cases) {
        const auto* action = cmd::FindSkinButtonAction(c.name);
        ASSERT_NE(action, nullptr) << plat::Utf16ToUtf8(c.name);
        EXPECT_EQ(action->message, c.message) << plat::Utf16ToUtf8(c.name);
        EXPECT_EQ(action->command, c.command) << plat::Utf16ToUtf8(c.name);
        if (c.message) {
            EXPECT_EQ(cmd::CommandOfButtonMessage(c.message), c.command);
        }
    }
    EXPECT_EQ(cmd::FindSkinButtonAction(u"button_exit"), nullptr) << "names are case-sensitive";
    EXPECT_EQ(cmd::CommandOfButtonMessage(5010), 0u);
}

}  // namespace
