// lumetra-kctl: drives the kernel host's simulated machine and talks to a
// driver's control device from its own process.
//
//   lumetra-kctl MACHINE-COMMAND...        (mount C:, hold C: read 2, drives, ...)
//   lumetra-kctl ioctl NAME CODE [--in HEX] [--out N] [--event WAIT_MS]
//   lumetra-kctl drivetype X: | freespace X: | mountpoint X: | eject X:
//   lumetra-kctl help | --help             the usage; with a running host also
//                                          the machine commands it knows
//
// Exit status: 0 done, 1 the command failed or no kernel host answers,
// 2 bad command line. Errors go to standard error.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/format.h"
#include "base/last_error.h"
#include "base/ntstatus.h"
#include "base/sync.h"
#include "base/text.h"
#include "kernel/client/device_files.h"
#include "led_records.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: lumetra-kctl MACHINE-COMMAND...\n"
    "       lumetra-kctl ioctl NAME CODE [--in HEX] [--out N] [--event WAIT_MS]\n"
    "       lumetra-kctl drivetype X: | freespace X: | mountpoint X: | eject X:\n"
    "       lumetra-kctl help | --help\n"
    "\n"
    "MACHINE-COMMAND goes to the kernel host (lumetra-kernel) and acts on its\n"
    "simulated machine: mount C:, hold C: read 2, complete C:, drives, ...;\n"
    "help lists them all while a host runs. ioctl sends the control CODE to the\n"
    "device \\\\.\\NAME: --in the input bytes as hex, --out the output size,\n"
    "--event a fresh event of this process as input, waited for WAIT_MS.\n"
    "The host's socket is $LUMETRA_KERNEL_SOCKET, or kernel.sock below the\n"
    "run directory.\n"
    "Exit status: 0 done, 1 the command failed or no kernel host answers,\n"
    "2 bad command line.\n";

int Usage(const std::string& complaint) {
    std::fprintf(stderr, "lumetra-kctl: %s\n%s", complaint.c_str(), kUsage);
    return kExitUsage;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

// The usage, and the machine commands when a host answers.
int Help() {
    std::fputs(kUsage, stdout);
    NTSTATUS status = STATUS_SUCCESS;
    std::string text;
    if (kclient::RunMachineCommand({"help"}, &status, &text) && NT_SUCCESS(status))
        std::printf("\nMachine commands of the running kernel host:\n%s", text.c_str());
    else
        std::fputs("\n(no kernel host answers: start lumetra-kernel to list its machine commands)\n", stdout);
    return 0;
}

constexpr DWORD kLockVolume = 0x00090018, kDismountVolume = 0x00090020;
constexpr DWORD kMediaRemoval = 0x002D4804, kEjectMedia = 0x002D4808;

bool ParseHex(const std::string& text, std::vector<std::uint8_t>* bytes) {
    if (text.size() % 2) return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = text.substr(i, 2);
        const unsigned long v = std::strtoul(pair.c_str(), &end, 16);
        if (*end) return false;
        bytes->push_back(std::uint8_t(v));
    }
    return true;
}

HANDLE OpenDevice(const std::string& name) {
    const std::u16string path = u"\\\\.\\" + plat::Utf8ToUtf16(name);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) std::fprintf(stderr, "lumetra-kctl: cannot open \\\\.\\%s (error %u)\n", name.c_str(), GetLastError());
    return h;
}

