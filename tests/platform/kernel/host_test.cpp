// End to end through the kernel host's socket: a user-mode client opens the
// test filter's control device and volumes with the Win32 calls, controls
// travel by fast I/O or request packet, its own event is set by the driver,
// and its handles are cleaned up when it closes them or goes away.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "base/last_error.h"
#include "base/sync.h"
#include "base/thread.h"
#include "base/win_errors.h"
#include "kernel/client/device_files.h"
#include "kernel/client/kernel_connection.h"
#include "kernel/host/kernel_server.h"
#include "kernel/sim/machine.h"
#include "kernel_test_support.h"
#include "test_filter.h"

namespace {

const char* const kScenario = R"({
  "file_systems": [{"name": "Ntfs"}],
  "storage": [{"name": "\\Device\\HarddiskVolume1",
               "volume": {"file_system": "Ntfs", "total_bytes": 4096000, "free_bytes": 1024000}}],
  "links": {"\\??\\C:": "\\Device\\HarddiskVolume1"},
  "modules": [{"path": ")" TEST_FILTER_PATH R"("}]
})";

class HostTest : public ktest::KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        kern::sim::MachineSpec spec;
        std::string error;
        ASSERT_TRUE(kern::sim::ParseScenario(kScenario, &spec, &error)) << error;
        ASSERT_EQ(m_machine.Build(spec, "", &error), STATUS_SUCCESS) << error;
        static int counter = 0;
        m_path = ::testing::TempDir() + "kernel-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".sock";
        ::setenv("LUMETRA_KERNEL_SOCKET", m_path.c_str(), 1);
        ASSERT_TRUE(m_server.Listen(m_path, &error)) << error;
        m_server.Start();
    }
    void TearDown() override {
        m_server.Stop();
        ::unsetenv("LUMETRA_KERNEL_SOCKET");
        KernelTest::TearDown();
    }

    static HANDLE Open(const char16_t* name, DWORD access = GENERIC_READ | GENERIC_WRITE) {
        return CreateFileW(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    }

    static TestFilterStats Stats(HANDLE device) {
        TestFilterStats stats{};
        DWORD returned = 0;
        EXPECT_TRUE(DeviceIoControl(device, TF_GET_STATS, nullptr, 0, &stats, sizeof(stats), &returned, nullptr));
        EXPECT_EQ(returned, sizeof(stats));
        return stats;
    }

    static BOOL Register(HANDLE device, HANDLE event) {
        auto value = ULONG(reinterpret_cast<ULONG_PTR>(event));
        DWORD returned = 0;
        return DeviceIoControl(device, TF_SET_EVENT, &value, sizeof(value), nullptr, 0, &returned, nullptr);
    }

    kern::sim::Machine m_machine;
    khost::KernelServer m_server{&m_machine};
    std::string m_path;
};

TEST_F(HostTest, ControlsTakeTheFastPathUnlessTheDriverNeedsThePacket) {
    HANDLE device = Open(u"\\\\.\\TestFilter");
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(Stats(device).file_system_filters, 1u);
    EXPECT_TRUE(kclient::LastControlWasFastIo());
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(Register(device, event));
    EXPECT_FALSE(kclient::LastControlWasFastIo()) << "a registration needs the requester mode of a packet";
    CloseHandle(event);
    CloseHandle(device);
}

