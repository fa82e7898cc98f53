#include "ui/save_file_dialog.h"

#include "ui/framework_file_dialog.h"

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

TEST_F(SaveFileDialogTest, TheFrameworkDialogTakesBarSeparatedFilters) {
    plat::ui::SaveRequest seen;
    plat::ui::SetFileChooser([&](const plat::ui::SaveRequest& r) {
        seen = r;
        return std::optional<std::string>("/home/me/Lumetra SMART");
    });
    CFileDialog dialog(FALSE, u"txt", u"Lumetra SMART.txt", OFN_OVERWRITEPROMPT,
                       u"Text files (*.txt)|*.txt|All files (*.*)|*.*||");
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.GetPathName(), u"/home/me/Lumetra SMART.txt");
    EXPECT_EQ(dialog.GetFileName(), u"Lumetra SMART.txt");
    const std::vector<std::pair<std::string, std::string>> filters = {{"Text files (*.txt)", "*.txt"},
                                                                      {"All files (*.*)", "*.*"}};
    EXPECT_EQ(seen.filters, filters);
    EXPECT_EQ(seen.defaultName, "Lumetra SMART.txt");
    EXPECT_TRUE(seen.overwritePrompt);

    // Without the closing bars the list still ends; a cancel is IDCANCEL.
    EXPECT_EQ(CFileDialog::FilterFromFramework(u"Logs|*.log"), std::u16string(u"Logs\0*.log\0\0", 12));
    plat::ui::SetFileChooser([](const plat::ui::SaveRequest&) { return std::optional<std::string>(); });
    CFileDialog cancelled(FALSE, u"txt", nullptr, 0, u"Logs|*.log");
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    EXPECT_TRUE(cancelled.GetPathName().empty());
    EXPECT_EQ(CFileDialog(TRUE).DoModal(), -1) << "only saving is provided";
}
