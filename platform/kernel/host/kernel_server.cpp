#include "kernel/host/kernel_server.h"

#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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

// The supplementary groups of `uid` from the account database.
std::vector<unsigned> GroupsOf(unsigned uid, unsigned gid) {
    std::vector<char> buffer(16384);
    passwd pw{}, *found = nullptr;
    if (getpwuid_r(uid, &pw, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (getgrouplist(pw.pw_name, gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (getgrouplist(pw.pw_name, gid, groups.data(), &count) < 0) return {};
    }
    return {groups.begin(), groups.begin() + count};
}

}  // namespace

bool SocketAdmits(unsigned mode, unsigned owner, unsigned owner_group, unsigned uid, unsigned gid,
                  const std::vector<unsigned>& groups) {
    if (uid == 0) return true;
    if (uid == owner) return mode & 0200;
    if (gid == owner_group || std::find(groups.begin(), groups.end(), owner_group) != groups.end()) return mode & 0020;
    return mode & 0002;
}

bool IsAdministrator(unsigned uid) {
    if (uid == 0) return true;
    std::vector<char> buffer(16384);
    passwd pw{}, *found = nullptr;
    if (getpwuid_r(uid, &pw, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
    for (unsigned g : GroupsOf(uid, pw.pw_gid)) {
        group gr{}, *named = nullptr;
        if (getgrgid_r(g, &gr, buffer.data(), buffer.size(), &named) != 0 || !named) continue;
        const std::string name = named->gr_name;
        if (name == "sudo" || name == "wheel" || name == "admin") return true;
    }
    return false;
}

KernelServer::~KernelServer() { Stop(); }

bool KernelServer::Listen(const std::string& path, std::string* error, const SocketAccess& access) {
    sockaddr_un address;
    if (!FillAddress(path, &address)) return *error = "socket path too long or empty: " + path, false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (SomeoneListens(address)) return *error = "a kernel host already serves " + path, false;
    ::unlink(path.c_str());
    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Bound while nobody else may connect; opened to its final mode only
    // once its group is set.
    const mode_t old_mask = ::umask(0177);
    const bool bound = m_listenFd >= 0 && ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::umask(old_mask);
    const bool ready = bound && (access.group < 0 || ::chown(path.c_str(), uid_t(-1), gid_t(access.group)) == 0) &&
                       ::chmod(path.c_str(), mode_t(access.mode & 0777)) == 0 && ::listen(m_listenFd, 64) == 0;
    if (!ready) {
        *error = "cannot listen on " + path + ": " + std::strerror(errno);
        if (m_listenFd >= 0) ::close(m_listenFd);
        if (bound) ::unlink(path.c_str());
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
        const int ready = ::poll(&p, 1, 200);  // wakes now and then to notice Stop
        // Reaped at every turn, also while clients keep arriving: otherwise
        // a steady stream of connections kept every finished session's
        // socket and threads.
        Reap(false);
        if (ready <= 0) continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        unsigned uid = 0;
        if (!Admits(fd, &uid)) {
            std::fprintf(stderr, "lumetra-kernel: refused a client of user %u: the socket's permissions do not admit it\n", uid);
            ::close(fd);
            continue;
        }
        auto session = std::make_shared<ClientSession>(fd, m_machine, IsAdministrator(uid));
        {
            // Listed before it serves anything, so a client that has had an
            // answer always finds its session counted.
            std::lock_guard lock(m_lock);
            m_sessions.push_back(session);
        }
        session->Start();
    }
}

bool KernelServer::Admits(int fd, unsigned* uid) {
    ucred peer{};
    socklen_t size = sizeof peer;
    struct stat socket_file;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || ::stat(m_path.c_str(), &socket_file) != 0)
        return false;
    *uid = peer.uid;
    return SocketAdmits(socket_file.st_mode, socket_file.st_uid, socket_file.st_gid, peer.uid, peer.gid,
                        GroupsOf(peer.uid, peer.gid));
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
        m_stopping_sessions += done.size();
    }
    for (auto& session : done) session->Stop();
    std::lock_guard lock(m_lock);
    m_stopping_sessions -= done.size();
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
    return m_sessions.size() + m_stopping_sessions;  // a session counts until its files are closed
}

}  // namespace khost
