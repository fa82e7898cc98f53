// Simulated device requests per second through the native calls: IDENTIFY
// and READ DATA on an ATA disk, LOG SENSE on a SCSI disk of the built-in
// demo machine. Prints one line per request kind.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "base/text.h"
#include "device/native_io.h"
#include "device/scsi_ioctl.h"
#include "device/sim_machine.h"
#include "device/smart_ioctl.h"

namespace {

HANDLE OpenDevice(const char* name) {
    const std::u16string wide = plat::Utf8ToUtf16(name);
    UNICODE_STRING us;
    RtlInitUnicodeString(&us, wide.c_str());
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &us, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    IO_STATUS_BLOCK iosb;
    HANDLE h = nullptr;
    NtOpenFile(&h, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &oa, &iosb, FILE_SHARE_READ | FILE_SHARE_WRITE,
               FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE);
    return h;
}

// Runs `request` for about half a second and prints the rate.
void Measure(const char* what, const std::function<bool()>& request) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    long count = 0;
    bool ok = true;
    while (Clock::now() - start < std::chrono::milliseconds(500)) {
        for (int i = 0; i < 100; ++i) ok = request() && ok;
        count += 100;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-28s %10.0f requests/s  %6.2f us/request%s\n", what, count / seconds, 1e6 * seconds / count,
                ok ? "" : "  (some failed)");
}

bool SmartReceive(HANDLE h, BYTE command, BYTE feature) {
    SENDCMDINPARAMS in{};
    in.cBufferSize = 512;
    in.irDriveRegs = IDEREGS{feature, 1, 1, SMART_CYL_LOW, SMART_CYL_HI, 0xA0, command, 0};
    static std::vector<BYTE> out(kSendCmdOutHeaderSize + 512);
    IO_STATUS_BLOCK iosb;
    const NTSTATUS s = NtDeviceIoControlFile(h, nullptr, nullptr, nullptr, &iosb, SMART_RCV_DRIVE_DATA, &in, sizeof in,
                                             out.data(), static_cast<ULONG>(out.size()));
    return NT_SUCCESS(s) && out[4] == SMART_NO_ERROR;
}

bool LogSense(HANDLE h, BYTE page) {
    static std::vector<BYTE> block(sizeof(SCSI_PASS_THROUGH_DIRECT) + 24);
    static BYTE data[200];
    SCSI_PASS_THROUGH_DIRECT s{};
    s.Length = sizeof s;
    s.CdbLength = 10;
    s.SenseInfoLength = 18;
    s.SenseInfoOffset = sizeof s;
    s.DataIn = SCSI_IOCTL_DATA_IN;
    s.DataTransferLength = sizeof data;
    s.DataBuffer = data;
    s.TimeOutValue = 50000;
    const BYTE cdb[10] = {0x4D, 0, static_cast<BYTE>(0x40 | page), 0, 0, 0, 0, 0, sizeof data, 0};
    std::memcpy(s.Cdb, cdb, sizeof cdb);
    std::memcpy(block.data(), &s, sizeof s);
    IO_STATUS_BLOCK iosb;
    const NTSTATUS status = NtDeviceIoControlFile(h, nullptr, nullptr, nullptr, &iosb, IOCTL_SCSI_PASS_THROUGH_DIRECT,
                                                  block.data(), sizeof s, block.data(), static_cast<ULONG>(block.size()));
    return NT_SUCCESS(status) && block[2] == 0;  // ScsiStatus GOOD
}

}  // namespace

int main() {
    plat::device::ScopedSimulation sim;  // the built-in demo machine
    HANDLE ata = OpenDevice("\\Device\\Harddisk0\\Partition0");
    HANDLE scsi = OpenDevice("\\Device\\Harddisk2\\Partition0");
    if (!ata || !scsi) {
        std::fprintf(stderr, "bench_device: the demo drives cannot be opened\n");
        return 1;
    }
    std::printf("simulated requests through NtDeviceIoControlFile (demo machine)\n");
    Measure("ATA IDENTIFY DEVICE", [&] { return SmartReceive(ata, ID_CMD, 0); });
    Measure("ATA S.M.A.R.T. READ DATA", [&] { return SmartReceive(ata, SMART_CMD, READ_ATTRIBUTES); });
    Measure("SCSI LOG SENSE page 0x2F", [&] { return LogSense(scsi, 0x2F); });
    Measure("SCSI LOG SENSE page 0x10", [&] { return LogSense(scsi, 0x10); });
    Measure("open + close", [] {
        HANDLE h = OpenDevice("\\Device\\Harddisk1\\Partition0");
        return h && NtClose(h) == STATUS_SUCCESS;
    });
    NtClose(ata);
    NtClose(scsi);
    return 0;
}
