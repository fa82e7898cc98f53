// The text report: its bytes for one drive against a committed file, the
// save through the dialog with the user's formats, and the failures.
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "DetailReport.h"
#include "DialogTestSupport.h"
#include "SMARTDetailDialog.h"
#include "base/clock.h"
#include "base/text.h"
#include "RegionalFormat.h"
#include "registry/registry.h"
#include "scoped_root.h"
#include "ui/save_file_dialog.h"

using namespace dlgtest;

namespace {

const std::string kExpected = std::string(DIALOG_TEST_DATA) + "/report-acme.txt";
constexpr std::u16string_view kStamp = u"Wednesday, December 9, 2026 02:05 PM";

SmartAttribute Attribute(BYTE id, std::u16string_view name, BYTE value, BYTE worst, BYTE threshold) {
    SmartAttribute a;
    a.id = id;
    plat::CopyToField(a.name, kSmartNameChars, name);
    a.value = value;
    a.worst = worst;
    a.threshold = threshold;
    return a;
}

SmartDevice AcmeDisk() {
    SmartDevice d;
    d.deviceNumber = 1;
    plat::CopyToField(d.model, kModelChars, u"ACME Disk 2000");
    plat::CopyToField(d.firmware, kFirmwareChars, u"FW01");
    plat::CopyToField(d.serial, kSerialChars, u"SN0042");
    d.flags = SMART_FLAG_SUPPORTED | SMART_FLAG_TEMPERATURE | SMART_FLAG_START_STOP | SMART_FLAG_READ_ERRORS |
              SMART_FLAG_SEEK_ERRORS | SMART_FLAG_POWER_ON_HOURS;
    SmartCounters& c = d.counters;
    c.powerOnHours = 30;
    c.startStopCycles = 412;
    c.bytesRead = 5ull << 20;
    c.readErrorsCorrected = 3;
    c.temperature = 40;
    d.attributes[0] = Attribute(1, u"Raw Read Error Rate", 100, 99, 6);
    d.attributes[1] = Attribute(5, u"Reallocated", 100, 100, 36);
    d.attributes[2] = Attribute(9, u"Power-On Hours", 99, 99, 0);
    d.attributes[3] = Attribute(194, u"Temperature", 40, 52, 0);
    d.attributes[4] = Attribute(198, u"Uncorrected Sectors", 100, 98, 0);
    d.attributes[5] = Attribute(12, u"Cycles", 100, 100, 20);
    return d;
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class DetailReportTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        setenv("TZ", "UTC", 1);
        tzset();
        m_path = m_root.Dir() + "/report.txt";
        RecordBoxes();
    }
    void TearDown() override {
        plat::ui::SetFileChooser(nullptr);
        DialogTest::TearDown();
    }
    // The user's formats in the registry and the clock at 2026-12-09 14:05:30.
    void EnglishFormatsAtTheMoment() {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, regional::kInternationalKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        for (auto [name, value] : {std::pair{u"sLanguage", u"ENU"}, std::pair{u"sLongDate", u"dddd, MMMM d, yyyy"},
                                   std::pair{u"sTimeFormat", u"h:mm:ss tt"}}) {
            const std::u16string text(value);
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           DWORD((text.size() + 1) * 2));
        }
        RegCloseKey(key);
        m_clock->SetFileTime(plat::UnixSecondsToFileTime(1796825130));
    }
    void ChooseFile(std::optional<std::string> path) {
        plat::ui::SetFileChooser([this, path](const plat::ui::SaveRequest& request) {
            m_request = request;
            return path;
        });
    }

    ScopedRoot m_root;
    plat::ScopedManualClock m_clock;
    std::string m_path;
    std::optional<plat::ui::SaveRequest> m_request;
};

}  // namespace

TEST_F(DetailReportTest, TheReportOfADriveIsByteForByteTheCommittedOne) {
    const std::u16string text = details::ReportText(AcmeDisk(), false, kStamp);
    ASSERT_EQ(details::WriteReportFile(m_path, text), DWORD(ERROR_SUCCESS));
    if (std::getenv("LUMETRA_UPDATE_EXPECTED")) std::ofstream(kExpected, std::ios::binary) << FileBytes(m_path);
    const std::string bytes = FileBytes(m_path);
    EXPECT_EQ(bytes, FileBytes(kExpected)) << "run with LUMETRA_UPDATE_EXPECTED=1 after changing the report's strings";
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE")) << "little-endian byte-order mark";
    EXPECT_NE(text.find(u"Power-on time:\t\t1 day, 6 hours\r\n"), std::u16string::npos) << "first tab doubled";
    EXPECT_EQ(text.find(u"Drive 1"), std::u16string::npos) << "the drive number is left out";
    EXPECT_TRUE(text.ends_with(u"\r\n\r\n" + std::u16string(kStamp)));
}

TEST_F(DetailReportTest, SavingAsksForTheFileAndStampsTheUsersDateAndTime) {
    EnglishFormatsAtTheMoment();
    SmartDevice device = AcmeDisk();
    CSMARTDetailDialog dialog(nullptr, m_settings);
    dialog.SetDevice(&device);
    ASSERT_TRUE(dialog.Open());
    ChooseFile(m_path);
    EXPECT_TRUE(dialog.SaveReport());
    ASSERT_TRUE(m_request);
    EXPECT_EQ(m_request->defaultName, "Lumetra SMART.txt");
    EXPECT_EQ(m_request->defaultExtension, "txt");
    EXPECT_TRUE(m_request->overwritePrompt);
    ASSERT_EQ(m_request->filters.size(), 2u) << "string 204, | separated";
    EXPECT_EQ(m_request->filters[0].second, "*.txt");
    EXPECT_EQ(FileBytes(m_path), FileBytes(kExpected));
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(DetailReportTest, ACancelWritesNothingAndAFailureShowsTheSystemsReason) {
    SmartDevice device = AcmeDisk();
    CSMARTDetailDialog dialog(nullptr, m_settings);
    dialog.SetDevice(&device);
    ASSERT_TRUE(dialog.Open());
    ChooseFile(std::nullopt);
    EXPECT_FALSE(dialog.SaveReport());
    EXPECT_TRUE(m_boxes.empty());

    ChooseFile(m_root.Dir() + "/missing/report.txt");
    EXPECT_FALSE(dialog.SaveReport());
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], u"The report could not be saved.\n\nThe system cannot find the path specified.");
}

TEST_F(DetailReportTest, AFailedWriteIsReportedAndLeavesWhatWasWritten) {
    SmartDevice device = AcmeDisk();
    CSMARTDetailDialog dialog(nullptr, m_settings);
    dialog.SetDevice(&device);
    ASSERT_TRUE(dialog.Open());
    ChooseFile(m_path);
    // Files of this process may not grow past 100 bytes: the write fails
    // part-way with EFBIG instead of a signal.
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    const BOOL saved_report = dialog.SaveReport();
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(saved_report);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0],
              u"The report could not be saved.\n\nThe file size exceeds the limit allowed and cannot be saved.");
    EXPECT_EQ(FileBytes(m_path), FileBytes(kExpected).substr(0, 100)) << "the part written stays";
}
