// The activity driver's drive list as its readers take it apart: records
// whose name lengths run past the answer or wrap, labels without a
// terminator, answers cut inside a record; and every answer as
// lumetra-kctl renders it. A delivered record and its name lie inside the
// answer.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "blinkor/LedIoctl.h"
#include "led_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    blinkor::ForEachDriveRecord(data, size, [&](const DRIVE_RECORD& record, const BYTE* name) {
        if (name < data || name + record.NameLength > data + size) std::abort();
    });
    const std::vector<std::uint8_t> answer(data, data + size);
    for (std::uint32_t code : {kctl::kGetVersion, kctl::kDumpState, kctl::kGetDrives, kctl::kGetActivity})
        kctl::Decode(code, answer);
    return 0;
}
