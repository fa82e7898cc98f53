#include "LedKernelFixture.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "GuiLog.h"
#include "base/text.h"
#include "kernel/kernel.h"

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
    m_host = std::make_unique<kerneltest::TestKernelHost>(m_dir + "/kernel.sock");
}

void LedKernelTest::TearDown() {
    m_host.reset();
    gui::Log().Close();
    std::filesystem::remove_all(m_dir);
}

void LedKernelTest::Build(const std::string& scenario, bool with_driver) {
    std::string error;
    ASSERT_TRUE(m_host->Build(scenario, with_driver, &error)) << error;
}

void LedKernelTest::Run(const std::string& command) {
    const kern::CommandResult result = m_host->Run(command);
    ASSERT_EQ(result.status, STATUS_SUCCESS) << command << ": " << result.text;
}

void LedKernelTest::StopHost() { m_host->Stop(); }

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
