// A short self-test followed to its end through the running service on a
// simulated drive: the dialog starts it, polls it on this process's clock
// while the service's drive runs it on real time, and shows the result.
// The dialog's picture at the end is kept as a test artefact.
#include <chrono>
#include <fstream>
#include <thread>

#include "DialogTestSupport.h"
#include "SMARTSelfTestDialog.h"
#include "SentrakProcess.h"
#include "SmartHandler.h"
#include "base/clock.h"
#include "skin/SkinLabel.h"
#include "ui/image_file.h"

using namespace dlgtest;

namespace {

// One ATA disk whose short self-test takes two seconds and passes.
constexpr const char* kProfile = R"({"devices": [{"name": "\\Device\\Harddisk0\\DR0",
    "links": ["\\Device\\Harddisk0\\Partition0"], "kind": "ata-disk",
    "scsi_address": {"port": 0, "path": 0, "target": 0, "lun": 0},
    "behaviour": {"selftests": {"short": {"seconds": 2, "result": 0}}},
    "ata": {"model": "ACME Disk 2000", "serial": "SN0042", "firmware": "FW01",
      "smart": {"attributes": [{"id": 9, "value": 90, "worst": 90, "raw": 1234, "threshold": 0}]}}}]})";

class SelfTestThroughServiceTest : public DialogTest {
protected:
    plat::ScopedManualClock m_clock;
};

}  // namespace

TEST_F(SelfTestThroughServiceTest, AShortTestRunsToItsResult) {
    sentraktest::SentrakProcess service;
    const auto profile = service.Root() / "profile.json";
    std::ofstream(profile) << kProfile;
    service.SetDevices(profile.string());
    ASSERT_TRUE(service.Start()) << service.Errors();

    CSmartHandler client(nullptr, service.Port());
    client.Initialize();
    ASSERT_EQ(client.GetDeviceCount(), 1);
    {
        OwnerWindow owner;
        CSMARTSelfTestDialog dialog(&owner, m_settings, client);
        dialog.SetDevice(client.GetDevice(0));
        dialog.SetDriveIndex(0);
        ASSERT_TRUE(dialog.Open()) << "the service started the test";

        bool sawRunning = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (dialog.Status() != 0 && std::chrono::steady_clock::now() < deadline) {
            sawRunning |= dialog.Status() == 15;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            m_clock->Advance(CSMARTSelfTestDialog::kShortPollMs);
            Pump();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Pump();
        EXPECT_TRUE(sawRunning);
        EXPECT_EQ(dialog.Status(), 0) << "completed without error";
        EXPECT_EQ(dialog.Progress(), 100);
        EXPECT_EQ(dialog.FindLabel(u"SMART_SELF_TEST_RESULT_LABEL_STATUS")->GetText(),
                  u"Result: Completed without error");
        EXPECT_EQ(dialog.FindLabel(u"TEXT_BUTTON_CANCEL")->GetText(), u"Close");
        EXPECT_FALSE(dialog.Animation().IsPlaying());

        const auto picture = Headless().Capture(dialog.m_hWnd);
        ASSERT_TRUE(picture);
        const std::string artefact = std::string(DIALOG_ARTEFACTS) + "/selftest-completed.png";
        EXPECT_TRUE(plat::ui::WritePng(artefact, *picture)) << artefact;
        // The filled bar: its last pixel shows the filled image, not the empty one.
        EXPECT_NE(uitest::Pixel(*picture, 55 + 195, 120), uitest::Pixel(*picture, 55 + 195, 112));
    }
    EXPECT_EQ(service.Stop(), 0);
}
