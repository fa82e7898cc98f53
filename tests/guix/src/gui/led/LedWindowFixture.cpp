#include "LedWindowFixture.h"

#include <cstdlib>

#include "base/clock_advancer.h"
#include "base/text.h"
#include "net/loopback_port.h"
#include "resource/module.h"
#include "skin/SkinPixels.h"
#include "ui/dialog.h"
#include "ui/framework_app.h"
#include "ui/headless/headless_backend.h"
#include "ui/input.h"
#include "ui/modal_loop.h"
#include "ui/resource_images.h"

namespace ledtest {
namespace {

// Chosen before anything asks for the backend.
const bool g_headless = setenv("LUMETRA_UI_BACKEND", "headless", 1) == 0;

}  // namespace

bool RecordingTray::Show(const plat::ui::TrayIcon& icon) {
    std::lock_guard lock(m_lock);
    for (auto& shown : m_icons) {
        if (shown.owner == icon.owner && shown.id == icon.id) {
            shown = icon;
            return true;
        }
    }
    m_icons.push_back(icon);
    return true;
}

void RecordingTray::Remove(HWND owner, UINT id) {
    std::lock_guard lock(m_lock);
    std::erase_if(m_icons, [&](const auto& i) { return i.owner == owner && i.id == id; });
}

HICON RecordingTray::IconOf(HWND owner) const {
    std::lock_guard lock(m_lock);
    for (const auto& i : m_icons)
        if (i.owner == owner) return i.icon;
    return nullptr;
}

void LedWindowTest::SetUp() {
    ASSERT_TRUE(g_headless);
    LedKernelTest::SetUp();
    ASSERT_NE(plat::ui::Headless(), nullptr);
    // No S.M.A.R.T. service answers on this port unless a test starts one.
    ::setenv("LUMETRA_SMART_PORT", std::to_string(plat::net::FreeLoopbackPort()).c_str(), 1);
    m_library = LoadLibraryW(plat::resource::WindowsPath(LUMEXRS_PATH).c_str());
    ASSERT_NE(m_library, nullptr) << GetLastError();
    AfxSetResourceHandle(m_library);
    plat::ui::SetTrayHost(m_tray);
    plat::ui::SetModalShownHook([this](HWND box) {
        WCHAR text[512];
        GetDlgItemTextW(box, 0xFFFF, text, 512);
        m_boxes.push_back(text);
        plat::ui::InjectKey(VK_RETURN, true);
        plat::ui::InjectKey(VK_RETURN, false);
    });
}

void LedWindowTest::TearDown() {
    {
        // The window's threads sleep on the manual clock until it moves.
        plat::ClockAdvancer advance(*m_clock, 50);
        m_dlg.reset();
    }
    Pump();
    plat::ui::SetModalShownHook(nullptr);
    plat::ui::SetTrayHost(nullptr);
    AfxSetResourceHandle(nullptr);
    if (m_library) FreeLibrary(m_library);
    ::unsetenv("LUMETRA_SMART_PORT");
    LedKernelTest::TearDown();
}

std::string LedWindowTest::UsualMachine() {
    return Scenario(DiskVolume(1, 0, 1, "SYSTEM", 50) + "," + DiskVolume(2, 0, 2, "DATA", 25) + R"(,
        {"name": "\\Device\\CdRom0", "type": "cdrom", "removable": true, "device_number": {"type": 2, "disk": 0},
         "volume": {"file_system": "Cdfs", "label": "DISC", "total_bytes": 734003200, "free_bytes": 0}})",
                    R"("\\??\\C:": "\\Device\\HarddiskVolume1", "\\??\\D:": "\\Device\\HarddiskVolume2",
                       "\\??\\E:": "\\Device\\CdRom0")");
}

GuiSettings LedWindowTest::TestSettings() {
    GuiSettings s;
    s.SmartEnabled = 0;
    s.OptionsPanelOpen = 0;
    s.Fahrenheit = 0;
    return s;
}

void LedWindowTest::Open(const GuiSettings& settings) {
    m_dlg = std::make_unique<CLUMEXGUIDlg>(m_settingsWriter);
    m_dlg->m_Settings = settings;
    ASSERT_TRUE(m_dlg->Create(CLUMEXGUIDlg::kTemplate));
    Pump();
}

void LedWindowTest::Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void LedWindowTest::Frame() {
    m_dlg->DriverLink().Poll();
    m_dlg->RedrawActivity();
    Pump();
}

std::uint32_t LedWindowTest::Shown(int x, int y) {
    Pump();
    auto shown = plat::ui::Headless()->Capture(m_dlg->m_hWnd);
    if (!shown || !shown->InBounds(x, y)) return 0xFFFFFFFF;
    return shown->Get(x, y) & 0xFFFFFF;
}

std::uint32_t LedWindowTest::ImagePixel(UINT bitmap, int width, int index, int x, int y) const {
    HBITMAP strip = LoadBitmapW(m_library, MAKEINTRESOURCEW(bitmap));
    const skin::PixelImage image = skin::ReadPixels(strip);
    DeleteObject(strip);
    return image.At(index * width + x, y) & 0xFFFFFF;
}

int LedWindowTest::WindowWidth() const {
    RECT r{};
    GetWindowRect(m_dlg->m_hWnd, &r);
    return r.right - r.left;
}

int LedWindowTest::WindowHeight() const {
    RECT r{};
    GetWindowRect(m_dlg->m_hWnd, &r);
    return r.bottom - r.top;
}

int LedWindowTest::RowOf(WCHAR letter) const {
    const DriveGroups& groups = m_dlg->DriverLink().Groups();
    for (int row = 0; row < groups.RowCount(); ++row)
        if (groups.LetterCount(row) > 0 && groups.Record(row, 0)->Letter() == letter) return row;
    return -1;
}

const CLUMEXGUIDlg::LedState& LedWindowTest::Led(WCHAR letter) const {
    const DriveGroups& groups = m_dlg->DriverLink().Groups();
    for (int row = 0; row < groups.RowCount(); ++row)
        for (int j = 0; j < groups.LetterCount(row); ++j)
            if (groups.Record(row, j)->Letter() == letter) return m_dlg->Row(row).Led(j);
    static const CLUMEXGUIDlg::LedState none;
    ADD_FAILURE() << "no LED for " << char(letter);
    return none;
}

HICON LedWindowTest::LibraryIcon(UINT id) const { return LoadIconW(m_library, MAKEINTRESOURCEW(id)); }

SmartDevice& LedWindowTest::AttachSmart(const SmartDevice& device) {
    SmartDevice& kept = m_smart.emplace_back(device);
    m_dlg->DriverLink().Groups().AttachSmart(&kept);
    return kept;
}

}  // namespace ledtest