int Ioctl(const std::vector<std::string>& args) {
    std::uint32_t code = 0;
    if (args.size() < 3 || !kctl::ParseCode(args[2], &code)) return Usage("ioctl needs a device NAME and a CODE");
    std::vector<std::uint8_t> input;
    DWORD out_size = 4096;
    long wait_ms = -1;
    for (std::size_t i = 3; i < args.size(); i += 2) {
        if (i + 1 == args.size()) return Usage("option " + args[i] + " needs a value");
        if (args[i] == "--in" && ParseHex(args[i + 1], &input)) continue;
        if (args[i] == "--out") { out_size = DWORD(std::strtoul(args[i + 1].c_str(), nullptr, 0)); continue; }
        if (args[i] == "--event") { wait_ms = std::strtol(args[i + 1].c_str(), nullptr, 0); continue; }
        return Usage("bad option " + args[i] + " " + args[i + 1]);
    }
    HANDLE device = OpenDevice(args[1]);
    if (device == INVALID_HANDLE_VALUE) return kExitFailed;
    HANDLE event = nullptr;
    if (wait_ms >= 0) {  // the input becomes a fresh event of this process
        event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        const auto value = std::uint32_t(reinterpret_cast<std::uintptr_t>(event));
        input.assign({std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16), std::uint8_t(value >> 24)});
    }
    std::vector<std::uint8_t> output(out_size);
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(device, code, input.empty() ? nullptr : input.data(), DWORD(input.size()),
                                    output.empty() ? nullptr : output.data(), out_size, &returned, nullptr);
    const DWORD error = ok ? 0 : GetLastError();
    output.resize(returned);
    const char* fast = kclient::LastControlWasFastIo() ? ", fast I/O" : "";
    if (ok) std::printf("succeeded (error 0), %u bytes%s\n", returned, fast);
    else std::fprintf(stderr, "lumetra-kctl: ioctl %s %s failed (error %u), %u bytes%s\n", args[1].c_str(),
                      args[2].c_str(), error, returned, fast);
    std::printf("%s%s", kctl::HexDump(output).c_str(), kctl::Decode(code, output).c_str());
    if (event) {
        const DWORD wait = WaitForSingleObject(event, DWORD(wait_ms));
        std::printf("event %s\n", wait == WAIT_OBJECT_0 ? "signalled" : "not signalled");
    }
    CloseHandle(device);
    return ok ? 0 : kExitFailed;
}

int DriveCommand(const std::string& verb, const std::string& drive) {
    const std::u16string root = plat::Utf8ToUtf16(drive.substr(0, 1)) + u":\\";
    if (verb == "drivetype") {
        static const char* const kNames[] = {"unknown", "no root directory", "removable", "fixed", "remote", "cdrom", "ramdisk"};
        const UINT type = GetDriveTypeW(root.c_str());
        std::printf("%u %s\n", type, type < 7 ? kNames[type] : "?");
        return 0;
    }
    if (verb == "freespace") {
        ULARGE_INTEGER caller{}, total{}, free{};
        if (!GetDiskFreeSpaceExW(root.c_str(), &caller, &total, &free)) {
            std::fprintf(stderr, "lumetra-kctl: freespace %s failed (error %u)\n", drive.c_str(), GetLastError());
            return kExitFailed;
        }
        std::printf("total %llu free %llu\n", static_cast<unsigned long long>(total.QuadPart),
                    static_cast<unsigned long long>(free.QuadPart));
        return 0;
    }
    if (verb == "mountpoint") {
        std::string path;
        if (!kclient::GetDriveMountPoint(root.c_str(), &path)) {
            std::fprintf(stderr, "lumetra-kctl: mountpoint %s failed (error %u)\n", drive.c_str(), GetLastError());
            return kExitFailed;
        }
        std::printf("%s\n", path.c_str());
        return 0;
    }
    // eject: what a user program does to eject a volume's media.
    HANDLE volume = OpenDevice(drive.substr(0, 1) + ":");
    if (volume == INVALID_HANDLE_VALUE) return kExitFailed;
    BOOL ok = TRUE;
    for (DWORD code : {kLockVolume, kDismountVolume, kMediaRemoval, kEjectMedia}) {
        std::uint8_t prevent = 0;
        DWORD returned = 0;
        ok = DeviceIoControl(volume, code, code == kMediaRemoval ? &prevent : nullptr, code == kMediaRemoval ? 1 : 0,
                             nullptr, 0, &returned, nullptr);
        if (!ok) {
            std::fprintf(stderr, "lumetra-kctl: eject %s: 0x%08X failed (error %u)\n", drive.c_str(), code,
                         GetLastError());
            break;
        }
        std::printf("0x%08X: ok (error 0)\n", code);
    }
    CloseHandle(volume);
    return ok ? 0 : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "help" || std::any_of(args.begin(), args.end(), IsHelp)) return Help();
    if (args[0].starts_with("-")) return Usage("unknown option " + args[0]);
    if (args[0] == "ioctl") return Ioctl(args);
    if ((args[0] == "drivetype" || args[0] == "freespace" || args[0] == "mountpoint" || args[0] == "eject") &&
        args.size() == 2)
        return DriveCommand(args[0], args[1]);
    NTSTATUS status = STATUS_SUCCESS;
    std::string text;
    if (!kclient::RunMachineCommand(args, &status, &text)) {
        std::fprintf(stderr, "lumetra-kctl: no kernel host answers (is lumetra-kernel running?)\n");
        return kExitFailed;
    }
    // The host's answer to a command it refused is the error.
    std::fputs(text.c_str(), NT_SUCCESS(status) ? stdout : stderr);
    return NT_SUCCESS(status) ? 0 : kExitFailed;
}
