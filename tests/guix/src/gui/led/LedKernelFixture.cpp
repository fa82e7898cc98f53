#include "LedKernelFixture.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "GuiLog.h"
#include "base/text.h"
#include "kernel/kernel.h"
#include "kernel/sim/scenario.h"

namespace ledtest {

std::string Scenario(const std::string& storage, const std::string& links, bool network) {
    const std::string redirector =
        network ? R"(, {"name": "LanmanRedirector", "type": "network", "driver": "\\FileSystem\\MRxSmb"})" : "";
    return R"({
      "file_systems": [{"name": "Ntfs", "type": "disk"}, {"name": "Cdfs", "type": "cdrom"})" + redirector + R"(],
      "storage": [)" + storage + R"(],
      "links": {)" + links + R"(}
    })";
}

std::string DiskVolume(int k, int disk, long long partition, const std::string& label, int free_percent,
                       bool removable) {
    const long long total = 10737418240LL;
    std::ostringstream s;
    s << R"({"name": "\\Device\\HarddiskVolume)" << k << R"(", "removable": )" << (removable ? "true" : "false");
    if (partition >= 0) s << R"(, "device_number": {"type": 7, "disk": )" << disk << R"(, "partition": )" << partition << "}";
    s << R"(, "volume": {"file_system": "Ntfs", "label": ")" << label << R"(", "total_bytes": )" << total
      << R"(, "free_bytes": )" << total * free_percent / 100 << "}}";
    return s.str();
}

void LedKernelTest::SetUp() {
    static int counter = 0;
    m_dir = ::testing::TempDir() + "led-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    std::filesystem::create_directories(m_dir);
    m_logPath = m_dir + "/gui.log";
    gui::Log().SetLevel(5);
    gui::Log().OpenFile(plat::Utf8ToUtf16(m_logPath).c_str(), CLog::kTextOutput, FALSE, 0);
    kern::SetBugCheckHandler([](ULONG code, const std::string& text) {
        ADD_FAILURE() << "bug check 0x" << std::hex << code << ": " << text;
    });
    ::setenv("LUMETRA_KERNEL_SOCKET", (m_dir + "/kernel.sock").c_str(), 1);
}

void LedKernelTest::TearDown() {
    StopHost();
    m_machine.reset();
    ::unsetenv("LUMETRA_KERNEL_SOCKET");
    gui::Log().Close();
    std::filesystem::remove_all(m_dir);
}

void LedKernelTest::Build(const std::string& scenario, bool with_driver) {
    kern::sim::MachineSpec spec;
    std::string error;
    ASSERT_TRUE(kern::sim::ParseScenario(scenario, &spec, &error)) << error;
    spec.modules.clear();
    if (with_driver) spec.modules = {{BLINKOR_MODULE_PATH, u"\\FileSystem\\Blinkor"}};
    StopHost();
    m_machine = std::make_unique<kern::sim::Machine>();
    ASSERT_EQ(m_machine->Build(spec, "", &error), STATUS_SUCCESS) << error;
    m_server = std::make_unique<khost::KernelServer>(m_machine.get());
    ASSERT_TRUE(m_server->Listen(m_dir + "/kernel.sock", &error)) << error;
    m_server->Start();
}

void LedKernelTest::Run(const std::string& command) {
    std::istringstream in(command);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    const kern::CommandResult result = m_machine->Execute(words);
    ASSERT_EQ(result.status, STATUS_SUCCESS) << command << ": " << result.text;
}

void LedKernelTest::StopHost() {
    if (!m_server) return;
    m_server->Stop();
    m_server.reset();
}

std::vector<std::string> LedKernelTest::LogLines() const {
    std::ifstream in(m_logPath);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool LedKernelTest::Logged(const std::string& text) const {
    for (const auto& line : LogLines())
        if (line.find(text) != std::string::npos) return true;
    return false;
}

}  // namespace ledtest
