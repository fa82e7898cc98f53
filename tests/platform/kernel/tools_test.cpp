// lumetra-kernel and lumetra-kctl as separate processes: the host runs a
// scenario with the test filter module, and the control tool drives the
// machine and talks to the module's control device from its own process.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

class ToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = ::testing::TempDir() + "kernel-tools-" + std::to_string(getpid());
        ASSERT_EQ(std::system(("mkdir -p " + m_dir).c_str()), 0);
        std::ofstream(m_dir + "/scenario.json") << R"({
          "file_systems": [{"name": "Ntfs"}],
          "storage": [{"name": "\\Device\\HarddiskVolume1", "volume": {"file_system": "Ntfs", "label": "SYS"}}],
          "links": {"\\??\\C:": "\\Device\\HarddiskVolume1"},
          "modules": [{"path": ")" TEST_FILTER_PATH R"("}]})";
        m_socket = m_dir + "/kernel.sock";
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        m_kernel = fork();
        if (m_kernel == 0) {
            dup2(out[1], STDOUT_FILENO);
            execl(LUMETRA_KERNEL_PATH, "lumetra-kernel", "--scenario", (m_dir + "/scenario.json").c_str(), "--socket",
                  m_socket.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        // The host prints its ready line once it listens; reading it is the wait.
        FILE* from_kernel = fdopen(out[0], "r");
        std::array<char, 256> line{};
        ASSERT_NE(fgets(line.data(), line.size(), from_kernel), nullptr) << "lumetra-kernel did not start";
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
        std::system(("rm -rf " + m_dir).c_str());
    }

    // Runs lumetra-kctl with `args`; returns its output, exit code in *code.
    // Its errors are in the output too unless `errors` takes them apart.
    std::string Kctl(const std::string& args, int* code = nullptr, std::string* errors = nullptr) {
        const std::string error_file = m_dir + "/kctl.err";
        const std::string command = "LUMETRA_KERNEL_SOCKET=" + m_socket + " " LUMETRA_KCTL_PATH " " + args +
                                    (errors ? " 2>" + error_file : " 2>&1");
        FILE* pipe = popen(command.c_str(), "r");
        std::string output;
        std::array<char, 512> buffer{};
        while (fgets(buffer.data(), buffer.size(), pipe)) output += buffer.data();
        const int status = pclose(pipe);
        if (code) *code = WEXITSTATUS(status);
        if (errors) {
            std::ifstream in(error_file);
            errors->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return output;
    }

    std::string m_dir, m_socket;
    pid_t m_kernel = -1;
};

TEST_F(ToolsTest, KctlDrivesTheMachineAndTalksToTheModule) {
    int code = -1;
    EXPECT_EQ(Kctl("hold C: read 2", &code), "2 read requests held\n");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Kctl("complete C:"), "2 requests completed with 0x00000000 STATUS_SUCCESS\n");
    const std::string stats = Kctl("ioctl TestFilter 0x80436000 --out 16", &code);
    EXPECT_EQ(code, 0) << stats;
    EXPECT_NE(stats.find("succeeded (error 0), 16 bytes, fast I/O"), std::string::npos) << stats;
    // file-system filters 1, volume filters 1, reads 2, opens 1
    EXPECT_NE(stats.find("0000  01 00 00 00 01 00 00 00 02 00 00 00 01 00 00 00"), std::string::npos) << stats;
    // Too small an output buffer for the statistics: the failure is an error.
    std::string errors;
    const std::string refused = Kctl("ioctl TestFilter 0x80436000 --out 4", &code, &errors);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(refused.find("failed"), std::string::npos) << refused;
    EXPECT_NE(errors.find("ioctl TestFilter 0x80436000 failed (error 87)"), std::string::npos) << errors;
    const std::string event = Kctl("ioctl TestFilter 0x8043A004 --event 0");
    EXPECT_NE(event.find("succeeded"), std::string::npos) << event;
    EXPECT_EQ(Kctl("drivetype C:"), "3 fixed\n");
    Kctl("no-such-command", &code);
    EXPECT_EQ(code, 1);
}

TEST_F(ToolsTest, ASecondHostOnTheSameSocketIsRefused) {
    const std::string command = std::string(LUMETRA_KERNEL_PATH) + " --scenario " + m_dir + "/scenario.json --socket " +
                                m_socket + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 256> line{};
    ASSERT_NE(fgets(line.data(), line.size(), pipe), nullptr);
    EXPECT_NE(std::string(line.data()).find("already serves"), std::string::npos) << line.data();
    EXPECT_NE(WEXITSTATUS(pclose(pipe)), 0);
}

}  // namespace
