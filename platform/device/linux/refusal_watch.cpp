#include "device/linux/refusal_watch.h"

#include <cerrno>
#include <functional>

namespace plat::device {
namespace {

std::mutex g_reportLock;  // guards g_report
std::function<void(const AccessRefusal&)> g_report;

bool ForLackOfRights(int error) { return error == EACCES || error == EPERM; }

}  // namespace

void ReportAccessRefusals(std::function<void(const AccessRefusal&)> report) {
    std::lock_guard lock(g_reportLock);
    g_report = std::move(report);
}

namespace detail {

int RefusalWatch::Open(const std::string& path, int flags) {
    const int fd = m_system->Open(path, flags);
    if (fd < 0 && ForLackOfRights(-fd)) Refused(path, false, -fd);
    if (fd >= 0) {
        std::lock_guard lock(m_lock);
        m_nodes[fd] = path;
    }
    return fd;
}

void RefusalWatch::Close(int fd) {
    {
        std::lock_guard lock(m_lock);
        m_nodes.erase(fd);
    }
    m_system->Close(fd);
}

int RefusalWatch::SgIo(int fd, sg_io_hdr* request) {
    const int result = m_system->SgIo(fd, request);
    if (result < 0 && ForLackOfRights(-result)) {
        std::string node;
        {
            std::lock_guard lock(m_lock);
            node = m_nodes[fd];
        }
        Refused(node, true, -result);
    }
    return result;
}

void RefusalWatch::Refused(const std::string& node, bool opened, int error) {
    {
        std::lock_guard lock(m_lock);
        if (!m_told.insert(node).second) return;
    }
    std::function<void(const AccessRefusal&)> report;
    {
        std::lock_guard lock(g_reportLock);
        report = g_report;
    }
    if (report) report(AccessRefusal{node, opened, error});
}

}  // namespace detail
}  // namespace plat::device
