#include "ui/save_file_dialog.h"

#include <gtest/gtest.h>

namespace {

class SaveFileDialogTest : public ::testing::Test {
protected:
    void TearDown() override { plat::ui::SetFileChooser(nullptr); }
    OPENFILENAMEW Request() {
        std::copy_n(u"report", 7, m_file);
        OPENFILENAMEW ofn;
        ofn.lpstrFilter = u"Text files\0*.txt;*.log\0All files\0*.*\0";
        ofn.lpstrFile = m_file;
        ofn.nMaxFile = 64;
        ofn.lpstrInitialDir = u"/home/me";
        ofn.lpstrDefExt = u"txt";
        ofn.Flags = OFN_OVERWRITEPROMPT;
        return ofn;
    }
    WCHAR m_file[64];
};

}  // namespace

TEST_F(SaveFileDialogTest, TheChooserSeesTheRequestAndItsAnswerGetsTheDefaultExtension) {
    plat::ui::SaveRequest seen;
    plat::ui::SetFileChooser([&](const plat::ui::SaveRequest& r) {
        seen = r;
        return std::optional<std::string>("/home/me/smart-report");
    });
    OPENFILENAMEW ofn = Request();
    ASSERT_TRUE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(std::u16string(m_file), u"/home/me/smart-report.txt");
    EXPECT_EQ(ofn.nFileOffset, 9);
    EXPECT_EQ(ofn.nFileExtension, 22);
    EXPECT_EQ(seen.defaultName, "/home/me/report");
    EXPECT_TRUE(seen.overwritePrompt);
    const std::vector<std::pair<std::string, std::string>> filters = {{"Text files", "*.txt *.log"},
                                                                      {"All files", "*.*"}};
    EXPECT_EQ(seen.filters, filters);
}

TEST_F(SaveFileDialogTest, CancelAndShortBufferAreToldApart) {
    plat::ui::SetFileChooser([](const plat::ui::SaveRequest&) { return std::optional<std::string>(); });
    OPENFILENAMEW ofn = Request();
    EXPECT_FALSE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(std::u16string(m_file), u"report") << "a cancel leaves the buffer alone";
    plat::ui::SetFileChooser([](const plat::ui::SaveRequest&) { return std::optional<std::string>("/a/long/name.txt"); });
    ofn.nMaxFile = 8;
    EXPECT_FALSE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
}
