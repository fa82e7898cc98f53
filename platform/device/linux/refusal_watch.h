// The Linux backend's system calls, watched for refusals for lack of rights:
// a device node that cannot be opened (EACCES, EPERM), or one on which the
// kernel refuses a command (SG_IO failing with EPERM or EACCES: ATA
// PASS-THROUGH and other commands outside the read-safe set need
// CAP_SYS_RAWIO). Each node is told once to the report that
// ReportAccessRefusals installed.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "device/linux_backend.h"

namespace plat::device::detail {

class RefusalWatch final : public LinuxSystem {
public:
    explicit RefusalWatch(std::shared_ptr<LinuxSystem> system) : m_system(std::move(system)) {}

    int Open(const std::string& path, int flags) override;
    void Close(int fd) override;
    int SgIo(int fd, sg_io_hdr* request) override;
    std::vector<std::string> ListDirectory(const std::string& path) override { return m_system->ListDirectory(path); }
    std::optional<std::string> ReadFile(const std::string& path) override { return m_system->ReadFile(path); }
    std::optional<std::string> LinkName(const std::string& path) override { return m_system->LinkName(path); }

private:
    void Refused(const std::string& node, bool opened, int error);

    const std::shared_ptr<LinuxSystem> m_system;
    std::mutex m_lock;  // guards the maps; never held while the report runs
    std::map<int, std::string> m_nodes;  // open descriptors
    std::set<std::string> m_told;
};

}  // namespace plat::device::detail
