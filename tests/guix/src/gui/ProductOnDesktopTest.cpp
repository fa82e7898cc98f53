// The whole product as a person uses it: lumex with lumetra-kernel and
// sentrak on the demo machine (its tape and network letters, a hot disk, a
// failing one), under openbox with a notification area and xcompmgr on a
// private Xvfb, driven only through the pointer and the keyboard (and
// checked through what a person sees: pixels, the Scroll Lock light, and
// what the service answers lumetra-smart). Each test has a desktop of its
// own. Pictures of every step go to
// build/artifacts/product (scripts/screenshots.sh copies them to
// docs/screenshots).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "DesktopInput.h"
#include "DesktopWindows.h"
#include "LumexDesktop.h"
#include "TrayMenuOnScreen.h"
#include "base/text.h"
#include "xvfb_support.h"

// Xlib last: its macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

using desktop::Eventually;
using desktop::Placed;

constexpr char kLedTitle[] = "Zelmor Lumetra";
constexpr char kSmartTitle[] = "Zelmor Lumetra S.M.A.R.T.";
constexpr char kSaveTitle[] = "Save As";

// Menus of the resource library and the commands chosen from them.
constexpr unsigned kLedMenu = 145, kDetailsMenu = 179;
constexpr unsigned kCmdDetails = 177, kCmdShortSelfTest = 220, kCmdRestore = 205, kCmdSaveReport = 180,
                   kCmdKeyboardLed = 32772;

// The network drive of the demo machine.
constexpr char kNetworkShare[] = "\\;Z:0000000000003e7\\server\\share";
// The first disk of the demo machine, in row 0 with C: and D:.
constexpr char kFirstDiskModel[] = "KORVANE KV7200-500G";
// The SCSI disk of the demo machine: the service's drive 4, the LED
// window's row 2 (after the two disk rows of kFirstRowWidth and
// kSecondRowWidth); its short self-test takes 20 s.
constexpr char kScsiDiskModel[] = "ORBELIN OX15K300-SAS";
constexpr char kScsiDiskIndex[] = "4";
// The widths of the first two rows with their S.M.A.R.T. boxes: spacing 2
// before each LED and after the last, 20 pixels per LED (C: and D: in the
// first, none in the second), two margins of 2, and 92 for the row's icon
// and box.
constexpr int kFirstRowWidth = 2 * 3 + 2 * 20 + 2 * 2 + 92, kSecondRowWidth = 2 + 2 * 2 + 92;
// A point of row 0's row box (its icon, at the margin and spacing of 2).
constexpr int kRowBoxX = 4 + 10, kRowBoxY = 4 + 10;
constexpr int kScsiRowBoxX = kFirstRowWidth + kSecondRowWidth + kRowBoxX;
// Controls of the LED window, counted from its right edge (the fixed
// buttons and the options strip): the options button, the hide button and
// the colour slider's track.
constexpr int kOptionsFromRight = 4, kOptionsY = 16;
constexpr int kHideFromRight = 16, kHideY = 23;
constexpr int kOptionsStripWidth = 162, kFixedButtonsWidth = 25;
constexpr int kSliderFromRight = 153, kSliderWidth = 70, kSliderY = 9;
// The close buttons of the details and self-test dialogs.
constexpr int kDetailsCloseX = 285, kSelfTestCloseX = 296, kDialogCloseY = 9;
// Where the pointer rests between gestures: the screen's left edge, half-way
// down, where it neither hovers over a control nor calls up a tooltip.
constexpr int kAwayX = 0, kAwayY = 400;

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

// The newest result of a SCSI drive's self-test results log page (0x10) as
// `lumetra-smart log N selftest` prints it, in hex: parameter 1 (the newest)
// follows the page's 4-byte header; its value starts with the self-test
// code (bits 7-5: 1 background short, 2 background extended) and the result
// (bits 3-0: 0 completed without error), and holds the power-on hour in
// bytes 2 and 3. Empty when the text is no such page.
struct SelfTestResult {
    int code = -1, result = -1, hour = -1;
    bool operator==(const SelfTestResult&) const = default;
};

std::optional<SelfTestResult> NewestSelfTest(const std::string& hex) {
    std::vector<int> bytes;
    std::istringstream in(hex);
    for (std::string byte; in >> byte;) bytes.push_back(int(std::strtol(byte.c_str(), nullptr, 16)));
    if (bytes.size() < 24 || (bytes[0] & 0x3F) != 0x10 || bytes[4] != 0 || bytes[5] != 1) return std::nullopt;
    return SelfTestResult{bytes[8] >> 5, bytes[8] & 0x0F, bytes[10] << 8 | bytes[11]};
}

