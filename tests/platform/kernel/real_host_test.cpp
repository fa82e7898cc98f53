// lumetra-kernel --real on the machine the test runs on: the root file
// system is C:, and direct writes to a file on it light C:'s write bit as
// lumetra-kctl reads the driver's masks. Skipped where the machine cannot
// show it (no block device behind /, no writable directory on it).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

std::string RunShell(const std::string& command, int* code = nullptr) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    std::string output;
    std::array<char, 512> buffer{};
    while (fgets(buffer.data(), buffer.size(), pipe)) output += buffer.data();
    const int status = pclose(pipe);
    if (code) *code = WEXITSTATUS(status);
    return output;
}

// Whether the mount at "/" is a block-device file system.
bool RootIsABlockDevice() {
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    bool block = false;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, point;
        fields >> id >> parent >> device >> root >> point;
        if (point != "/") continue;
        const std::string source = line.substr(line.find(" - ") + 3);
        block = device.rfind("0:", 0) != 0 || source.find(" /dev/") != std::string::npos;  // the last mount on / counts
    }
    return block;
}

std::string DirectoryOnRoot() {
    struct stat root, candidate;
    if (stat("/", &root) != 0) return {};
    char cwd[4096];
    for (std::string dir : {::testing::TempDir(), std::string(getcwd(cwd, sizeof cwd) ? cwd : "")})
        if (!dir.empty() && stat(dir.c_str(), &candidate) == 0 && candidate.st_dev == root.st_dev &&
            access(dir.c_str(), W_OK) == 0)
            return dir;
    return {};
}

class RealHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RootIsABlockDevice()) GTEST_SKIP() << "no block device behind / (an overlay or memory root file system)";
        m_dir = DirectoryOnRoot();
        if (m_dir.empty()) GTEST_SKIP() << "no writable directory on the root file system";
        m_dir += "/real-host-" + std::to_string(getpid());
        ASSERT_EQ(mkdir(m_dir.c_str(), 0700), 0);
        m_socket = m_dir + "/kernel.sock";
        m_env = "LUMETRA_ROOT=" + m_dir + " LUMETRA_KERNEL_SOCKET=" + m_socket + " ";
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        m_kernel = fork();
        if (m_kernel == 0) {
            dup2(out[1], STDOUT_FILENO);
            setenv("LUMETRA_ROOT", m_dir.c_str(), 1);
            execl(LUMETRA_KERNEL_PATH, "lumetra-kernel", "--real", "--period", "5", "--socket", m_socket.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        FILE* from_kernel = fdopen(out[0], "r");
        std::array<char, 256> line{};
        ASSERT_NE(fgets(line.data(), line.size(), from_kernel), nullptr) << "lumetra-kernel --real did not start";
        EXPECT_EQ(std::string(line.data()).rfind("lumetra-kernel: ready on", 0), 0u) << line.data();
        fclose(from_kernel);
    }
    void TearDown() override {
        if (m_kernel > 0) {
            kill(m_kernel, SIGTERM);
            int status = 0;
            waitpid(m_kernel, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        if (!m_dir.empty()) std::system(("rm -rf " + m_dir).c_str());
    }
    std::string Kctl(const std::string& args, int* code = nullptr) { return RunShell(m_env + LUMETRA_KCTL_PATH " " + args, code); }

    std::string m_dir, m_socket, m_env;
    pid_t m_kernel = -1;
};

TEST_F(RealHostTest, TheRootFileSystemIsCAndItsWritesLightTheWriteBit) {
    EXPECT_NE(Kctl("ioctl Blinkor get_drives").find("C  type"), std::string::npos);
    EXPECT_EQ(Kctl("mountpoint C:"), "/\n");
    EXPECT_EQ(Kctl("drivetype C:").substr(0, 1), "3") << "fixed";
    int code = 0;
    EXPECT_NE(Kctl("hold C: write 1", &code).find("simulated machine"), std::string::npos);
    EXPECT_EQ(code, 1);

    std::atomic<bool> stop{false};
    const std::string file = m_dir + "/burst.dat";
    std::thread writer([&] {
        int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_DIRECT, 0600);
        if (fd < 0) fd = open(file.c_str(), O_WRONLY | O_CREAT, 0600);  // a file system without direct I/O
        void* block = nullptr;
        if (posix_memalign(&block, 4096, 65536) != 0) return;
        std::memset(block, 0x5A, 65536);
        for (int i = 0; !stop && i < 4000; ++i) {
            if (pwrite(fd, block, 65536, off_t(i % 64) * 65536) < 0) break;
            fdatasync(fd);
        }
        std::free(block);
        close(fd);
    });
    bool lit = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!lit && std::chrono::steady_clock::now() < deadline) {
        const std::string masks = Kctl("ioctl Blinkor get_activity");
        const auto writes = masks.find("writes:");
        lit = writes != std::string::npos && masks.find("C:", writes) != std::string::npos;
    }
    stop = true;
    writer.join();
    EXPECT_TRUE(lit) << "C:'s write bit never showed during the burst";
}

}  // namespace
