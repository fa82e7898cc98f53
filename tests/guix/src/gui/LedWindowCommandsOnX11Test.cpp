// The LED window's commands as a person uses them on an X11 desktop: lumex
// with lumetra-kernel and sentrak under openbox on a private Xvfb, with a
// test tray at the bottom right of the screen (and xcompmgr where opacity
// matters). The tray icon's right-click menu opens at the icon and its
// commands take effect: the window goes into the tray and comes back, the
// autostart entry appears and goes, the Scroll Lock light follows a held
// request until its option goes off, and the window's opacity shows in what
// the screen composes. Screenshots go to build/artifacts/lumex.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "LumexDesktop.h"
#include "SettingsStore.h"
#include "TrayMenuOnScreen.h"
#include "commands/CommandIds.h"
#include "xvfb_support.h"

namespace {

using desktop::Eventually;

class LedWindowCommandsOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xvfbtest::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
    }
    // A desktop with the test tray (and xcompmgr with `compositor`) whose
    // lumex starts with `settings`.
    void Start(const GuiSettings& settings, bool compositor = false) {
        desktop::Options options;
        options.tray = true;
        options.compositor = compositor;
        m_desktop = std::make_unique<desktop::LumexDesktop>(
            desktop::Paths{LUMEX_PATH, LUMETRA_KERNEL_PATH, LUMETRA_KCTL_PATH, SENTRAK_PATH}, options);
        std::string error;
        ASSERT_TRUE(m_desktop->StartServices(&error)) << error << "\n" << m_desktop->Logs();
        StoreSettings(settings);
        ASSERT_TRUE(m_desktop->StartLumex(&error)) << error << "\n" << m_desktop->Logs();
    }
    // Writes `settings` as lumex's stored settings into the desktop's root.
    void StoreSettings(const GuiSettings& settings) {
        setenv("LUMETRA_ROOT", m_desktop->Root().c_str(), 1);
        const BOOL stored = settings::SaveSettings(settings);
        unsetenv("LUMETRA_ROOT");
        ASSERT_TRUE(stored);
    }
    void Choose(unsigned command) {
        std::string error;
        ASSERT_TRUE(desktop::ChooseFromTrayMenu(*m_desktop, command, &m_shown, &error))
            << "command " << command << ": " << error << "\n" << m_desktop->Logs();
    }
    bool WindowShown() const {
        desktop::Placed place;
        return m_desktop->WindowPlace(&place);
    }
    static std::string Artifact(const std::string& name) {
        std::filesystem::create_directories(ARTIFACT_DIR);
        return std::string(ARTIFACT_DIR) + "/" + name;
    }

    std::unique_ptr<desktop::LumexDesktop> m_desktop;
    desktop::TrayMenuShown m_shown;
};

TEST_F(LedWindowCommandsOnX11, TheTrayMenuOpensAtTheIconAndPutsTheWindowAwayAndBack) {
    Start(GuiSettings{});
    desktop::Placed icon;
    ASSERT_TRUE(Eventually([&] { return m_desktop->TrayIcon(&icon); })) << "lumex's icon docks";
    EXPECT_EQ(m_desktop->TitleOf(icon.window), "Zelmor Lumetra: disk activity and health") << "its tip";
    EXPECT_FALSE(desktop::ShowsWarningBadge(m_desktop->Capture(icon.window).get())) << "the drives are healthy";

    Choose(cmd::kMinimizeToTray);
    // Right-aligned at the pointer, and above it: below a tray at the
    // bottom of the screen there is no room.
    const desktop::Placed& menu = m_shown.menu;
    EXPECT_EQ(menu.x + menu.width, m_shown.clickX) << "the menu's right edge at the pointer";
    EXPECT_EQ(menu.y + menu.height, m_shown.clickY) << "the menu's bottom at the pointer";
    EXPECT_GE(menu.y, 0);
    EXPECT_TRUE(Eventually([&] { return !WindowShown(); })) << "the window went into the tray";

    Choose(cmd::kRestoreFromTray);
    EXPECT_TRUE(Eventually([&] { return WindowShown(); })) << "and came back";
    EXPECT_TRUE(m_desktop->Screenshot(Artifact("lumex-restored.png")));
}

// The autostart entries of the XDG autostart folder that the platform
// writes for the Run key's values; a private state root keeps its own.
std::vector<std::filesystem::path> AutostartEntries(const std::string& folder) {
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().extension() == ".desktop") found.push_back(entry.path());
    return found;
}