// The text of a UTF-16LE file with its byte-order mark; empty without one.
std::string Utf16File(const std::string& bytes) {
    if (bytes.size() < 2 || bytes.size() % 2 || bytes.compare(0, 2, "\xFF\xFE") != 0) return "";
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(char16_t(std::uint8_t(bytes[i]) | std::uint8_t(bytes[i + 1]) << 8));
    return plat::Utf16ToUtf8(text);
}

class ProductOnDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xvfbtest::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
        std::filesystem::create_directories(ARTIFACT_DIR);
        desktop::Options demo;
        demo.tray = true;
        demo.compositor = true;
        demo.devices = DEMO_DEVICES_PATH;
        demo.scenario = DEMO_MACHINE_PATH;
        m_desktop = std::make_unique<desktop::LumexDesktop>(
            desktop::Paths{LUMEX_PATH, LUMETRA_KERNEL_PATH, LUMETRA_KCTL_PATH, SENTRAK_PATH, LUMETRA_SMART_PATH}, demo);
        std::string error;
        ASSERT_TRUE(m_desktop->StartServices(&error)) << error << "\n" << m_desktop->Logs();
        // As run.sh --demo does: something on the network drive is open.
        ASSERT_EQ(m_desktop->Kctl({"netcreate", kNetworkShare}), 0);
        ASSERT_TRUE(m_desktop->StartLumex(&error)) << error << "\n" << m_desktop->Logs();
        m_dpy = m_desktop->XDisplay();
        m_input = std::make_unique<desktop::DesktopInput>(m_dpy);
        if (!m_input->Available()) GTEST_SKIP() << "the X server offers no XTEST extension";
    }
    void TearDown() override {
        if (HasFailure() && m_desktop) ADD_FAILURE() << m_desktop->Logs();
    }

    Placed Led() const { return desktop::Locate(m_dpy, m_desktop->WindowId()); }
    void PointerAway() const { m_input->MoveTo(kAwayX, kAwayY); }
    // A picture of part of the screen without the pointer's hover on it.
    void Shoot(const std::string& name, const Placed& area) const {
        PointerAway();
        EXPECT_TRUE(desktop::WritePng(std::string(ARTIFACT_DIR) + "/" + name, desktop::Capture(m_dpy, area))) << name;
    }
    // The one window titled `title`, waited for until it stands still
    // between two looks (the window manager may still be placing it).
    Placed WaitForWindow(const char* title) const {
        Placed last;
        const bool placed = Eventually([&] {
            const std::vector<Placed> found = desktop::WindowsTitled(m_dpy, title);
            if (found.size() != 1) return false;
            const Placed& w = found.front();
            const bool still = w.window == last.window && w.x == last.x && w.y == last.y && w.width == last.width;
            last = w;
            return still;
        });
        return placed ? last : Placed{};
    }
    // Clicks a point of a window's own, wherever the window lies now.
    void ClickIn(const Placed& w, int x, int y) const {
        const Placed now = desktop::Locate(m_dpy, w.window);
        m_input->Click(now.x + x, now.y + y);
    }
    bool WaitUntilGone(const char* title) const {
        return Eventually([&] { return desktop::WindowsTitled(m_dpy, title).empty(); });
    }
    // Chooses `command` from menu `menu` opened by a right click at a point
    // of `w` (its own coordinates); the open menu is photographed as
    // `picture` when one is given.
    void ChooseFromMenu(const Placed& w, int x, int y, unsigned menu, unsigned command,
                        const std::string& picture = "") const {
        std::string error;
        const auto photograph = [&](const Placed& open) {
            if (!picture.empty()) Shoot(picture, open);
        };
        ASSERT_TRUE(desktop::ChooseFromMenuAt(*m_desktop, menu, w.window, w.x + x, w.y + y, command, photograph, &error))
            << error;
    }
    // Clicks the options button and waits for the strip to open and show
    // in full.
    void OpenOptionsStrip() const {
        const Placed before = Led();
        m_input->Click(before.x + before.width - kOptionsFromRight, before.y + kOptionsY);
        Placed after;
        ASSERT_TRUE(Eventually([&] { return (after = Led()).width == before.width + kOptionsStripWidth; }))
            << "width " << after.width << ", was " << before.width;
        PointerAway();
        ASSERT_TRUE(Steady(after)) << "the window's drawing goes on changing";
    }
    // Clicks the colour slider's track right of its thumb (it moves a page
    // that way) and waits for the rows' faces, left of the strip, to take
    // the new colour.
    void TintWithSlider() const {
        const Placed open = Led();
        Placed rows = open;
        rows.width -= kOptionsStripWidth + kFixedButtonsWidth;
        const desktop::ScreenArea untinted = desktop::Capture(m_dpy, rows);
        const auto tinted = [&] { return Differing(desktop::Capture(m_dpy, rows), untinted) > rows.width * 4; };
        // A click a loaded machine's window took up too late is made again,
        // as a person clicks again when nothing happened.
        bool done = false;
        for (int attempt = 0; attempt < 3 && !done; ++attempt) {
            m_input->Click(open.x + open.width - kSliderFromRight + kSliderWidth * 3 / 4, open.y + kSliderY);
            PointerAway();
            done = Eventually(tinted, std::chrono::seconds(5));
        }
        EXPECT_TRUE(done) << "the skin keeps its colour";
        EXPECT_TRUE(Steady(open));
    }
    // Drags the LED window by its face (the first row's icon) until its
    // top-left corner is at a point, as a person tries again when a busy
    // program took up the drag late (it starts where the pointer is by
    // then); where it stays.
    Placed DragTo(int x, int y) const {
        const auto there = [&](const Placed& p) { return std::abs(p.x - x) <= 2 && std::abs(p.y - y) <= 2; };
        Placed now = Led();
        for (int attempt = 0; attempt < 5 && !there(now); ++attempt) {
            m_input->Drag(now.x + kRowBoxX, now.y + kRowBoxY, x + kRowBoxX, y + kRowBoxY);
            Eventually([&] { return there(now = Led()); }, std::chrono::seconds(5));
        }
        return now;
    }
    // Waits until two pictures of a part of the screen in a row are the same.
    bool Steady(const Placed& area) const {
        desktop::ScreenArea before;
        return Eventually([&] {
            desktop::ScreenArea now = desktop::Capture(m_dpy, area);
            const bool same = Differing(now, before) == 0;
            before = std::move(now);
            return same;
        });
    }
    void Focus(const Placed& w) const {
        XSetInputFocus(m_dpy, w.window, RevertToParent, CurrentTime);
        XSync(m_dpy, False);
    }

    std::unique_ptr<desktop::LumexDesktop> m_desktop;
    _XDisplay* m_dpy = nullptr;
    std::unique_ptr<desktop::DesktopInput> m_input;
};

