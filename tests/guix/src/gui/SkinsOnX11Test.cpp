// Each window's skin from LUMEXRS.DLL as the X server shows it (a private
// Xvfb): the LED window on a machine with one disk (the real blinkor driver
// in an in-process kernel host), with its options strip closed and open,
// and the details and self-test skins on their template with sample texts.
// What the screen shows of each window is written as a PNG test artefact;
// the pictures must show the skin's face wherever neither a control nor the
// LED panel's drawing sits, and the screen behind the window outside its
// shape.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

#include "KernelHostSupport.h"
#include "LUMEXGUIDlg.h"
#include "base/format.h"
#include "base/text.h"
#include "resource/module.h"
#include "skin/Skin.h"
#include "skin/SkinPixels.h"
#include "ui/backend.h"
#include "ui/framework_app.h"
#include "ui/framework_controls.h"
#include "ui/image_file.h"
#include "ui/ui.h"
#include "xvfb_support.h"

namespace {

const std::string kArtifacts = ARTIFACT_DIR;

// A machine with one disk, C: on partition 1 of disk 0, half free.
constexpr char kOneDisk[] = R"({
  "file_systems": [{"name": "Ntfs", "type": "disk"}],
  "storage": [{"name": "\\Device\\HarddiskVolume1", "device_number": {"type": 7, "disk": 0, "partition": 1},
               "volume": {"file_system": "Ntfs", "label": "SYSTEM", "total_bytes": 10737418240,
                          "free_bytes": 5368709120}}],
  "links": {"\\??\\C:": "\\Device\\HarddiskVolume1"}
})";

// A point the caller knows to be drawn by the window itself.
using Drawn = std::function<bool(int x, int y)>;

class SkinsOnX11 : public xvfbtest::XvfbTest {
protected:
    void SetUp() override {
        XvfbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        setenv("DISPLAY", display.c_str(), 1);
        setenv("LUMETRA_UI_BACKEND", "x11", 1);
        ASSERT_EQ(plat::ui::BackendName(), "x11");
        m_library = LoadLibraryW(plat::Utf8ToUtf16(LUMEX_LIBRARY).c_str());
        ASSERT_NE(m_library, nullptr) << LUMEX_LIBRARY;
        AfxSetResourceHandle(m_library);
        std::filesystem::create_directories(kArtifacts);
    }
    void TearDown() override {
        AfxSetResourceHandle(nullptr);
        if (m_library) FreeLibrary(m_library);
        plat::ui::ShutdownBackend();
        XvfbTest::TearDown();
    }

    std::u16string Text(UINT id) const {
        const WCHAR* text = nullptr;
        const int n = LoadStringW(m_library, id, reinterpret_cast<LPWSTR>(&text), 0);
        return n > 0 ? std::u16string(text, std::size_t(n)) : std::u16string();
    }

    // Shows the window at (x, y), lets it paint, writes what the screen
    // shows of it to the artefact `name` and checks it against the skin
    // wherever no control sits and `drawn` does not hold.
    void Photograph(CSkinDialog& dialog, const std::string& name, int x, int y, const Drawn& drawn = nullptr);

    HMODULE m_library = nullptr;
};

void Pump() {
    for (int round = 0; round < 3; ++round) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        GdiFlush();
        plat::ui::CurrentBackend().Flush();
    }
}

RECT RectInParent(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Whether (x, y) of the dialog lies on one of its controls.
bool OnAControl(HWND dialog, int x, int y) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const RECT r = RectInParent(child);
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    }
    return false;
}

void SkinsOnX11::Photograph(CSkinDialog& dialog, const std::string& name, int x, int y, const Drawn& drawn) {
    SetWindowPos(dialog.m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    dialog.ShowWindow(SW_SHOW);
    dialog.Invalidate(TRUE);
    Pump();
    const auto screen = plat::ui::CurrentBackend().CaptureScreen();
    ASSERT_TRUE(screen) << "the screen cannot be read back";
    RECT r;
    GetWindowRect(dialog.m_hWnd, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    ASSERT_EQ(width, dialog.SkinWidth());
    ASSERT_EQ(height, dialog.SkinHeight());
    plat::ui::Bitmap shot(width, height, 32);
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col) shot.Set(col, row, screen->Get(r.left + col, r.top + row));
    EXPECT_TRUE(plat::ui::WritePng(kArtifacts + "/" + name + ".png", shot)) << kArtifacts;

    const skin::PixelImage face = skin::ReadPixels(dialog.Image(CSkinDialog::ImageSet::Working, skin::SkinRole::Face));
    const skin::PixelImage mask = skin::ReadPixels(dialog.Image(CSkinDialog::ImageSet::Working, skin::SkinRole::Mask));
    ASSERT_EQ(face.width, width);
    int body = 0, body_as_face = 0, outside = 0, outside_black = 0;
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col) {
            const std::uint32_t shown = shot.Get(col, row) & 0xFFFFFF;
            if ((mask.At(col, row) & 0xFFFFFF) == 0xFFFFFF) {
                ++outside;
                outside_black += shown == 0;  // the server's black root (-br)
            } else if (!OnAControl(dialog.m_hWnd, col, row) && !(drawn && drawn(col, row))) {
                ++body;
                body_as_face += shown == (face.At(col, row) & 0xFFFFFF);
            }
        }
    SCOPED_TRACE(name);
    EXPECT_GT(body, width * height / 4) << "most of the window is open skin";
    EXPECT_EQ(body_as_face, body) << "the skin's face where no control sits";
    EXPECT_EQ(outside_black, outside) << "the screen behind the window outside its shape";
}

}  // namespace

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// What the LED window's panel draws over its skin: each visible row's icon
// (28 pixels square from its row box, one pixel up) and its LEDs. The
// caller holds the drawing lock, under which the redraw moves them.
bool DrawnByThePanelLocked(const CLUMEXGUIDlg& led, int x, int y) {
    constexpr int kRowIcon = 28;
    for (int row = 0; row < led.LaidOutRows(); ++row) {
        if (!led.IsRowVisible(row)) continue;
        const CLUMEXGUIDlg::RowState& state = led.Row(row);
        const RECT icon{state.box.left, state.box.top - 1, state.box.left + kRowIcon, state.box.top - 1 + kRowIcon};
        if (Inside(icon, x, y)) return true;
        for (int j = 0; j < int(state.LedCount()); ++j)
            if (Inside(state.Led(j).rect, x, y)) return true;
    }
    return false;
}

