// Network drive letters learnt from the files opened through the
// redirector: records kept, replaced with their counters, and requests
// without a letter counted in the catch-all.
#include "BlinkorHarness.h"

namespace blinkor::test {
namespace {

using kern::sim::RequestClass;

class BlinkorNetLetters : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        Build(StandardScenario());
        m_changes = Watch(IOCTL_LED_SET_CHANGE_EVENT);
    }
    std::u16string NameOf(WCHAR letter) {
        const Drive* d = FindDrive(letter);
        return d ? d->name : u"(none)";
    }
    ULONG m_changes = 0;
};

constexpr DWORD kZ = 1u << 25;

TEST_F(BlinkorNetLetters, ACreateKeepsOrReplacesTheLetterRecord) {
    struct Step {
        const char* name;
        const char16_t* kept;  // the name the record holds afterwards
        int changes;           // change events so far
    };
    const Step steps[] = {
        {"\\;Z:0000000000003e7\\server\\share\\file", u"\\;Z:0000000000003e7\\server\\share\\file", 1},
        {"\\;Z:0000000000003e7\\server\\share\\file\\deeper", u"\\;Z:0000000000003e7\\server\\share\\file", 1},
        {"\\;z:0000000000003e7\\server\\other", u"\\;z:0000000000003e7\\server\\other", 2},
        {"\\server\\share\\unc", u"\\;z:0000000000003e7\\server\\other", 2},
        {"\\;Y:\\host\\x", u"\\;z:0000000000003e7\\server\\other", 3},
    };
    for (const auto& s : steps) {
        ASSERT_EQ(Run(std::string("netcreate ") + s.name), STATUS_SUCCESS) << s.name;
        EXPECT_EQ(NameOf(u'Z'), s.kept) << s.name;
        EXPECT_EQ(m_client->Signals(m_changes), s.changes) << s.name;
    }
    EXPECT_NE(FindDrive(u'Y'), nullptr);
    EXPECT_NE(FindDrive(LED_LETTER_CATCH_ALL), nullptr);
    EXPECT_EQ(LiveBlocks("LMvn"), 3u);  // Z, Y and the catch-all
}

TEST_F(BlinkorNetLetters, AReplacedRecordKeepsItsCounters) {
    ASSERT_EQ(Run("hold Z: read 2"), STATUS_SUCCESS);
    EXPECT_EQ(Activity().ReadMask, kZ);
    ASSERT_EQ(Run("netcreate \\;Z:0000000000003e7\\elsewhere\\f"), STATUS_SUCCESS);
    EXPECT_EQ(NameOf(u'Z'), u"\\;Z:0000000000003e7\\elsewhere\\f");
    EXPECT_EQ(Activity().ReadMask, kZ);
    ASSERT_EQ(Run("complete Z: read"), STATUS_SUCCESS);
    EXPECT_EQ(Activity().ReadMask, 0u);
    ASSERT_EQ(Run("hold Z: write 1"), STATUS_SUCCESS);  // counts from 0 again, not from below it
    EXPECT_EQ(Activity().WriteMask, kZ);
    ASSERT_EQ(Run("complete Z: write"), STATUS_SUCCESS);
}

TEST_F(BlinkorNetLetters, AFailedReplacementKeepsTheOldRecord) {
    ASSERT_EQ(Run("netcreate \\;Z:\\server\\share\\a"), STATUS_SUCCESS);
    kern::InjectPoolFailures(POOL_TAG("LMvn"), 1);
    ASSERT_EQ(Run("netcreate \\;Z:\\other\\b"), STATUS_SUCCESS);
    EXPECT_EQ(NameOf(u'Z'), u"\\;Z:\\server\\share\\a");
    EXPECT_EQ(m_client->Signals(m_changes), 1);
}

TEST_F(BlinkorNetLetters, RequestsWithoutALetterCountInTheCatchAll) {
    PFILE_OBJECT file = nullptr;
    ASSERT_EQ(kern::OpenFile(u"\\Device\\LanmanRedirector\\server\\share\\f", GENERIC_READ, KernelMode, &file),
              STATUS_SUCCESS);
    auto& engine = Machine().FilesOfLetter(u'Z')->Engine();
    engine.Hold(RequestClass::Write, 1);
    EXPECT_EQ(kern::StartFileRequest(file, {IRP_MJ_FLUSH_BUFFERS, 0, 0, 16, {}}), STATUS_PENDING);
    EXPECT_EQ(Activity().WriteMask, 1u << 31);
    EXPECT_EQ(FindDrive(u'Z'), nullptr);  // no record for a UNC name
    engine.CompleteHeld(RequestClass::Other, STATUS_SUCCESS);
    EXPECT_EQ(Activity().WriteMask, 0u);
    kern::CloseFile(file);
}

}  // namespace
}  // namespace blinkor::test