TEST_F(ProductOnDesktop, TheWindowShowsOnTopAndItsLedsFollowHeldRequests) {
    if (m_desktop->HasWindowManager()) {
        EXPECT_TRUE(Eventually([&] { return m_desktop->IsAbove(); })) << "always on top";
    }
    const int x = desktop::kFirstLedProbeX, y = desktop::kFirstLedProbeY;
    ASSERT_TRUE(Eventually([&] { return desktop::LooksIdle(m_desktop->Pixel(x, y)); })) << std::hex << m_desktop->Pixel(x, y);
    Shoot("led-idle.png", Led());
    // The first two rows: the hot disk, then the failing one.
    Placed row = Led();
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
    ChooseFromMenu(Led(), kRowBoxX, kRowBoxY, kLedMenu, kCmdDetails, "led-menu.png");
    const Placed details = WaitForWindow(kSmartTitle);
    ASSERT_NE(details.window, 0u) << "no details dialog";
    Shoot("details.png", details);

    ChooseFromMenu(details, details.width / 2, details.height / 2, kDetailsMenu, kCmdSaveReport);
    const Placed chooser = WaitForWindow(kSaveTitle);
    ASSERT_NE(chooser.window, 0u) << "no save dialog";
    Shoot("save-dialog.png", chooser);
    Focus(chooser);
    m_input->Key(XK_Return);  // Save, with the name it proposes, in lumex's folder
    ASSERT_TRUE(WaitUntilGone(kSaveTitle)) << "the save dialog stays";

    std::string text;
    ASSERT_TRUE(Eventually([&] { return !(text = Utf16File(ReadFile(report))).empty(); }))
        << "no UTF-16 report with its byte-order mark at " << report;
    EXPECT_NE(text.find(kFirstDiskModel), std::string::npos) << text;

    ClickIn(details, kDetailsCloseX, kDialogCloseY);
    EXPECT_TRUE(WaitUntilGone(kSmartTitle)) << "the details dialog stays, at " << desktop::Locate(m_dpy, details.window).x
                                            << "," << desktop::Locate(m_dpy, details.window).y << ", was at "
                                            << details.x << "," << details.y;
}

