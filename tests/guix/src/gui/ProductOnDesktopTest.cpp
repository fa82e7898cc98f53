// The whole product as a person uses it: lumex with lumetra-kernel and
// sentrak on the demo machine's drives (a hot disk, a failing one), under
// openbox on a private Xvfb, driven only through the pointer and the
// keyboard (XTEST). Each test has a desktop of its own. Pictures of every step go to
// build/artifacts/product (scripts/screenshots.sh copies them to
// docs/screenshots).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DesktopInput.h"
#include "DesktopWindows.h"
#include "LumexDesktop.h"
#include "base/text.h"
#include "resource/module.h"
#include "ui/menu.h"
#include "ui/menu_window.h"
#include "xvfb_support.h"

// Xlib last: its macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

using desktop::ShownWindow;

constexpr char kLedTitle[] = "Zelmor Lumetra";
constexpr char kSmartTitle[] = "Zelmor Lumetra S.M.A.R.T.";
constexpr char kSaveTitle[] = "Save As";

// Menus of the resource library and the commands chosen from them.
constexpr int kLedMenu = 145;
constexpr int kDetailsMenu = 179;
constexpr UINT kCmdDetails = 177;
constexpr UINT kCmdShortSelfTest = 220;
constexpr UINT kCmdSaveReport = 180;

// The network drive of the demo machine.
constexpr char kNetworkShare[] = "\\;Z:0000000000003e7\\server\\share";
// The first disk of the demo machine, in row 0 with C: and D:.
constexpr char kFirstDiskModel[] = "KORVANE KV7200-500G";
// The widths of the first two rows with their S.M.A.R.T. boxes: spacing 2
// before each LED and after the last, 20 pixels per LED (C: and D: in the
// first, none in the second), two margins of 2, and 92 for the row's icon
// and box.
constexpr int kFirstRowWidth = 2 * 3 + 2 * 20 + 2 * 2 + 92, kSecondRowWidth = 2 + 2 * 2 + 92;
// A point of row 0's row box (its icon, at the margin and spacing of 2).
constexpr int kRowBoxX = 4 + 10, kRowBoxY = 4 + 10;
// Controls of the LED window, counted from its right edge (the fixed
// buttons and the options strip): the options button, the hide button and
// the colour slider's track.
constexpr int kOptionsFromRight = 4, kOptionsY = 16;
constexpr int kOptionsStripWidth = 162, kFixedButtonsWidth = 25;
constexpr int kSliderFromRight = 153, kSliderWidth = 70, kSliderY = 9;
// The close buttons of the details and self-test dialogs.
constexpr int kDetailsCloseX = 285, kSelfTestCloseX = 296, kDialogCloseY = 9;

// Where the pointer rests between gestures: the screen's bottom-right corner.
constexpr int kAwayX = 1023, kAwayY = 599;

// Waits (real time, `seconds` at most: a loaded machine) until `done` holds.
template <typename Done>
bool Eventually(Done done, int seconds = 15) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return done();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// How many pixels of two pictures of the same size differ.
int Differing(const desktop::ScreenArea& a, const desktop::ScreenArea& b) {
    if (a.pixels.size() != b.pixels.size()) return -1;
    int n = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
    return n;
}

// Pixels of the self-test dialog's "completed" colour (green 0, 180, 0 and
// its antialiased shades).
int GreenPixels(const desktop::ScreenArea& area) {
    int n = 0;
    for (std::uint32_t p : area.pixels) {
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        n += g > 120 && r < 60 && b < 60;
    }
    return n;
}

// The product's menus, read from its resource library, for where an item
// lies in a menu's open window.
class ResourceMenus {
public:
    ResourceMenus() : m_library(LoadLibraryW(plat::Utf8ToUtf16(LUMEXRS_PATH).c_str())) {}
    ~ResourceMenus() {
        for (HMENU m : m_loaded) DestroyMenu(m);
        if (m_library) FreeLibrary(m_library);
    }
    // The window's point of command `command` in the first submenu of menu
    // `menu` (the one the program shows); x = -1 when there is no such item.
    POINT ItemPoint(int menu, UINT command) {
        HMENU top = LoadMenuW(m_library, MAKEINTRESOURCEW(menu));
        if (!top) return {-1, -1};
        m_loaded.push_back(top);
        const auto popup = plat::ui::LookupMenu(GetSubMenu(top, 0));
        if (!popup) return {-1, -1};
        for (int i = 0; i < int(popup->items.size()); ++i) {
            if (popup->items[std::size_t(i)].id != command) continue;
            const int top_y = plat::ui::MenuItemTop(*popup, i), bottom_y = plat::ui::MenuItemTop(*popup, i + 1);
            return {30, (top_y + bottom_y) / 2};
        }
        return {-1, -1};
    }

private:
    HMODULE m_library;
    std::vector<HMENU> m_loaded;
};

class ProductOnDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xvfbtest::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
        std::filesystem::create_directories(ARTIFACT_DIR);
        desktop::Options demo;
        demo.devices = DEMO_DEVICES_PATH;
        demo.scenario = DEMO_MACHINE_PATH;
        m_desktop = std::make_unique<desktop::LumexDesktop>(
            desktop::Paths{LUMEX_PATH, LUMETRA_KERNEL_PATH, LUMETRA_KCTL_PATH, SENTRAK_PATH}, demo);
        std::string error;
        ASSERT_TRUE(m_desktop->StartServices(&error)) << error << "\n" << Logs();
        // As run.sh --demo does: something on the network drive is open.
        ASSERT_EQ(m_desktop->Kctl({"netcreate", kNetworkShare}), 0);
        ASSERT_TRUE(m_desktop->StartLumex(&error)) << error << "\n" << Logs();
        m_dpy = m_desktop->XDisplay();
        m_input = std::make_unique<desktop::DesktopInput>(m_dpy);
        if (!m_input->Available()) GTEST_SKIP() << "the X server offers no XTEST extension";
    }
    void TearDown() override {
        if (HasFailure() && m_desktop) ADD_FAILURE() << Logs();
    }

    std::string Logs() const {
        std::string all;
        for (const char* name : {"kernel.log", "sentrak.log", "lumex.log"})
            all += std::string("--- ") + name + "\n" + ReadFile(m_desktop->Root() + "/" + name);
        return all;
    }

    ShownWindow Led() const { return desktop::Locate(m_dpy, m_desktop->WindowId()); }
    // The pointer to a corner of the screen, where it neither hovers over a
    // control nor calls up a tooltip.
    void PointerAway() const { m_input->MoveTo(kAwayX, kAwayY); }
    // A picture of a window without the pointer's hover on it.
    void Shoot(const std::string& name, const ShownWindow& w) const {
        PointerAway();
        EXPECT_TRUE(desktop::WritePng(std::string(ARTIFACT_DIR) + "/" + name, desktop::Capture(m_dpy, w))) << name;
    }
    // The one window titled `title`, waited for.
    ShownWindow WaitForWindow(const char* title) const {
        std::vector<ShownWindow> found;
        Eventually([&] { return (found = desktop::WindowsTitled(m_dpy, title)).size() == 1; });
        return found.size() == 1 ? found.front() : ShownWindow{};
    }
    bool WaitUntilGone(const char* title) const {
        return Eventually([&] { return desktop::WindowsTitled(m_dpy, title).empty(); });
    }
    // Right-clicks at a screen point and waits for a menu to open there (a
    // popup taller than a tooltip).
    ShownWindow OpenMenuAt(int x, int y) const {
        m_input->Click(x, y, 3);
        ShownWindow menu;
        Eventually([&] {
            for (const ShownWindow& p : desktop::Popups(m_dpy))
                if (p.height > 40) menu = p;
            return menu.xid != 0;
        });
        return menu;
    }
    // Clicks command `command` of an open menu showing menu `menu`, and waits
    // for the menu to close.
    void Choose(const ShownWindow& open, int menu, UINT command) const {
        const POINT at = m_menus.ItemPoint(menu, command);
        ASSERT_GE(at.x, 0) << "no command " << command << " in menu " << menu;
        m_input->Click(open.x + at.x, open.y + at.y);
        EXPECT_TRUE(Eventually([&] { return desktop::Locate(m_dpy, open.xid).xid == 0; })) << "the menu stays open";
    }
    // Opens the LED window's context menu over the first disk and chooses
    // `command`; the menu is photographed as `picture` when one is given.
    void ChooseOverFirstDisk(UINT command, const std::string& picture = "") const {
        const ShownWindow led = Led();
        const ShownWindow menu = OpenMenuAt(led.x + kRowBoxX, led.y + kRowBoxY);
        ASSERT_NE(menu.xid, 0u) << "no context menu over the first disk";
        if (!picture.empty()) Shoot(picture, menu);
        Choose(menu, kLedMenu, command);
    }
    // Clicks the options button and waits for the strip to open (or close)
    // and show in full.
    void ToggleOptionsStrip(bool open) const {
        const ShownWindow before = Led();
        m_input->Click(before.x + before.width - kOptionsFromRight, before.y + kOptionsY);
        const int width = before.width + (open ? kOptionsStripWidth : -kOptionsStripWidth);
        ShownWindow after;
        ASSERT_TRUE(Eventually([&] { return (after = Led()).width == width; }))
            << "width " << after.width << ", was " << before.width;
        PointerAway();
        ASSERT_TRUE(Steady(after)) << "the window's drawing goes on changing";
    }
    // Drags the colour slider of the open strip half-way and waits for the
    // rows' faces, left of the strip, to take the new colour.
    void TintWithSlider() const {
        const ShownWindow open = Led();
        ShownWindow rows = open;
        rows.width -= kOptionsStripWidth + kFixedButtonsWidth;
        const desktop::ScreenArea untinted = desktop::Capture(m_dpy, rows);
        const int track = open.x + open.width - kSliderFromRight, y = open.y + kSliderY;
        m_input->Drag(track + 3, y, track + kSliderWidth / 2, y);
        PointerAway();
        EXPECT_TRUE(Eventually([&] { return Differing(desktop::Capture(m_dpy, rows), untinted) > rows.width * 4; }))
            << "the skin keeps its colour";
        EXPECT_TRUE(Steady(open));
    }
    // Waits until two pictures of a window in a row are the same.
    bool Steady(const ShownWindow& w) const {
        desktop::ScreenArea before;
        return Eventually([&] {
            desktop::ScreenArea now = desktop::Capture(m_dpy, w);
            const bool same = Differing(now, before) == 0;
            before = std::move(now);
            return same;
        });
    }
    void Focus(const ShownWindow& w) const {
        XSetInputFocus(m_dpy, w.xid, RevertToParent, CurrentTime);
        XSync(m_dpy, False);
    }

    std::unique_ptr<desktop::LumexDesktop> m_desktop;
    _XDisplay* m_dpy = nullptr;
    std::unique_ptr<desktop::DesktopInput> m_input;
    mutable ResourceMenus m_menus;
};

