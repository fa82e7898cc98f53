// The driver in the kernel host process (lumetra-kernel), reached from user
// mode: this test process and lumetra-kctl processes are the clients.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/last_error.h"
#include "base/ntstatus.h"
#include "base/sync.h"
#include "base/win_errors.h"
#include "blinkor/LedIoctl.h"
#include "kernel/client/device_files.h"

extern char** environ;

namespace blinkor::test {
namespace {

// A child process whose standard output (with `errors_too`, its standard
// error as well) the test reads line by line.
class Child {
public:
    explicit Child(const std::vector<std::string>& argv, bool errors_too = false) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        if (errors_too) posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ), 0) << argv[0];
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_out = ::fdopen(fds[0], "r");
    }
    ~Child() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            Wait();
        }
        if (m_out) std::fclose(m_out);
    }
    // The next line of output; empty at the end.
    std::string ReadLine() {
        char line[4096];
        return std::fgets(line, sizeof line, m_out) ? line : "";
    }
    int Wait() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return status;
    }
    void Kill() { ::kill(m_pid, SIGKILL); }

private:
    pid_t m_pid = -1;
    FILE* m_out = nullptr;
};

class BlinkorEndToEnd : public ::testing::Test {
protected:
    // lumetra-kernel's own machine: disks C: and D:, a CD-ROM, a floppy and
    // the network letter Z:, with blinkor loaded.
    void SetUp() override {
        m_dir = ::testing::TempDir() + "blinkor-e2e-" + std::to_string(::getpid());
        std::filesystem::create_directories(m_dir);
        const std::string socket = m_dir + "/kernel.sock";
        ::setenv("LUMETRA_KERNEL_SOCKET", socket.c_str(), 1);
        m_host = std::make_unique<Child>(
            std::vector<std::string>{LUMETRA_KERNEL_PATH, "--socket", socket, "--driver-dir", BLINKOR_DRIVER_DIR});
        ASSERT_NE(m_host->ReadLine().find("ready"), std::string::npos);
    }
    void TearDown() override {
        m_host.reset();
        ::unsetenv("LUMETRA_KERNEL_SOCKET");
        std::filesystem::remove_all(m_dir);
    }

    static HANDLE OpenBlinkor() {
        return CreateFileW(kControlDevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }
    static BOOL Ioctl(HANDLE device, DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
                      DWORD* returned) {
        return DeviceIoControl(device, code, const_cast<void*>(in), in_size, out, out_size, returned, nullptr);
    }
    static BOOL Register(HANDLE device, DWORD code, HANDLE event) {
        const auto value = ULONG(reinterpret_cast<ULONG_PTR>(event));
        DWORD returned = 0;
        return Ioctl(device, code, &value, sizeof value, nullptr, 0, &returned);
    }
    // Opens the control device and registers a new event of this process in
    // the slot of `code`.
    static HANDLE OpenRegistered(DWORD code, HANDLE* event) {
        HANDLE device = OpenBlinkor();
        EXPECT_NE(device, INVALID_HANDLE_VALUE);
        *event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        EXPECT_TRUE(Register(device, code, *event));
        return device;
    }
    static ACTIVITY_MASKS Masks(HANDLE device) {
        ACTIVITY_MASKS masks{0xFFFFFFFF, 0xFFFFFFFF};
        DWORD returned = 0;
        EXPECT_TRUE(Ioctl(device, IOCTL_LED_GET_ACTIVITY, nullptr, 0, &masks, sizeof masks, &returned));
        EXPECT_EQ(returned, sizeof masks);
        return masks;
    }
    static void Machine(const std::vector<std::string>& words) {
        NTSTATUS status = STATUS_UNSUCCESSFUL;
        std::string text;
        ASSERT_TRUE(kclient::RunMachineCommand(words, &status, &text));
        ASSERT_EQ(status, STATUS_SUCCESS) << text;
    }
    // What lumetra-kctl with `args` writes, its errors included.
    static std::string Kctl(const std::vector<std::string>& args) {
        std::vector<std::string> argv{LUMETRA_KCTL_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        Child kctl(argv, true);
        std::string out;
        for (std::string line; !(line = kctl.ReadLine()).empty();) out += line;
        kctl.Wait();
        return out;
    }

    std::string m_dir;
    std::unique_ptr<Child> m_host;
};

TEST_F(BlinkorEndToEnd, MasksFollowHeldAndCompletedRequests) {
    HANDLE activity = nullptr;
    HANDLE device = OpenRegistered(IOCTL_LED_SET_ACTIVITY_EVENT, &activity);

    Machine({"hold", "C:", "write", "2"});
    EXPECT_EQ(Masks(device).WriteMask, LetterBit(u'C'));
    EXPECT_EQ(WaitForSingleObject(activity, 10000), WAIT_OBJECT_0);
    ResetEvent(activity);
    Machine({"complete", "C:", "write"});
    EXPECT_EQ(Masks(device).WriteMask, 0u);
    EXPECT_EQ(WaitForSingleObject(activity, 10000), WAIT_OBJECT_0);

    Machine({"hold", "Z:", "read", "1"});
    EXPECT_EQ(Masks(device).ReadMask, LetterBit(u'Z'));
    Machine({"complete", "Z:", "read"});
    EXPECT_EQ(Masks(device).ReadMask, 0u);
    CloseHandle(device);
    CloseHandle(activity);
}

TEST_F(BlinkorEndToEnd, ASecondClientCannotTakeTheRegistration) {
    HANDLE change = nullptr;
    HANDLE device = OpenRegistered(IOCTL_LED_SET_CHANGE_EVENT, &change);

    const std::string refused = Kctl({"ioctl", "Blinkor", "0x8042A118", "--event", "0"});
    EXPECT_NE(refused.find("failed (error " + std::to_string(kclient::Win32ErrorFromStatus(STATUS_ALREADY_COMMITTED))),
              std::string::npos)
        << refused;

    Machine({"label", "C:", "RENAMED"});
    EXPECT_EQ(WaitForSingleObject(change, 10000), WAIT_OBJECT_0);
    CloseHandle(device);
    CloseHandle(change);
}

TEST_F(BlinkorEndToEnd, AClientThatDiesReleasesItsRegistration) {
    {
        // Line-buffered, so its answer arrives while it waits on its event.
        Child holder({"/usr/bin/stdbuf", "-oL", LUMETRA_KCTL_PATH, "ioctl", "Blinkor", "0x8042A118", "--event",
                      "600000"});
        ASSERT_NE(holder.ReadLine().find("succeeded"), std::string::npos);
        holder.Kill();
        holder.Wait();
    }
    // The host notices the dead client on its own thread: try until its
    // handle has been closed (each try is a few round trips).
    HANDLE change = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool registered = false;
    for (int attempt = 0; attempt < 100000 && !registered; ++attempt) {
        HANDLE device = OpenBlinkor();
        ASSERT_NE(device, INVALID_HANDLE_VALUE);
        registered = Register(device, IOCTL_LED_SET_CHANGE_EVENT, change);
        const DWORD error = GetLastError();
        CloseHandle(device);
        if (!registered) {
            ASSERT_EQ(error, kclient::Win32ErrorFromStatus(STATUS_ALREADY_COMMITTED));
            std::this_thread::yield();
        }
    }
    EXPECT_TRUE(registered);
    CloseHandle(change);
}

}  // namespace
}  // namespace blinkor::test
