// The tools' command lines without anything running: --help prints the
// usage on stdout and succeeds wherever it stands; an unknown option is
// refused with exit status 2 and the usage on stderr.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "net/loopback_port.h"

namespace {

struct Outcome {
    int exit = -1;
    std::string out;
    std::string err;
};

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ToolHelp : public ::testing::Test {
protected:
    ToolHelp() { std::filesystem::create_directories(m_dir); }
    ~ToolHelp() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    // Runs the tool where nothing answers: no kernel host on its socket, no
    // service on its port.
    Outcome Run(const char* program, const std::vector<std::string>& args) {
        std::string command = "env LUMETRA_ROOT=" + m_dir.string() + " LUMETRA_KERNEL_SOCKET=" +
                              (m_dir / "none.sock").string() + " LUMETRA_SMART_PORT=" +
                              std::to_string(plat::net::FreeLoopbackPort()) + " " + program;
        for (const std::string& a : args) command += " '" + a + "'";
        command += " >" + (m_dir / "out").string() + " 2>" + (m_dir / "err").string();
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, FileText(m_dir / "out"), FileText(m_dir / "err")};
    }

    std::filesystem::path m_dir =
        std::filesystem::temp_directory_path() / ("lumetra-tool-help-" + std::to_string(getpid()));
};

struct Tool {
    const char* program;
    std::vector<std::vector<std::string>> helps;  // command lines that ask for the usage
};

const Tool kTools[] = {
    {LUMETRA_KCTL_PROGRAM, {{"--help"}, {"help"}, {}, {"ioctl", "Blinkor", "--help"}}},
    {LUMETRA_SMART_PROGRAM, {{"--help"}, {"help"}, {"--bogus", "-h"}}},
    {SMART_PROBE_PROGRAM, {{"--help"}, {"--device", "0", "--help"}, {"--bogus", "--help"}}},
    {LUMETRA_REG_PROGRAM, {{"--help"}, {"-h"}, {"export", "--help"}}},
    {LUMETRA_LOGDUMP_PROGRAM, {{"--help"}, {"some.bin", "--help"}}},
    {SMART_DIALOGS_DEMO_PROGRAM, {{"--help"}, {"--selftest", "short", "-h"}}},
    {SKIN_DEMO_PROGRAM, {{"--help"}, {"-h"}, {"--tint", "500", "--help"}}},
    {UI_DEMO_PROGRAM, {{"--help"}, {"--dialog", "--menu", "-h"}}},
    {LUMETRA_RC_PROGRAM, {{"--help"}, {"-h"}, {"script.rcs", "out.c", "--help"}, {"--avi", "-h"}}},
    {LUMETRA_SCREENSHOT_PROGRAM, {{"--help"}, {"shot.png", "-h"}}},
};

std::string Shown(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& a : args) text += a + " ";
    return text;
}

TEST_F(ToolHelp, TheUsageComesWhereverHelpIsAskedFor) {
    for (const Tool& tool : kTools) {
        for (const auto& args : tool.helps) {
            SCOPED_TRACE(std::string(tool.program) + " " + Shown(args));
            const Outcome o = Run(tool.program, args);
            EXPECT_EQ(o.exit, 0) << o.err;
            EXPECT_TRUE(o.out.starts_with("usage: ")) << o.out;
            EXPECT_EQ(o.err, "");
        }
    }
}

TEST_F(ToolHelp, AnUnknownOptionIsRefusedWithTheUsageOnStderr) {
    for (const Tool& tool : kTools) {
        SCOPED_TRACE(tool.program);
        const Outcome o = Run(tool.program, {"--no-such-option"});
        EXPECT_EQ(o.exit, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_NE(o.err.find("usage: "), std::string::npos) << o.err;
        EXPECT_NE(o.err.find("--no-such-option"), std::string::npos) << "the complaint names it: " << o.err;
    }
}

TEST_F(ToolHelp, WithoutAKernelHostKctlSaysSoOnStderr) {
    const Outcome help = Run(LUMETRA_KCTL_PROGRAM, {"help"});
    EXPECT_NE(help.out.find("no kernel host answers"), std::string::npos) << help.out;
    const Outcome command = Run(LUMETRA_KCTL_PROGRAM, {"drives"});
    EXPECT_EQ(command.exit, 1);
    EXPECT_EQ(command.out, "");
    EXPECT_NE(command.err.find("no kernel host answers"), std::string::npos) << command.err;
}

}  // namespace