TEST_F(ProductOnDesktop, TheWindowShowsOnTopAndItsLedsFollowHeldRequests) {
    if (m_desktop->HasWindowManager()) {
        EXPECT_TRUE(Eventually([&] { return m_desktop->IsAbove(); })) << "always on top";
    }
    const int x = desktop::kFirstLedProbeX, y = desktop::kFirstLedProbeY;
    ASSERT_TRUE(Eventually([&] { return desktop::LooksIdle(m_desktop->Pixel(x, y)); })) << std::hex << m_desktop->Pixel(x, y);
    Shoot("led-idle.png", Led());

    // The first two rows: the hot disk, then the failing one.
    ShownWindow row = Led();
    row.width = kFirstRowWidth;
    Shoot("led-hot-disk.png", row);
    row.x += kFirstRowWidth;
    row.width = kSecondRowWidth;
    Shoot("led-failing-disk.png", row);

    const std::vector<std::vector<std::string>> held = {
        {"C:", "read"}, {"D:", "write"}, {"T:", "write"}, {"Z:", "read"}, {"E:", "read"}, {"E:", "write"}};
    for (const auto& h : held) ASSERT_EQ(m_desktop->Kctl({"hold", h[0], h[1], "1"}), 0) << h[0] << " " << h[1];
    EXPECT_TRUE(Eventually([&] { return desktop::LooksReading(m_desktop->Pixel(x, y)); })) << std::hex << m_desktop->Pixel(x, y);
    Shoot("led-busy.png", Led());
    for (const char* letter : {"C:", "D:", "T:", "Z:", "E:"}) ASSERT_EQ(m_desktop->Kctl({"complete", letter}), 0);
    EXPECT_TRUE(Eventually([&] { return desktop::LooksIdle(m_desktop->Pixel(x, y)); })) << std::hex << m_desktop->Pixel(x, y);
}