TEST_F(HostTest, TheDriverSetsTheClientsOwnEvent) {
    HANDLE device = Open(u"\\\\.\\TestFilter");
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(Register(device, event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(device, TF_SIGNAL, nullptr, 0, nullptr, 0, &returned, nullptr));
    // The signal frame precedes the answer on the socket, so it is set by now.
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
    CloseHandle(device);
}

TEST_F(HostTest, HandlesThatAreNotEventsOfTheClientAreRefused) {
    HANDLE device = Open(u"\\\\.\\TestFilter");
    HANDLE thread = plat::StartThread([] { return DWORD(0); });
    WaitForSingleObject(thread, INFINITE);
    EXPECT_FALSE(Register(device, thread));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(Register(device, reinterpret_cast<HANDLE>(0x7FFFFFF0)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    CloseHandle(thread);
    CloseHandle(device);
}

TEST_F(HostTest, AccessBitsOfTheCodeAreCheckedAgainstTheOpen) {
    HANDLE reader = Open(u"\\\\.\\TestFilter", GENERIC_READ);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(Register(reader, event));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    Stats(reader);  // read access is enough for statistics
    CloseHandle(event);
    CloseHandle(reader);
}

TEST_F(HostTest, ClosingHandlesAndLosingClientsCloseTheirFiles) {
    HANDLE watcher = Open(u"\\\\.\\TestFilter");
    HANDLE second = Open(u"\\\\.\\TestFilter");
    EXPECT_EQ(Stats(watcher).opens, 2u);
    CloseHandle(second);
    EXPECT_EQ(Stats(watcher).opens, 1u);

    auto doomed = kclient::KernelConnection::Open(m_path);  // another client that will vanish
    ASSERT_NE(doomed, nullptr);
    kwire::Frame reply;
    ASSERT_TRUE(doomed->Call(kwire::MessageType::Open,
                             kwire::Writer().U32(GENERIC_READ).Text16(u"\\??\\TestFilter").Take(), &reply));
    EXPECT_EQ(Stats(watcher).opens, 2u);
    doomed.reset();
    while (m_server.SessionCount() > 1) std::this_thread::yield();  // until the host has noticed
    EXPECT_EQ(Stats(watcher).opens, 1u);
    CloseHandle(watcher);
}

TEST_F(HostTest, PathsOutsideTheDeviceNamespaceOrUnknownNamesFail) {
    EXPECT_EQ(Open(u"C:\\boot.ini"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Open(u"\\\\.\\NoSuchDevice"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(reinterpret_cast<HANDLE>(0x7FFFFFF0), TF_SIGNAL, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(HostTest, DriveQueriesAndVolumeLocksWorkFromUserMode) {
    EXPECT_EQ(GetDriveTypeW(u"C:\\"), DRIVE_FIXED);
    EXPECT_EQ(GetDriveTypeW(u"Q:\\"), DRIVE_NO_ROOT_DIR);
    ULARGE_INTEGER caller{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"C:\\", &caller, &total, &free));
    EXPECT_EQ(total.QuadPart, 4096000u);
    EXPECT_EQ(free.QuadPart, 1024000u);
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"Q:\\", &caller, &total, &free));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));

    HANDLE volume = Open(u"\\\\.\\C:");
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    HANDLE other = Open(u"\\\\.\\C:");
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(other);
    EXPECT_TRUE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr));
    CloseHandle(volume);
}

TEST_F(HostTest, MachineCommandsRunInTheHost) {
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    std::string text;
    ASSERT_TRUE(kclient::RunMachineCommand({"hold", "C:", "read", "3"}, &status, &text));
    EXPECT_EQ(status, STATUS_SUCCESS);
    EXPECT_EQ(text, "3 read requests held\n");
    ASSERT_TRUE(kclient::RunMachineCommand({"complete", "C:"}, &status, &text));
    EXPECT_EQ(text, "3 requests completed with 0x00000000 STATUS_SUCCESS\n");
    ASSERT_TRUE(kclient::RunMachineCommand({"bogus"}, &status, &text));
    EXPECT_EQ(status, STATUS_INVALID_PARAMETER);
}

}  // namespace

namespace {

std::uint32_t FirstWord(const kwire::Frame& frame) {
    kwire::Reader reader(frame.payload);
    std::uint32_t value = 0;
    reader.U32(&value);
    return value;
}

TEST_F(HostTest, MalformedRequestsGetAnAnswerAndChangeNothing) {
    auto raw = kclient::KernelConnection::Open(m_path);
    ASSERT_NE(raw, nullptr);
    kwire::Frame reply;
    ASSERT_TRUE(raw->Call(kwire::MessageType::Control, kwire::Writer().U32(99).U32(TF_SIGNAL).U32(0).Take(), &reply));
    EXPECT_EQ(FirstWord(reply), std::uint32_t(STATUS_INVALID_HANDLE)) << "unknown file id";
    ASSERT_TRUE(raw->Call(kwire::MessageType::Control, kwire::Writer().U32(1).Take(), &reply));
    EXPECT_EQ(FirstWord(reply), std::uint32_t(STATUS_INVALID_PARAMETER)) << "truncated";
    ASSERT_TRUE(raw->Call(kwire::MessageType::Open, kwire::Writer().U32(GENERIC_READ).U32(500).Take(), &reply));
    EXPECT_EQ(FirstWord(reply), std::uint32_t(STATUS_INVALID_PARAMETER)) << "path longer than the payload";
    ASSERT_TRUE(raw->Call(kwire::MessageType::Close, kwire::Writer().U32(7).Take(), &reply));
    EXPECT_EQ(FirstWord(reply), std::uint32_t(STATUS_INVALID_HANDLE));
    ASSERT_TRUE(raw->Call(static_cast<kwire::MessageType>(77), {}, &reply));
    EXPECT_EQ(FirstWord(reply), std::uint32_t(STATUS_INVALID_PARAMETER));
    ASSERT_TRUE(raw->Call(kwire::MessageType::DriveQuery, kwire::Writer().U32('!').Take(), &reply));
    EXPECT_EQ(FirstWord(reply), std::uint32_t(STATUS_OBJECT_NAME_NOT_FOUND));
}

}  // namespace

