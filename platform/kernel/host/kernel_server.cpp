#include "kernel/host/kernel_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace khost {
namespace {

bool FillAddress(const std::string& path, sockaddr_un* address) {
    if (path.empty() || path.size() >= sizeof(address->sun_path)) return false;
    *address = {};
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool SomeoneListens(const sockaddr_un& address) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool answered = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    if (fd >= 0) ::close(fd);
    return answered;
}

}  // namespace

KernelServer::~KernelServer() { Stop(); }

bool KernelServer::Listen(const std::string& path, std::string* error) {
    sockaddr_un address;
    if (!FillAddress(path, &address)) return *error = "socket path too long or empty: " + path, false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (SomeoneListens(address)) return *error = "a kernel host already serves " + path, false;
    ::unlink(path.c_str());
    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listenFd, 64) != 0) {
        *error = "cannot listen on " + path + ": " + std::strerror(errno);
        if (m_listenFd >= 0) ::close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_path = path;
    return true;
}

void KernelServer::Start() { m_acceptor = std::thread([this] { AcceptLoop(); }); }

void KernelServer::AcceptLoop() {
    while (!m_stopping) {
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) {  // wakes now and then to notice Stop and reap
            Reap(false);
            continue;
        }
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        auto session = std::make_shared<ClientSession>(fd, m_machine);
        session->Start();
        std::lock_guard lock(m_lock);
        m_sessions.push_back(std::move(session));
    }
}

// Joins sessions whose client left (all of them when stopping) and forgets them.
void KernelServer::Reap(bool all) {
    std::vector<std::shared_ptr<ClientSession>> done;
    {
        std::lock_guard lock(m_lock);
        for (auto it = m_sessions.begin(); it != m_sessions.end();) {
            if (all || (*it)->Finished()) {
                done.push_back(std::move(*it));
                it = m_sessions.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& session : done) session->Stop();
}

void KernelServer::Stop() {
    m_stopping = true;
    if (m_acceptor.joinable()) m_acceptor.join();
    Reap(true);
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        ::unlink(m_path.c_str());
        m_listenFd = -1;
    }
}

std::size_t KernelServer::SessionCount() {
    Reap(false);
    std::lock_guard lock(m_lock);
    return m_sessions.size();
}

}  // namespace khost