bool DrawnByThePanel(CLUMEXGUIDlg& led, int x, int y) {
    EnterCriticalSection(&led.DrawingLock());
    const bool drawn = DrawnByThePanelLocked(led, x, y);
    LeaveCriticalSection(&led.DrawingLock());
    return drawn;
}

TEST_F(SkinsOnX11, EachWindowShowsItsSkin) {
    // The LED window as the program starts it, then with its options strip.
    const std::string folder = ::testing::TempDir() + "skins-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    setenv("LUMETRA_ROOT", folder.c_str(), 1);  // the window's registry reads stay private
    {
        kerneltest::TestKernelHost host(folder + "/kernel.sock");
        std::string error;
        ASSERT_TRUE(host.Build(kOneDisk, true, &error)) << error;
        settings::SettingsWriter writer;
        for (const bool options : {false, true}) {
            auto led = std::make_unique<CLUMEXGUIDlg>(writer);
            led->m_Settings.OptionsPanelOpen = options;
            led->m_Settings.SmartEnabled = 0;
            ASSERT_TRUE(led->Create(CLUMEXGUIDlg::kTemplate));
            ASSERT_FALSE(led->IsClosing()) << "the driver and the disk were found";
            EXPECT_EQ(led->ButtonCount(), options ? 13u : 3u) << "the window buttons and the options strip's";
            Photograph(*led, options ? "led-window-options" : "led-window", 20, 20,
                       [&](int x, int y) { return DrawnByThePanel(*led, x, y); });
            EXPECT_EQ(led->LaidOutRows(), 1);
            led->DestroyWindow();
            Pump();
        }
    }
    unsetenv("LUMETRA_ROOT");
    std::filesystem::remove_all(folder);

    CSkinDialog details(103);
    ASSERT_TRUE(details.Create(103));
    details.LoadSkinBitmaps(171, 175, 170, 269, 173);
    for (UINT button : {156u, 157u, 200u}) details.AddButtonFromString(button);
    const auto line = [&](UINT id, const auto&... args) {
        details.AddLabelFromRecord(plat::Format(Text(id), args...), RECT{});
    };
    line(180, u"WDC WD10EZEX-00BN5A0");
    line(248, 0);
    line(246, u"01.01A01", u"WD-WCC6Y0LKJ2TS");
    line(162, u"14", u"2019");
    line(158, u"213 days 6 hours");
    line(159, 4211, 50000);
    line(160, u"2873.214");
    line(161, u"1520.007");
    line(163, 12LL);
    line(186, Text(202));
    line(165, 0LL);
    line(166, 0LL);
    line(167, 3LL);
    line(168, u"C", 38, 60);
    Photograph(details, "details", 20, 80);
    details.DestroyWindow();

    CSkinDialog selftest(103);
    ASSERT_TRUE(selftest.Create(103));
    selftest.LoadSkinBitmaps(216, 219, 215, 285, 218);
    for (UINT button : {217u, 218u, 213u}) selftest.AddButtonFromString(button);
    selftest.AddProgressFromString(214);
    selftest.SetProgressPos(u"PROGRESS_A", 60);
    selftest.AddLabelFromString(215);
    selftest.AddLabelFromRecord(Text(228), RECT{75, 20, 243, 34});
    selftest.AddLabelFromString(231);
    selftest.AddLabelFromRecord(plat::Format(Text(268), u"00:01:12"), RECT{});
    selftest.AddLabelFromRecord(plat::Format(Text(230), plat::Format(Text(233), Text(241))), RECT{});
    selftest.AddLabelFromRecord(plat::Format(Text(248), 0), RECT{});
    CAnimateCtrl clip;
    ASSERT_TRUE(clip.Create(WS_CHILD | WS_VISIBLE, RECT{55, 40, 255, 110}, &selftest, 0));
    EXPECT_TRUE(clip.Open(286));
    clip.Seek(0);
    Photograph(selftest, "selftest", 300, 80);
    selftest.DestroyWindow();
    Pump();
}