TEST_F(ProductOnDesktop, TheDetailsOfADiskOpenFromItsMenuAndTheirReportIsSavedAndReadBack) {
    const std::string report = m_desktop->Root() + "/Lumetra SMART.txt";
    std::filesystem::remove(report);
    ChooseOverFirstDisk(kCmdDetails, "led-menu.png");
    const ShownWindow details = WaitForWindow(kSmartTitle);
    ASSERT_NE(details.xid, 0u) << "no details dialog";
    Shoot("details.png", details);

    const ShownWindow menu = OpenMenuAt(details.CentreX(), details.CentreY());
    ASSERT_NE(menu.xid, 0u) << "no context menu in the details dialog";
    Choose(menu, kDetailsMenu, kCmdSaveReport);
    const ShownWindow chooser = WaitForWindow(kSaveTitle);
    ASSERT_NE(chooser.xid, 0u) << "no save dialog";
    Shoot("save-dialog.png", chooser);
    Focus(chooser);
    m_input->Key(XK_Return);  // Save, with the name it proposes, in lumex's folder
    ASSERT_TRUE(WaitUntilGone(kSaveTitle)) << "the save dialog stays";

    std::string bytes;
    ASSERT_TRUE(Eventually([&] { return (bytes = ReadFile(report)).size() > 100; })) << "no report at " << report;
    ASSERT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE")) << "UTF-16 (little-endian) with its byte-order mark";
    ASSERT_EQ(bytes.size() % 2, 0u);
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(char16_t(std::uint8_t(bytes[i]) | std::uint8_t(bytes[i + 1]) << 8));
    EXPECT_NE(plat::Utf16ToUtf8(text).find(kFirstDiskModel), std::string::npos) << plat::Utf16ToUtf8(text);

    m_input->Click(details.x + kDetailsCloseX, details.y + kDialogCloseY);
    EXPECT_TRUE(WaitUntilGone(kSmartTitle)) << "the details dialog stays";
}

TEST_F(ProductOnDesktop, AShortSelfTestRunsToCompletion) {
    ChooseOverFirstDisk(kCmdShortSelfTest);
    const ShownWindow dialog = WaitForWindow(kSmartTitle);
    ASSERT_NE(dialog.xid, 0u) << "no self-test dialog";
    // The result shows in green once the drive reports the test completed
    // (its first poll sees it running; the next, 5 s later, the end).
    EXPECT_TRUE(Eventually([&] { return GreenPixels(desktop::Capture(m_dpy, dialog)) > 20; }, 40))
        << "no completed result";
    Shoot("selftest.png", dialog);
    m_input->Click(dialog.x + kSelfTestCloseX, dialog.y + kDialogCloseY);
    EXPECT_TRUE(WaitUntilGone(kSmartTitle)) << "the self-test dialog stays";
}

TEST_F(ProductOnDesktop, TheOptionsStripOpensAndTheColourSliderTintsTheSkin) {
    ToggleOptionsStrip(true);
    Shoot("led-options.png", Led());
    TintWithSlider();
    Shoot("led-tinted.png", Led());
}

TEST_F(ProductOnDesktop, EscClosesTheWindowAndTheNextStartRestoresItsSettingsAndPlacement) {
    ToggleOptionsStrip(true);
    TintWithSlider();
    const ShownWindow before = Led();
    // Dragged by its face (the row icon's box), away from where it starts,
    // to where it fits on the screen.
    const int toX = 40, toY = 260;
    m_input->Drag(before.x + kRowBoxX, before.y + kRowBoxY, toX + kRowBoxX, toY + kRowBoxY);
    ShownWindow moved;
    ASSERT_TRUE(Eventually([&] {
        moved = Led();
        return std::abs(moved.x - toX) <= 2 && std::abs(moved.y - toY) <= 2;
    })) << "at " << moved.x << "," << moved.y;
    PointerAway();
    ASSERT_TRUE(Steady(moved));
    const desktop::ScreenArea look = desktop::Capture(m_dpy, moved);

    Focus(moved);
    m_input->Key(XK_Escape);
    ASSERT_EQ(m_desktop->WaitForLumexExit(), 0) << "Esc ends lumex normally";
    ASSERT_TRUE(Eventually([&] { return desktop::WindowsTitled(m_dpy, kLedTitle).empty(); }));

    std::string error;
    ASSERT_TRUE(m_desktop->StartLumex(&error)) << error;
    PointerAway();
    ShownWindow again;
    EXPECT_TRUE(Eventually([&] {
        again = Led();
        return again.x == moved.x && again.y == moved.y && again.width == moved.width;
    })) << "at " << again.x << "," << again.y << " " << again.width << " wide; was " << moved.x << "," << moved.y << " "
        << moved.width << " wide";
    // The same colour, the strip open: the same picture.
    EXPECT_TRUE(Eventually([&] { return Differing(desktop::Capture(m_dpy, again), look) == 0; }))
        << "the window looks different after the restart";
    Shoot("led-restarted.png", again);
}

}  // namespace
