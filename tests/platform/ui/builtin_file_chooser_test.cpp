#include "ui/builtin_file_chooser.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "base/clock.h"
#include "base/text.h"
#include "ui/dialog.h"
#include "ui/message_box.h"
#include "ui/modal_loop.h"

#include "ui_test_support.h"

using namespace uitest;
namespace fs = std::filesystem;
using plat::ui::kChooserFilterId;
using plat::ui::kChooserFolderId;
using plat::ui::kChooserListId;
using plat::ui::kChooserNameId;

namespace {

using Items = std::vector<std::u16string>;

std::u16string TextOf(HWND hwnd) {
    WCHAR text[512];
    GetWindowTextW(hwnd, text, 512);
    return text;
}

Items ItemsOf(HWND dialog) {
    HWND list = GetDlgItem(dialog, kChooserListId);
    Items items;
    for (LRESULT i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
        WCHAR text[256];
        SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

void ClickItem(HWND dialog, std::u16string_view label, int times = 1) {
    const Items items = ItemsOf(dialog);
    const auto it = std::find(items.begin(), items.end(), label);
    ASSERT_NE(it, items.end()) << plat::Utf16ToUtf8(label);
    HWND list = GetDlgItem(dialog, kChooserListId);
    RECT r{};
    SendMessageW(list, LB_GETITEMRECT, WPARAM(it - items.begin()), reinterpret_cast<LPARAM>(&r));
    POINT p{r.left + 20, (r.top + r.bottom) / 2};
    ClientToScreen(list, &p);
    for (int i = 0; i < times; ++i) Click(p);
}

void ClickButton(HWND dialog, int id) { Click(CentreOf(GetDlgItem(dialog, id))); }

// Handles what is queued as the chooser's own loop does: Enter and Esc go
// to its buttons.
void PumpDialog(HWND dialog) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (IsDialogMessageW(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

class BuiltinFileChooserTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        setenv("LUMETRA_FILE_CHOOSER", "builtin", 1);
        std::string pattern = (fs::temp_directory_path() / "lumetra-chooser-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        for (const char* name : {"notes.txt", "data.csv", ".hidden.txt", "archive/old.txt", "archive/old.log"}) {
            fs::create_directories((m_dir / name).parent_path());
            std::ofstream(m_dir / name) << "kept\n";
        }
        m_owner = Make(WS_POPUP | WS_VISIBLE, RECT{20, 20, 600, 500});
        std::copy_n(u"report", 7, m_file);
    }
    void TearDown() override {
        plat::ui::SetModalShownHook(nullptr);
        unsetenv("LUMETRA_FILE_CHOOSER");
        fs::remove_all(m_dir);
        UiTest::TearDown();
    }
    OPENFILENAMEW Request() {
        m_initialDir = plat::Utf8ToUtf16(m_dir.string());
        OPENFILENAMEW ofn;
        ofn.hwndOwner = m_owner;
        ofn.lpstrFilter = u"Text files\0*.txt\0All files\0*.*\0";
        ofn.lpstrFile = m_file;
        ofn.nMaxFile = 512;
        ofn.lpstrInitialDir = m_initialDir.c_str();
        ofn.lpstrDefExt = u"txt";
        ofn.Flags = OFN_OVERWRITEPROMPT;
        return ofn;
    }
    // The chooser is answered by `chooser`; message boxes it shows are
    // recorded and answered by `box`.
    void Answer(std::function<void(HWND)> chooser, std::function<void(HWND)> box = [](HWND) {}) {
        plat::ui::SetModalShownHook([this, chooser, box](HWND modal) {
            if (GetDlgItem(modal, kChooserListId)) {
                m_chooserShown = true;
                m_ownerEnabled = IsWindowEnabled(m_owner);
                return chooser(modal);
            }
            m_boxes.push_back(TextOf(GetDlgItem(modal, 0xFFFF)));
            box(modal);
        });
    }
    std::u16string Path(const char* name) { return plat::Utf8ToUtf16((m_dir / name).string()); }

    plat::ScopedManualClock m_clock;  // two clicks in a row make a double-click
    fs::path m_dir;
    std::u16string m_initialDir;
    HWND m_owner = nullptr;
    WCHAR m_file[512];
    bool m_chooserShown = false;
    bool m_ownerEnabled = true;
    Items m_boxes;
};

}  // namespace

TEST_F(BuiltinFileChooserTest, ATypedNameIsSavedInTheFolderWithTheDefaultExtension) {
    Answer([&](HWND dialog) {
        EXPECT_EQ(TextOf(GetDlgItem(dialog, kChooserFolderId)), plat::Utf8ToUtf16(m_dir.string()));
        EXPECT_EQ(ItemsOf(dialog), (Items{u"..", u"archive/", u"notes.txt"})) << "text files only, none hidden";
        EXPECT_EQ(TextOf(GetDlgItem(dialog, kChooserNameId)), u"report");
        EXPECT_EQ(TextOf(GetDlgItem(dialog, kChooserFilterId)), u"Text files");
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kChooserNameId));
        TypeText(u"summary");  // replaces the selected default name
        PressKey(VK_RETURN);
    });
    OPENFILENAMEW ofn = Request();
    ASSERT_TRUE(GetSaveFileNameW(&ofn));
    EXPECT_TRUE(m_chooserShown);
    EXPECT_FALSE(m_ownerEnabled) << "the owner is disabled while the chooser shows";
    EXPECT_TRUE(IsWindowEnabled(m_owner));
    EXPECT_EQ(std::u16string(m_file), Path("summary.txt"));
}