std::string Text(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(LedWindowCommandsOnX11, StartAtLogOnWritesTheAutostartEntryAndRemovesItAgain) {
    Start(GuiSettings{});
    const std::string folder = m_desktop->Root() + "/autostart";
    ASSERT_TRUE(AutostartEntries(folder).empty());

    Choose(cmd::kAutostart);
    ASSERT_TRUE(Eventually([&] { return AutostartEntries(folder).size() == 1; })) << m_desktop->Logs();
    const std::string entry = Text(AutostartEntries(folder).front());
    EXPECT_NE(entry.find("[Desktop Entry]"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Exec=" + std::filesystem::canonical(LUMEX_PATH).string()), std::string::npos) << entry;
    EXPECT_TRUE(AutostartEntries(m_desktop->ConfigHome() + "/autostart").empty())
        << "the user's own autostart folder stays untouched under a private state root";

    Choose(cmd::kAutostart);
    EXPECT_TRUE(Eventually([&] { return AutostartEntries(folder).empty(); })) << "the entry went again";
}

TEST_F(LedWindowCommandsOnX11, ScrollLockFollowsAHeldRequestAndGoesOffWithItsOption) {
    GuiSettings settings;
    settings.KeyboardLed = 1;
    Start(settings);
    desktop::LumexDesktop& d = *m_desktop;
    EXPECT_TRUE(Eventually([&] { return !d.ScrollLock(); })) << "off while the drives are idle";

    ASSERT_EQ(d.Kctl({"hold", "C:", "read", "2"}), 0);
    EXPECT_TRUE(Eventually([&] { return d.ScrollLock(); })) << "on while C: reads";
    ASSERT_EQ(d.Kctl({"complete", "C:"}), 0);
    EXPECT_TRUE(Eventually([&] { return !d.ScrollLock(); })) << "off once the read completed";

    ASSERT_EQ(d.Kctl({"hold", "C:", "read", "2"}), 0);
    ASSERT_TRUE(Eventually([&] { return d.ScrollLock(); }));
    Choose(cmd::kKeyboardLed);
    EXPECT_TRUE(Eventually([&] { return !d.ScrollLock(); })) << "the option went off while C: still reads";
    ASSERT_EQ(d.Kctl({"complete", "C:"}), 0);
    EXPECT_FALSE(d.ScrollLock());
}

// One channel of `over` drawn with `alpha` onto `under`.
int Blend(std::uint32_t over, std::uint32_t under, int alpha, int shift) {
    const int o = int(over >> shift) & 0xFF, u = int(under >> shift) & 0xFF;
    return (o * alpha + u * (255 - alpha)) / 255;
}

// Whether the screen at point (x, y) of `w` shows the window's own pixel
// drawn with `alpha` over `under`, each channel within 3.
bool ShowsBlended(const desktop::LumexDesktop& d, const desktop::Placed& w, int x, int y, std::uint32_t under,
                  int alpha, std::string* seen) {
    const std::uint32_t own = d.PixelOf(w.window, x, y), screen = d.ScreenPixel(w.x + x, w.y + y);
    std::ostringstream text;
    text << "at " << x << "," << y << " of " << w.width << "x" << w.height << "+" << w.x << "+" << w.y << std::hex
         << ": window " << own << ", screen " << screen;
    *seen = text.str();
    for (int shift : {16, 8, 0})
        if (std::abs(int(screen >> shift & 0xFF) - Blend(own, under, alpha, shift)) > 3) return false;
    return true;
}

bool Covers(const desktop::Placed& w, int x, int y) {
    return x >= w.x && x < w.x + w.width && y >= w.y && y < w.y + w.height;
}

// A details dialog and a point of it above nothing but the underlay; false
// while no dialog shows. The dialogs open staggered 10 pixels apart, so the
// points looked at are the middles of each dialog's sides, 5 pixels in (the
// shape's corners are rounded), and its centre.
bool DialogOverTheUnderlay(const desktop::LumexDesktop& d, desktop::Placed* dialog, int* x, int* y) {
    std::vector<desktop::Placed> shown = d.OtherWindows();
    std::erase_if(shown, [](const desktop::Placed& w) { return w.width < 100 || w.height < 100; });  // tips
    std::vector<desktop::Placed> covering = shown;
    for (desktop::Placed p; auto place : {&desktop::LumexDesktop::WindowPlace, &desktop::LumexDesktop::TrayPlace})
        if ((d.*place)(&p)) covering.push_back(p);
    for (const desktop::Placed& w : shown) {
        const int points[][2] = {{5, w.height / 2}, {w.width - 6, w.height / 2}, {w.width / 2, 5},
                                 {w.width / 2, w.height - 6}, {w.width / 2, w.height / 2}};
        for (const auto& point : points) {
            const int px = point[0], py = point[1];
            const auto covers = [&](const desktop::Placed& o) {
                return o.window != w.window && Covers(o, w.x + px, w.y + py);
            };
            if (std::none_of(covering.begin(), covering.end(), covers)) {
                *dialog = w;
                *x = px;
                *y = py;
                return true;
            }
        }
    }
    return false;
}

TEST_F(LedWindowCommandsOnX11, TheOpacityBlendsTheWindowAndItsDialogsWithWhatLiesBeneath) {
    if (access("/usr/bin/xcompmgr", X_OK) != 0) GTEST_SKIP() << "xcompmgr is not installed (package xcompmgr)";
    GuiSettings settings;
    settings.Alpha = 128;  // 50 % transparent
    Start(settings, true);
    desktop::LumexDesktop& d = *m_desktop;
    constexpr std::uint32_t kBeneath = 0x2060E0;
    d.Underlay(kBeneath);

    const int x = desktop::kFirstLedProbeX, y = desktop::kFirstLedProbeY;
    const auto led_window_shows = [&](int alpha, std::string* seen) {
        desktop::Placed place;
        return d.WindowPlace(&place) && ShowsBlended(d, place, x, y, kBeneath, alpha, seen);
    };
    const auto dialog_shows = [&](int alpha, std::string* seen) {
        desktop::Placed dialog;
        int dx = 0, dy = 0;
        return DialogOverTheUnderlay(d, &dialog, &dx, &dy) && ShowsBlended(d, dialog, dx, dy, kBeneath, alpha, seen);
    };
    std::string seen;
    EXPECT_TRUE(Eventually([&] { return led_window_shows(128, &seen); })) << seen << "\n" << d.Logs();
    Choose(cmd::kSmartDetails);  // a details dialog for every disk
    EXPECT_TRUE(Eventually([&] { return dialog_shows(128, &seen); })) << "a dialog opened translucent; " << seen;
    EXPECT_TRUE(d.Screenshot(Artifact("lumex-translucent.png")));

    Choose(cmd::kOpacity0);
    EXPECT_TRUE(Eventually([&] { return led_window_shows(255, &seen); })) << "opaque again; " << seen;
    EXPECT_TRUE(Eventually([&] { return dialog_shows(255, &seen); })) << "and its dialog; " << seen;
    EXPECT_TRUE(d.Screenshot(Artifact("lumex-opaque.png")));
}

TEST_F(LedWindowCommandsOnX11, DraggingTheTransparencySliderMakesTheWindowTranslucent) {
    if (access("/usr/bin/xcompmgr", X_OK) != 0) GTEST_SKIP() << "xcompmgr is not installed (package xcompmgr)";
    GuiSettings settings;
    settings.OptionsPanelOpen = 1;
    Start(settings, true);
    desktop::LumexDesktop& d = *m_desktop;
    constexpr std::uint32_t kBeneath = 0x2060E0;
    d.Underlay(kBeneath);
    desktop::Placed w;
    ASSERT_TRUE(Eventually([&] { return d.WindowPlace(&w); }));

    // The transparency slider of the options strip: 70 x 10 pixels, 153
    // pixels from the window's right end and 19 down. While the window is
    // opaque its thumb sits at the start of the channel, 8 pixels in.
    // Dragged half way, it makes the window about half transparent.
    const int left = w.x + w.width - 153, y = w.y + 19 + 5;
    d.Drag(w.window, left + 8, y, left + 35, y);
    // The opacity the window asked for is what the screen shows.
    int alpha = 255;
    std::string seen;
    EXPECT_TRUE(Eventually([&] {
        alpha = d.Opacity();
        return alpha < 255 && d.WindowPlace(&w) &&
               ShowsBlended(d, w, desktop::kFirstLedProbeX, desktop::kFirstLedProbeY, kBeneath, alpha, &seen);
    })) << "opacity " << alpha << ": " << seen;
    EXPECT_GT(alpha, 60) << "not dragged to the end";
    EXPECT_TRUE(d.Screenshot(Artifact("lumex-slider.png")));
}

}  // namespace
