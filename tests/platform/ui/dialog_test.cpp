#include "ui/dialog.h"

#include "sample_library.h"

using namespace uitest;

namespace {

struct DialogLog {
    std::vector<UINT> messages;
    std::vector<WORD> commands;
    int childrenAtInit = -1;
};
DialogLog g_log;

INT_PTR RecordingProc(HWND hwnd, UINT message, WPARAM wp, LPARAM) {
    g_log.messages.push_back(message);
    if (message == WM_INITDIALOG) {
        int children = 0;
        for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++children;
        g_log.childrenAtInit = children;
    }
    if (message == WM_COMMAND) {
        g_log.commands.push_back(LOWORD(DWORD(wp)));
        return TRUE;
    }
    return FALSE;
}

class DialogTest : public SampleTest {
protected:
    void SetUp() override {
        SampleTest::SetUp();
        g_log = {};
    }
    void TearDown() override {
        if (m_dialog) DestroyWindow(m_dialog);
        SampleTest::TearDown();
    }
    HWND m_dialog = nullptr;
};

}  // namespace

TEST_F(DialogTest, TemplateBuildsTheDialogAndItsControlsBeforeInit) {
    m_dialog = CreateDialogParamW(m_library, MAKEINTRESOURCEW(600), nullptr, &RecordingProc, 0);
    ASSERT_NE(m_dialog, nullptr);
    EXPECT_EQ(g_log.childrenAtInit, 5);
    EXPECT_TRUE(IsWindowVisible(m_dialog));
    RECT rc;
    GetWindowRect(m_dialog, &rc);
    EXPECT_EQ(rc.left, 10);
    EXPECT_EQ(rc.right - rc.left, 200);
    WCHAR text[32];
    GetWindowTextW(m_dialog, text, 32);
    EXPECT_EQ(std::u16string(text), u"Sample");
    const struct {
        int id;
        const char16_t* cls;
        const char16_t* text;
    } controls[] = {{1, u"BUTTON", u"OK"}, {2, u"BUTTON", u"Cancel"}, {1001, u"msctls_trackbar32", u""},
                    {1002, u"SysAnimate32", u""}, {1003, u"STATIC", u"Level"}};
    for (const auto& c : controls) {
        HWND item = GetDlgItem(m_dialog, c.id);
        ASSERT_NE(item, nullptr) << c.id;
        GetClassNameW(item, text, 32);
        EXPECT_EQ(std::u16string(text), c.cls);
        GetDlgItemTextW(m_dialog, c.id, text, 32);
        EXPECT_EQ(std::u16string(text), c.text);
    }
    EXPECT_EQ(GetFocus(), GetDlgItem(m_dialog, 1)) << "the first control gets the focus";
}

TEST_F(DialogTest, EnterPressesTheDefaultButtonAndEscCancels) {
    m_dialog = CreateDialogParamW(m_library, MAKEINTRESOURCEW(600), nullptr, &RecordingProc, 0);
    ASSERT_NE(m_dialog, nullptr);
    // An owner-drawn button cannot also have the default-push type, so
    // Enter means IDOK until the dialog names a default button.
    EXPECT_EQ(SendMessageW(m_dialog, DM_GETDEFID, 0, 0), 0);
    for (int vk : {VK_RETURN, VK_ESCAPE, int('A')}) {
        MSG msg{GetFocus(), WM_KEYDOWN, WPARAM(vk), 0, 0, {}};
        EXPECT_TRUE(IsDialogMessageW(m_dialog, &msg));
    }
    SendMessageW(m_dialog, DM_SETDEFID, 1003, 0);
    EXPECT_EQ(SendMessageW(m_dialog, DM_GETDEFID, 0, 0), MAKELPARAM(1003, DC_HASDEFID));
    MSG enter_named{m_dialog, WM_KEYDOWN, WPARAM(VK_RETURN), 0, 0, {}};
    IsDialogMessageW(m_dialog, &enter_named);
    SendMessageW(m_dialog, DM_SETDEFID, IDOK, 0);
    EXPECT_EQ(g_log.commands, (std::vector<WORD>{IDOK, IDCANCEL, 1003}));
    EnableWindow(GetDlgItem(m_dialog, 1), FALSE);
    MSG enter{m_dialog, WM_KEYDOWN, WPARAM(VK_RETURN), 0, 0, {}};
    IsDialogMessageW(m_dialog, &enter);
    EXPECT_EQ(g_log.commands.size(), 3u) << "a disabled default button is not pressed";
    MSG elsewhere{nullptr, WM_KEYDOWN, WPARAM(VK_RETURN), 0, 0, {}};
    EXPECT_FALSE(IsDialogMessageW(m_dialog, &elsewhere));
}

TEST_F(DialogTest, MissingTemplateGivesNullAndCloseMeansCancel) {
    SetLastError(0);
    EXPECT_EQ(CreateDialogParamW(m_library, MAKEINTRESOURCEW(601), nullptr, &RecordingProc, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    m_dialog = CreateDialogParamW(m_library, MAKEINTRESOURCEW(600), nullptr, &RecordingProc, 0);
    SendMessageW(m_dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(m_dialog));
    EXPECT_EQ(g_log.commands, (std::vector<WORD>{IDCANCEL}));
    EXPECT_EQ(g_log.messages.front(), WM_NCCREATE) << "the dialog procedure sees the whole creation";
}

TEST_F(DialogTest, TheTemplateFontReachesTheDialogAndItsControls) {
    m_dialog = CreateDialogParamW(m_library, MAKEINTRESOURCEW(600), nullptr, &RecordingProc, 0);
    ASSERT_NE(m_dialog, nullptr);
    const auto font = reinterpret_cast<HFONT>(SendDlgItemMessageW(m_dialog, 1003, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageW(m_dialog, IDOK, WM_GETFONT, 0, 0)), font);
    LOGFONTW log{};
    ASSERT_EQ(GetObjectW(font, sizeof log, &log), int(sizeof log));
    EXPECT_EQ(log.lfHeight, -11) << "8 points at 96 dots per inch";
    EXPECT_EQ(std::u16string(log.lfFaceName), u"Sans");
}
