// The LED window on the headless backend against the real blinkor driver:
// the product's resource library, a private registry, a recording
// notification area, message boxes answered and recorded, and the platform's
// manual clock, so the window's own poll thread stays still and each test
// draws its frames itself (one poll, one activity redraw).
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "LUMEXGUIDlg.h"
#include "LedKernelFixture.h"
#include "base/clock.h"
#include "scoped_root.h"
#include "ui/tray_icon.h"

namespace ledtest {

// A notification area that remembers the icons it was given.
class RecordingTray : public plat::ui::TrayHost {
public:
    bool Show(const plat::ui::TrayIcon& icon) override;
    void Remove(HWND owner, UINT id) override;
    HICON IconOf(HWND owner) const;

private:
    mutable std::mutex m_lock;
    std::vector<plat::ui::TrayIcon> m_icons;
};

class LedWindowTest : public LedKernelTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The usual machine: C: and D: on disk 0 (SYSTEM 50 % free, DATA 25 %
    // free), a CD-ROM E:.
    static std::string UsualMachine();
    // Settings the tests start from: no S.M.A.R.T. service, options closed.
    static GuiSettings TestSettings();
    // Creates the window with `settings` (shown by its template) and lets
    // it handle what its start queued.
    void Open(const GuiSettings& settings = TestSettings());
    // One poll of the driver and one activity redraw, as the poll thread
    // does every 50 ms.
    void Frame();
    void Pump();
    // What the window shows at a client point (0x00RRGGBB); 0xFFFFFFFF
    // outside it.
    std::uint32_t Shown(int x, int y);
    // Pixel (x, y) of image `index` of the strip bitmap `bitmap` whose
    // images are `width` wide (259 LEDs, 260 S.M.A.R.T. boxes).
    std::uint32_t ImagePixel(UINT bitmap, int width, int index, int x, int y) const;
    int WindowWidth() const;
    int WindowHeight() const;
    // The row of the window whose first letter is `letter`; -1 for none.
    int RowOf(WCHAR letter) const;
    const CLUMEXGUIDlg::LedState& Led(WCHAR letter) const;
    HICON LibraryIcon(UINT id) const;
    // Attaches a copy of `device` to its disk's row; the copy lives as long
    // as the fixture, since the window's threads read it until it closes.
    SmartDevice& AttachSmart(const SmartDevice& device);

    ScopedRoot m_root;
    plat::ScopedManualClock m_clock;
    std::shared_ptr<RecordingTray> m_tray = std::make_shared<RecordingTray>();
    std::deque<SmartDevice> m_smart;  // before m_dlg: outlives the window
    settings::SettingsWriter m_settingsWriter;
    std::unique_ptr<CLUMEXGUIDlg> m_dlg;
    std::vector<std::u16string> m_boxes;  // texts of the message boxes shown
    HMODULE m_library = nullptr;
};

}  // namespace ledtest