// Hostile clients: whatever one client sends, claims or leaves undone, the
// host keeps serving the others and leaks nothing.
namespace {

int RawConnect(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

void SendRaw(int fd, const std::vector<std::uint8_t>& bytes) {
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
}

std::vector<std::uint8_t> FrameBytes(kwire::MessageType type, std::uint32_t id, const std::vector<std::uint8_t>& payload,
                                     std::uint32_t announced) {
    std::vector<std::uint8_t> bytes = kwire::Writer().U32(announced).U32(std::uint32_t(type)).U32(id).Take();
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

// Reads what the host sends until it closes; the number of bytes read.
std::size_t DrainUntilClosed(int fd) {
    std::size_t total = 0;
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 30000) != 1) {
            ADD_FAILURE() << "the host kept the connection open";
            return total;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return total;
        total += std::size_t(n);
    }
}

// The host answers a drive query on a connection of its own.
void ExpectServed(const std::string& path) {
    auto client = kclient::KernelConnection::Open(path);
    ASSERT_NE(client, nullptr);
    kwire::Frame reply;
    ASSERT_TRUE(client->Call(kwire::MessageType::DriveQuery, kwire::Writer().U32('C').Take(), &reply));
    EXPECT_EQ(FirstWord(reply), std::uint32_t(STATUS_SUCCESS));
}

std::string PoolReport() {
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    std::string text;
    EXPECT_TRUE(kclient::RunMachineCommand({"pool"}, &status, &text));
    return text;
}

TEST_F(HostTest, AClientStalledInsideAHugeFrameHoldsNoOneUp) {
    const int stalled = RawConnect(m_path);
    SendRaw(stalled, FrameBytes(kwire::MessageType::Control, 1, std::vector<std::uint8_t>(100, 0xCC), kwire::kMaxPayload));
    const int half = RawConnect(m_path);
    SendRaw(half, {0x10, 0, 0, 0, 0x02});  // five bytes of a header
    ExpectServed(m_path);
    ::close(stalled);
    ::close(half);
}

TEST_F(HostTest, AClientThatSendsFarAheadOfItsAnswersIsDisconnected) {
    const int greedy = RawConnect(m_path);
    // Far more requests than the host queues, sent without reading: the
    // answers fill the socket, the executor waits, the queue overflows.
    std::vector<std::uint8_t> burst;
    const std::vector<std::uint8_t> words{'n', 'a', 'm', 'e', 's', 'p', 'a', 'c', 'e', 0};
    const std::size_t sent = 100000;
    for (std::uint32_t id = 1; id <= sent; ++id) {
        const auto frame = FrameBytes(kwire::MessageType::Command, id, words, std::uint32_t(words.size()));
        burst.insert(burst.end(), frame.begin(), frame.end());
    }
    std::size_t at = 0;
    while (at < burst.size()) {  // the host may close before all of it is taken
        const ssize_t n = ::send(greedy, burst.data() + at, burst.size() - at, MSG_NOSIGNAL);
        if (n <= 0) break;
        at += std::size_t(n);
    }
    ExpectServed(m_path);
    // Each answer is a 12-byte header and at least a status and some text.
    EXPECT_LT(DrainUntilClosed(greedy), sent * 16) << "cut off long before every request was answered";
    ::close(greedy);
    ExpectServed(m_path);
}

std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

TEST_F(HostTest, DepartedClientsAreReapedWhileOthersKeepArriving) {
    // Clients come and go faster than the host's idle wake-up; the host's
    // end of each finished connection must still be closed. (The test
    // process is the host, so its descriptors are the host's.)
    const std::size_t before = OpenDescriptors();
    for (int i = 0; i < 300; ++i) {
        const int fd = RawConnect(m_path);
        char byte = 0;
        ::shutdown(fd, SHUT_WR);
        EXPECT_EQ(::read(fd, &byte, 1), 0) << "the host ends the stream of a client that stopped";
        ::close(fd);
    }
    EXPECT_LT(OpenDescriptors(), before + 50) << "finished sessions kept their sockets";
}

TEST_F(HostTest, GarbageManyConnectionsAndVanishingClientsLeakNothing) {
    const std::string pool_before = PoolReport();
    HANDLE watcher = Open(u"\\\\.\\TestFilter");
    const auto open = kwire::Writer().U32(GENERIC_READ).Text16(u"\\??\\TestFilter").Take();
    std::vector<int> clients;
    for (int i = 0; i < 300; ++i) {
        const int fd = RawConnect(m_path);
        switch (i % 3) {
            case 0: {  // bytes that are no frame at all
                std::vector<std::uint8_t> garbage(64 + i);
                for (std::size_t k = 0; k < garbage.size(); ++k) garbage[k] = std::uint8_t(k * 37 + i);
                SendRaw(fd, garbage);
                break;
            }
            case 1: {  // opens, asks, and goes before the answers
                std::vector<std::uint8_t> bytes = FrameBytes(kwire::MessageType::Open, 1, open, std::uint32_t(open.size()));
                const auto query = kwire::Writer().U32('C').Take();
                const auto more = FrameBytes(kwire::MessageType::DriveQuery, 2, query, std::uint32_t(query.size()));
                bytes.insert(bytes.end(), more.begin(), more.end());
                SendRaw(fd, bytes);
                break;
            }
            default: break;  // connects and says nothing
        }
        clients.push_back(fd);
    }
    ExpectServed(m_path);
    for (int fd : clients) ::close(fd);
    // Until the host has noticed them all; this process's own shared
    // connection (the watcher's) stays.
    while (m_server.SessionCount() > 1) std::this_thread::yield();
    EXPECT_EQ(Stats(watcher).opens, 1u) << "every vanished client's file is closed";
    CloseHandle(watcher);
    EXPECT_EQ(PoolReport(), pool_before);
}

}  // namespace
