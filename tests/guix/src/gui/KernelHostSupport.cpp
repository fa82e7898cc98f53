#include "KernelHostSupport.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace kerneltest {

TestKernelHost::TestKernelHost(std::string socket) : m_socket(std::move(socket)) {
    ::setenv("LUMETRA_KERNEL_SOCKET", m_socket.c_str(), 1);
}

TestKernelHost::~TestKernelHost() {
    Stop();
    m_machine.reset();
    ::unsetenv("LUMETRA_KERNEL_SOCKET");
}

bool TestKernelHost::Build(const std::string& scenario_json, bool with_driver, std::string* error) {
    kern::sim::MachineSpec spec;
    return kern::sim::ParseScenario(scenario_json, &spec, error) && Build(std::move(spec), with_driver, error);
}

bool TestKernelHost::Build(kern::sim::MachineSpec spec, bool with_driver, std::string* error) {
    spec.modules.clear();
    if (with_driver) spec.modules = {{BLINKOR_MODULE_PATH, u"\\FileSystem\\Blinkor"}};
    Stop();
    m_machine = std::make_unique<kern::sim::Machine>();
    if (m_machine->Build(spec, "", error) != STATUS_SUCCESS) return false;
    m_server = std::make_unique<khost::KernelServer>(m_machine.get());
    if (!m_server->Listen(m_socket, error)) return false;
    m_server->Start();
    return true;
}

kern::CommandResult TestKernelHost::Run(const std::string& command) {
    std::istringstream in(command);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return m_machine->Execute(words);
}

void TestKernelHost::Stop() {
    if (!m_server) return;
    m_server->Stop();
    m_server.reset();
}

}  // namespace kerneltest
