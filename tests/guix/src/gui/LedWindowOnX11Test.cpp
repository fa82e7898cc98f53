// The LED window as a person sees it on an X11 desktop: lumex with
// lumetra-kernel and sentrak on their simulated defaults, under openbox on a
// private Xvfb. Its shaped window stays on top; a read request held on C:
// lights C:'s LED in the read look, and completing it turns the LED off. A
// screenshot of the desktop is kept in build/artifacts/lumex.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "LumexDesktop.h"
#include "xvfb_support.h"

namespace {

desktop::Paths Programs() { return {LUMEX_PATH, LUMETRA_KERNEL_PATH, LUMETRA_KCTL_PATH, SENTRAK_PATH}; }

// Waits (real time, at most 10 s: a loaded machine) until `done` holds.
template <typename Done>
bool Eventually(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

std::string Logs(const desktop::LumexDesktop& d) {
    std::string all;
    for (const char* name : {"kernel.log", "sentrak.log", "lumex.log"}) {
        std::ifstream in(d.Root() + "/" + name);
        std::stringstream text;
        text << in.rdbuf();
        all += std::string("--- ") + name + "\n" + text.str();
    }
    return all;
}

TEST(LedWindowOnX11, ShowsTheDrivesOnTopAndLightsTheLedOfAHeldRead) {
    if (!xvfbtest::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
    desktop::LumexDesktop d(Programs());
    std::string error;
    ASSERT_TRUE(d.Start(&error)) << error << "\n" << Logs(d);
    EXPECT_EQ(d.WindowHeight(), 32) << "one row of the LED window";
    EXPECT_GT(d.WindowWidth(), 187) << "rows beside the options and buttons";
    if (d.HasWindowManager()) {
        EXPECT_TRUE(Eventually([&] { return d.IsAbove(); })) << "always on top";
    }

    const int x = desktop::kFirstLedProbeX, y = desktop::kFirstLedProbeY;
    EXPECT_TRUE(Eventually([&] { return desktop::LooksIdle(d.Pixel(x, y)); })) << std::hex << d.Pixel(x, y);
    ASSERT_EQ(d.Kctl({"hold", "C:", "read", "2"}), 0);
    EXPECT_TRUE(Eventually([&] { return desktop::LooksReading(d.Pixel(x, y)); })) << std::hex << d.Pixel(x, y);
    std::filesystem::create_directories(ARTIFACT_DIR);
    EXPECT_TRUE(d.Screenshot(std::string(ARTIFACT_DIR) + "/lumex-reading.png"));
    ASSERT_EQ(d.Kctl({"complete", "C:"}), 0);
    EXPECT_TRUE(Eventually([&] { return desktop::LooksIdle(d.Pixel(x, y)); })) << std::hex << d.Pixel(x, y);
}

}  // namespace
