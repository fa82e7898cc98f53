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

}  // namespace
}  // namespace blinkor::test
