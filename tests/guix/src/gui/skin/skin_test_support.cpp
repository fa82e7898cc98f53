#include "skin_test_support.h"

#include "base/format.h"
#include "base/text.h"
#include "resource/module.h"
#include "ui/dialog.h"
#include "ui/framework_app.h"
#include "ui/input.h"
#include "ui/modal_loop.h"

namespace skintest {

std::string Utf8(const std::u16string& text) { return plat::Utf16ToUtf8(text); }

void RecordingDialog::OnSkinButton(const std::u16string& name) {
    events.push_back("button " + Utf8(name));
    if (!closeOn.empty() && name == closeOn) DestroyWindow();
}

void RecordingDialog::OnSkinSlider(const std::u16string& name, int code, int position) {
    events.push_back(plat::Format("slider %s %d %d", Utf8(name).c_str(), code, position));
}

void RecordingDialog::OnSkinLabel(const std::u16string& name) { events.push_back("label " + Utf8(name)); }

void RecordingDialog::OnSkinProgress(const std::u16string& name) { events.push_back("progress " + Utf8(name)); }

void RecordingDialog::OnSkinMouseMove(const std::u16string&, int, int) { ++mouseMoves; }

void RecordingDialog::OnPaint() {
    if (!tintedPaint) return CSkinDialog::OnPaint();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    DrawBackground(dc);
    EndPaint(m_hWnd, &ps);
}

void SkinTest::SetUp() {
    UiTest::SetUp();
    m_library = LoadLibraryW(plat::resource::WindowsPath(SKIN_TEST_LIBRARY).c_str());
    ASSERT_NE(m_library, nullptr) << GetLastError();
    AfxSetResourceHandle(m_library);
    plat::ui::SetModalShownHook([this](HWND box) {
        WCHAR text[256];
        GetDlgItemTextW(box, 0xFFFF, text, 256);
        m_boxes.push_back(text);
        plat::ui::InjectKey(VK_RETURN, true);
        plat::ui::InjectKey(VK_RETURN, false);
    });
}

void SkinTest::TearDown() {
    plat::ui::SetModalShownHook(nullptr);
    UiTest::TearDown();
    AfxSetResourceHandle(nullptr);
    if (m_library) FreeLibrary(m_library);
}

void SkinTest::Open(RecordingDialog& dialog, bool grey) {
    ASSERT_TRUE(dialog.Create());
    if (grey)
        dialog.LoadSkinBitmaps(IDB_GREY_FACE, IDB_GREY_MASK, IDB_GREY_HOVER, IDB_GREY_PRESSED, IDB_GREY_DISABLED);
    else
        dialog.LoadSkinBitmaps(IDB_FACE, IDB_MASK, IDB_HOVER, IDB_PRESSED, IDB_DISABLED);
    dialog.LoadSecondSkinBitmaps(IDB_FACE2, IDB_MASK2, IDB_HOVER2, IDB_PRESSED2, IDB_DISABLED2);
    SetWindowPos(dialog.m_hWnd, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    dialog.ShowWindow(SW_SHOW);
    Pump();
}

std::uint32_t SkinTest::Shown(const CSkinDialog& dialog, int x, int y) {
    Pump();
    auto shown = Headless().Capture(dialog.m_hWnd);
    if (!shown || !shown->InBounds(x, y)) return 0xFFFFFFFF;
    return uitest::Pixel(*shown, x, y);
}

POINT SkinTest::ScreenPoint(const CSkinDialog& dialog, int x, int y) {
    POINT p{x, y};
    ClientToScreen(dialog.m_hWnd, &p);
    return p;
}

void SkinTest::MoveTo(const CSkinDialog& dialog, int x, int y) {
    plat::ui::InjectMouseMove(ScreenPoint(dialog, x, y));
    Pump();
}

}  // namespace skintest