TEST_F(BuiltinFileChooserTest, FoldersAreEnteredFiltersCycleAndCancelChangesNothing) {
    Answer([&](HWND dialog) {
        ClickItem(dialog, u"archive/", 2);
        PumpDialog(dialog);
        EXPECT_EQ(TextOf(GetDlgItem(dialog, kChooserFolderId)), Path("archive"));
        EXPECT_EQ(ItemsOf(dialog), (Items{u"..", u"old.txt"}));
        ClickButton(dialog, kChooserFilterId);
        PumpDialog(dialog);
        EXPECT_EQ(TextOf(GetDlgItem(dialog, kChooserFilterId)), u"All files");
        EXPECT_EQ(ItemsOf(dialog), (Items{u"..", u"old.log", u"old.txt"}));
        ClickItem(dialog, u"..");
        PumpDialog(dialog);    // the click gives the list the focus the key goes to
        PressKey(VK_RETURN);  // in the list, Enter opens the selected folder
        PumpDialog(dialog);
        EXPECT_EQ(TextOf(GetDlgItem(dialog, kChooserFolderId)), plat::Utf8ToUtf16(m_dir.string()));
        EXPECT_EQ(ItemsOf(dialog), (Items{u"..", u"archive/", u"data.csv", u"notes.txt"}));
        ClickItem(dialog, u"data.csv");
        PumpDialog(dialog);
        EXPECT_EQ(TextOf(GetDlgItem(dialog, kChooserNameId)), u"data.csv");
        ClickButton(dialog, IDCANCEL);
    });
    OPENFILENAMEW ofn = Request();
    EXPECT_FALSE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(std::u16string(m_file), u"report") << "a cancel leaves the buffer alone";
}

TEST_F(BuiltinFileChooserTest, AnExistingFileIsReplacedOnlyWhenTheUserSaysYes) {
    Answer(
        [&](HWND dialog) {
            TypeText(u"notes");
            PressKey(VK_RETURN);
            PumpDialog(dialog);
            EXPECT_TRUE(IsWindowVisible(dialog)) << "No keeps the chooser";
            EXPECT_EQ(m_boxes.size(), 1u);
            PressKey(VK_RETURN);
        },
        [&](HWND box) {
            if (m_boxes.size() == 1) PressKey(VK_RETURN);  // No is the default
            else ClickButton(box, IDYES);
        });
    OPENFILENAMEW ofn = Request();
    ASSERT_TRUE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(std::u16string(m_file), Path("notes.txt"));
    EXPECT_EQ(m_boxes, (Items{2, u"\"notes.txt\" already exists.\nDo you want to replace it?"}));
}

TEST_F(BuiltinFileChooserTest, NamesWithFoldersAreRelativeAndAMissingFolderIsReported) {
    Answer(
        [&](HWND dialog) {
            TypeText(u"nowhere/x");
            PressKey(VK_RETURN);
            PumpDialog(dialog);
            EXPECT_EQ(m_boxes, (Items{u"The folder \"" + Path("nowhere") + u"\" does not exist."}));
            EXPECT_TRUE(IsWindowVisible(dialog));
            EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kChooserNameId)) << "typing goes on where it was";
            SendDlgItemMessageW(dialog, kChooserNameId, EM_SETSEL, 0, -1);
            TypeText(u"archive/new");
            PressKey(VK_RETURN);
        },
        [](HWND) { PressKey(VK_RETURN); });
    OPENFILENAMEW ofn = Request();
    ASSERT_TRUE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(std::u16string(m_file), Path("archive/new.txt"));
    EXPECT_FALSE(fs::exists(m_dir / "archive/new.txt")) << "choosing creates nothing";
}

TEST_F(BuiltinFileChooserTest, EscapeCancelsAndAPathLongerThanTheBufferIsAnError) {
    Answer([](HWND) { PressKey(VK_ESCAPE); });
    OPENFILENAMEW ofn = Request();
    EXPECT_FALSE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);

    Answer([](HWND) { PressKey(VK_RETURN); });
    ofn.nMaxFile = DWORD(Path("report.txt").size());  // one short: no room for the terminating zero
    EXPECT_FALSE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
    EXPECT_EQ(std::u16string(m_file), u"report");
}
