// The LED window as a person sees it on an X11 desktop: lumex with
// lumetra-kernel and sentrak, under openbox on a private Xvfb. On the
// simulated defaults its shaped window stays on top, a read request held on
// C: lights C:'s LED in the read look and completing it turns the LED off.
// With a test tray, a drive whose S.M.A.R.T. health has failed raises the
// alert, which swaps the tray icon for the warning icon. Screenshots of the
// desktop are kept in build/artifacts/lumex.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "LumexDesktop.h"
#include "xvfb_support.h"

namespace {

using desktop::Eventually;

desktop::Paths Programs() { return {LUMEX_PATH, LUMETRA_KERNEL_PATH, LUMETRA_KCTL_PATH, SENTRAK_PATH}; }

std::string Artifact(const std::string& name) {
    std::filesystem::create_directories(ARTIFACT_DIR);
    return std::string(ARTIFACT_DIR) + "/" + name;
}

TEST(LedWindowOnX11, ShowsTheDrivesOnTopAndLightsTheLedOfAHeldRead) {
    if (!xvfbtest::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
    desktop::LumexDesktop d(Programs());
    std::string error;
    ASSERT_TRUE(d.Start(&error)) << error << "\n" << d.Logs();
    EXPECT_EQ(d.WindowHeight(), 32) << "one row of the LED window";
    EXPECT_GT(d.WindowWidth(), 187) << "rows beside the options and buttons";
    EXPECT_TRUE(d.IsShaped()) << "the skin's mask shapes the window";
    if (d.HasWindowManager()) {
        EXPECT_TRUE(Eventually([&] { return d.IsAbove(); })) << "always on top";
    }

    const int x = desktop::kFirstLedProbeX, y = desktop::kFirstLedProbeY;
    EXPECT_TRUE(Eventually([&] { return desktop::LooksIdle(d.Pixel(x, y)); })) << std::hex << d.Pixel(x, y);
    ASSERT_EQ(d.Kctl({"hold", "C:", "read", "2"}), 0);
    EXPECT_TRUE(Eventually([&] { return desktop::LooksReading(d.Pixel(x, y)); })) << std::hex << d.Pixel(x, y);
    EXPECT_TRUE(d.Screenshot(Artifact("lumex-reading.png")));
    ASSERT_EQ(d.Kctl({"complete", "C:"}), 0);
    EXPECT_TRUE(Eventually([&] { return desktop::LooksIdle(d.Pixel(x, y)); })) << std::hex << d.Pixel(x, y);
}

// The first disk of the simulated machine, whose RETURN STATUS answers
// "threshold exceeded": the service reads its health as 0.
constexpr char kFailingDiskProfile[] = R"json({
  "devices": [{
    "name": "\\Device\\Harddisk0\\DR0",
    "links": ["\\Device\\Harddisk0\\Partition0"],
    "kind": "ata-disk",
    "scsi_address": {"port": 0, "path": 0, "target": 0, "lun": 0},
    "ata": {
      "model": "KORVANE KV7200-500G", "serial": "KV5A09T3X1834", "firmware": "KV04B11",
      "sectors": 976773168,
      "smart": {
        "return_status": "exceeded",
        "attributes": [
          {"id": 5,   "flags": "0x0033", "value": 3,  "worst": 3,  "raw": 4012, "threshold": 36},
          {"id": 9,   "flags": "0x0032", "value": 88, "worst": 88, "raw": 10512},
          {"id": 194, "flags": "0x0022", "value": 36, "worst": 45, "raw": 36}
        ]
      }
    }
  }]
})json";

TEST(LedWindowOnX11, AFailingDriveRaisesTheAlertInTheTrayIcon) {
    if (!xvfbtest::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
    char folder[] = "/tmp/lumex-profile-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string profile = std::string(folder) + "/failing.json";
    std::ofstream(profile) << kFailingDiskProfile;
    desktop::Options options;
    options.tray = true;
    options.devices = profile;
    desktop::LumexDesktop d(Programs(), options);
    std::string error;
    ASSERT_TRUE(d.Start(&error)) << error << "\n" << d.Logs();

    desktop::Placed icon;
    ASSERT_TRUE(Eventually([&] { return d.TrayIcon(&icon); })) << "lumex's icon docks";
    EXPECT_GT(icon.width, 8);
    EXPECT_TRUE(Eventually([&] { return desktop::ShowsWarningBadge(d.Capture(icon.window).get()); }))
        << "the warning icon\n" << d.Logs();
    EXPECT_TRUE(d.Screenshot(Artifact("lumex-alert.png")));
    std::filesystem::remove_all(folder);
}

}  // namespace
