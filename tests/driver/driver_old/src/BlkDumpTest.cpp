// The state dump: piece boundaries on short buffers and the control
// extension's fields.
#include "BlinkorHarness.h"

#include "BlkDumpLayout.h"

namespace blinkor::test {
namespace {

class BlinkorDump : public DriverTest {};

TEST_F(BlinkorDump, AShortBufferEndsOnAPieceBoundary) {
    Build(StandardScenario());
    struct Case {
        ULONG room;
        NTSTATUS status;
        ULONG_PTR written;
    };
    const Case cases[] = {
        {dump::kControlSize - 1, STATUS_BUFFER_OVERFLOW, 0},
        {dump::kControlSize, STATUS_BUFFER_OVERFLOW, dump::kControlSize},
        {dump::kControlSize + dump::kFsFilterSize - 1, STATUS_BUFFER_OVERFLOW, dump::kControlSize},
        {dump::kControlSize + dump::kFsFilterSize + 35, STATUS_BUFFER_OVERFLOW,
         dump::kControlSize + dump::kFsFilterSize},
        {dump::kControlSize + dump::kFsFilterSize + 36, STATUS_BUFFER_OVERFLOW,
         dump::kControlSize + dump::kFsFilterSize + 36},  // the redirector's catch-all record
    };
    for (const auto& c : cases) {
        std::vector<BYTE> out(c.room + 4, 0xCC);
        const auto result = Control(m_control, IOCTL_LED_DUMP_STATE, nullptr, 0, out.data(), c.room);
        EXPECT_EQ(result.status, c.status) << c.room;
        EXPECT_EQ(result.information, c.written) << c.room;
        EXPECT_EQ(out[c.room], 0xCC) << c.room;
    }
    const TreeCounts counts = CountFilters();
    EXPECT_EQ(counts.file_systems, 3);
    EXPECT_EQ(counts.volumes, 5);
}

TEST_F(BlinkorDump, TheControlExtensionShowsOpensAndRegistrations) {
    Build(StandardScenario());
    Open();
    ASSERT_EQ(Register(m_control, IOCTL_LED_SET_CHANGE_EVENT, m_client->NewEvent()), STATUS_SUCCESS);
    std::vector<BYTE> out(dump::kControlSize);
    Control(m_control, IOCTL_LED_DUMP_STATE, nullptr, 0, out.data(), ULONG(out.size()));
    const auto u64 = [&](std::size_t at) {
        ULONGLONG v;
        std::memcpy(&v, out.data() + at, 8);
        return v;
    };
    LONG open_count = 0;
    std::memcpy(&open_count, out.data() + dump::control::kOpenCount, 4);
    EXPECT_NE(u64(dump::control::kDevice), 0u);
    EXPECT_EQ(std::memcmp(out.data() + dump::control::kTag, "LMCD", 4), 0);
    EXPECT_EQ(u64(dump::control::kLower), 0u);
    EXPECT_NE(u64(dump::control::kFsHead), 0u);
    EXPECT_NE(u64(dump::control::kChangeEvent), 0u);
    EXPECT_EQ(u64(dump::control::kActivityEvent), 0u);
    EXPECT_EQ(u64(dump::control::kFirstOpen), reinterpret_cast<ULONG_PTR>(m_control));
    EXPECT_EQ(open_count, 2);
}

}  // namespace
}  // namespace blinkor::test
