// Figures for the kernel emulation:
//  1. read requests per second through a volume's stack, without and with a
//     pass-through filter above it, and their ratio;
//  2. the round trip of a control request from another user process
//     through the host's socket (request packet and fast I/O paths).
//
//   kernel_bench [--requests N] [--round-trips N]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kernel/client/device_files.h"
#include "kernel/host/kernel_server.h"
#include "kernel/io_requests.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr ULONG kBenchControl = CTL_CODE(0x8044, 0x800, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr ULONG kBenchFastControl = CTL_CODE(0x8044, 0x801, METHOD_BUFFERED, FILE_ANY_ACCESS);

PDEVICE_OBJECT g_lower;

NTSTATUS PassThrough(PDEVICE_OBJECT, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(g_lower, irp);
}

NTSTATUS InitFilter(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    for (auto& f : driver->MajorFunction) f = PassThrough;
    return STATUS_SUCCESS;
}

NTSTATUS ControlDispatch(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_DEVICE_CONTROL ? 8 : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

BOOLEAN FastControl(PFILE_OBJECT, BOOLEAN, PVOID, ULONG, PVOID, ULONG, ULONG code, PIO_STATUS_BLOCK iosb,
                    PDEVICE_OBJECT) {
    if (code != kBenchFastControl) return FALSE;
    iosb->Status = STATUS_SUCCESS;
    iosb->Information = 8;
    return TRUE;
}

FAST_IO_DISPATCH g_fastIo;

NTSTATUS InitControl(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    for (auto& f : driver->MajorFunction) f = ControlDispatch;
    g_fastIo.SizeOfFastIoDispatch = sizeof(g_fastIo);
    g_fastIo.FastIoDeviceControl = FastControl;
    driver->FastIoDispatch = &g_fastIo;
    UNICODE_STRING name, link;
    RtlInitUnicodeString(&name, u"\\Device\\BenchControl");
    RtlInitUnicodeString(&link, u"\\DosDevices\\BenchControl");
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status = IoCreateDevice(driver, 0, &name, 0x8044, 0, FALSE, &device);
    if (NT_SUCCESS(status)) status = IoCreateSymbolicLink(&link, &name);
    if (NT_SUCCESS(status)) device->Flags &= ~DO_DEVICE_INITIALIZING;
    return status;
}

kern::sim::MachineSpec Scenario() {
    kern::sim::MachineSpec spec;
    std::string error;
    kern::sim::ParseScenario(R"({"modules": [], "file_systems": [{"name": "Ntfs"}],
        "storage": [{"name": "\\Device\\HarddiskVolume1", "volume": {"file_system": "Ntfs"}}],
        "links": {"\\??\\C:": "\\Device\\HarddiskVolume1"}})", &spec, &error);
    return spec;
}

double ReadsPerSecond(PFILE_OBJECT file, int requests) {
    const kern::FileRequest read{IRP_MJ_READ, 0, 0, 4096, {}};
    const auto start = Clock::now();
    for (int i = 0; i < requests; ++i) kern::SendFileRequest(file, read);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return requests / seconds;
}

void StackFigures(int requests) {
    kern::sim::Machine machine;
    std::string error;
    if (!NT_SUCCESS(machine.Build(Scenario(), "", &error))) {
        std::fprintf(stderr, "kernel_bench: %s\n", error.c_str());
        std::exit(1);
    }
    PFILE_OBJECT file = nullptr;
    kern::OpenFile(u"\\??\\C:\\bench.dat", GENERIC_READ, KernelMode, &file);
    PDRIVER_OBJECT driver = nullptr;
    kern::CreateDriver(u"\\Driver\\BenchFilter", InitFilter, &driver);
    PDEVICE_OBJECT filter = nullptr;
    IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_DISK_FILE_SYSTEM, 0, FALSE, &filter);
    PDEVICE_OBJECT volume = machine.StorageOfLetter(u'C')->Device()->Vpb->DeviceObject;
    // Alternate the two set-ups and keep each one's best round, so warm-up
    // and noise do not decide the ratio.
    double bare = 0, filtered = 0;
    for (int round = 0; round < 3; ++round) {
        bare = std::max(bare, ReadsPerSecond(file, requests));
        g_lower = IoAttachDeviceToDeviceStack(filter, volume);
        filtered = std::max(filtered, ReadsPerSecond(file, requests));
        IoDetachDevice(volume);
    }
    kern::CloseFile(file);

    std::printf("volume stack, best of 3 rounds of %d reads:\n", requests);
    std::printf("  without filter            %12.0f requests/s\n", bare);
    std::printf("  with pass-through filter  %12.0f requests/s\n", filtered);
    std::printf("  ratio (with / without)    %12.3f\n", filtered / bare);
}

// The client side, run in a child process.
int ClientMain(int round_trips) {
    HANDLE device = CreateFileW(u"\\\\.\\BenchControl", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return 1;
    for (ULONG code : {kBenchControl, kBenchFastControl}) {
        std::vector<double> micros;
        BYTE out[8];
        DWORD returned = 0;
        for (int i = 0; i < round_trips; ++i) {
            const auto start = Clock::now();
            DeviceIoControl(device, code, nullptr, 0, out, sizeof(out), &returned, nullptr);
            micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        std::sort(micros.begin(), micros.end());
        std::printf("control round trip from a client process (%s), %d requests:\n",
                    code == kBenchControl ? "request packet" : "fast I/O", round_trips);
        std::printf("  median %8.1f us   p99 %8.1f us   max %8.1f us\n", micros[micros.size() / 2],
                    micros[micros.size() * 99 / 100], micros.back());
    }
    CloseHandle(device);
    return 0;
}

void RoundTripFigures(const char* self, int round_trips) {
    kern::sim::Machine machine;
    std::string error;
    machine.Build(Scenario(), "", &error);
    PDRIVER_OBJECT driver = nullptr;
    kern::CreateDriver(u"\\Driver\\BenchControl", InitControl, &driver);
    const std::string path = "/tmp/lumetra-kernel-bench-" + std::to_string(getpid()) + ".sock";
    khost::KernelServer server(&machine);
    if (!server.Listen(path, &error)) {
        std::fprintf(stderr, "kernel_bench: %s\n", error.c_str());
        return;
    }
    server.Start();
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        setenv("LUMETRA_KERNEL_SOCKET", path.c_str(), 1);
        const std::string count = std::to_string(round_trips);
        execl(self, self, "--client", count.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    server.Stop();
}

}  // namespace

int main(int argc, char** argv) {
    int requests = 200000, round_trips = 20000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--client") return ClientMain(std::atoi(argv[i + 1]));
        if (arg == "--requests") requests = std::max(10, std::atoi(argv[i + 1]));
        if (arg == "--round-trips") round_trips = std::max(10, std::atoi(argv[i + 1]));
    }
    StackFigures(requests);
    RoundTripFigures(argv[0], round_trips);
    return 0;
}