// On the SCSI disk, whose self-test results the service reads back (it has
// no log reading for ATA drives): the dialog's result and the drive's log.
TEST_F(ProductOnDesktop, AShortSelfTestRunsToCompletion) {
    const std::string list = m_desktop->Smart({"list"});
    ASSERT_NE(list.find(std::string("[") + kScsiDiskIndex + "] " + kScsiDiskModel), std::string::npos) << list;
    const auto before = NewestSelfTest(m_desktop->Smart({"log", kScsiDiskIndex, "selftest"}));
    ASSERT_TRUE(before) << "no self-test results log";
    ChooseFromMenu(Led(), kScsiRowBoxX, kRowBoxY, kLedMenu, kCmdShortSelfTest);
    const Placed dialog = WaitForWindow(kSmartTitle);
    ASSERT_NE(dialog.window, 0u) << "no self-test dialog";
    // The result line turns green, the colour of "Completed without error"
    // alone, once the service reports the test over (after its announced
    // 30 s, at the dialog's next poll).
    EXPECT_TRUE(Eventually([&] { return GreenPixels(desktop::Capture(m_dpy, dialog)) > 20; }, std::chrono::seconds(90)))
        << "no completed result";
    // And the drive's own log, read through the service, says so too.
    const std::string log = m_desktop->Smart({"log", kScsiDiskIndex, "selftest"});
    const auto after = NewestSelfTest(log);
    ASSERT_TRUE(after) << log;
    EXPECT_FALSE(*after == *before) << "the drive logged no new self-test:\n" << log;
    EXPECT_EQ(after->code, 1) << "a background short self-test";
    EXPECT_EQ(after->result, 0) << "completed without error";
    Shoot("selftest.png", dialog);
    ClickIn(dialog, kSelfTestCloseX, kDialogCloseY);
    EXPECT_TRUE(WaitUntilGone(kSmartTitle)) << "the self-test dialog stays";
}

TEST_F(ProductOnDesktop, ScrollLockFollowsActivityOnceItsOptionIsOn) {
    const int x = desktop::kFirstLedProbeX, y = desktop::kFirstLedProbeY;
    ASSERT_EQ(m_desktop->Kctl({"hold", "C:", "read", "1"}), 0);
    ASSERT_TRUE(Eventually([&] { return desktop::LooksReading(m_desktop->Pixel(x, y)); }));
    EXPECT_FALSE(m_desktop->ScrollLock()) << "the option is off by default";
    ASSERT_EQ(m_desktop->Kctl({"complete", "C:"}), 0);

    ChooseFromMenu(Led(), kRowBoxX, kRowBoxY, kLedMenu, kCmdKeyboardLed);
    ASSERT_EQ(m_desktop->Kctl({"hold", "C:", "write", "1"}), 0);
    EXPECT_TRUE(Eventually([&] { return m_desktop->ScrollLock(); })) << "on while C: writes";
    ASSERT_EQ(m_desktop->Kctl({"complete", "C:"}), 0);
    EXPECT_TRUE(Eventually([&] { return !m_desktop->ScrollLock(); })) << "off once the write completed";
}

TEST_F(ProductOnDesktop, TheOptionsStripOpensAndTheColourSliderTintsTheSkin) {
    OpenOptionsStrip();
    Shoot("led-options.png", Led());
    TintWithSlider();
    Shoot("led-tinted.png", Led());
}

TEST_F(ProductOnDesktop, ItHidesInTheTrayAndComesBackFromTheTrayIconsMenu) {
    Placed icon;
    ASSERT_TRUE(Eventually([&] { return m_desktop->TrayIcon(&icon); })) << "no icon in the notification area";
    const Placed led = Led();
    m_input->Click(led.x + led.width - kHideFromRight, led.y + kHideY);
    ASSERT_TRUE(Eventually([&] { return Led().window == 0; })) << "the window stays on the screen";

    ChooseFromMenu(icon, icon.width / 2, icon.height / 2, kLedMenu, kCmdRestore, "tray-menu.png");
    EXPECT_TRUE(Eventually([&] { return Led().window != 0; })) << "the window does not come back";
}

TEST_F(ProductOnDesktop, EscClosesTheWindowAndTheNextStartRestoresItsSettingsAndPlacement) {
    OpenOptionsStrip();
    TintWithSlider();
    // Away from where it starts, to where it fits on the screen.
    const int toX = 40, toY = 260;
    const Placed moved = DragTo(toX, toY);
    ASSERT_TRUE(std::abs(moved.x - toX) <= 2 && std::abs(moved.y - toY) <= 2) << "at " << moved.x << "," << moved.y;
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
    Placed again;
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
