// The kernel host's listener: accepts user-mode clients on a Unix stream
// socket and gives each its ClientSession.
//
// Who is served: the socket file is created with the mode (and group) the
// host is given, and every connecting process is checked against the
// socket file's owner, group and mode as they are at that moment (peer
// credentials), so a chmod of the socket takes effect for the next client,
// and a connection the file's permissions would not admit is closed at
// once. Root is always admitted.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kernel/host/client_session.h"
#include "kernel/sim/machine.h"  // the simulated machine most hosts serve

namespace khost {

struct SocketAccess {
    unsigned mode = 0660;  // of the socket file: write permission admits
    long group = -1;  // the socket file's group; -1: the host's own
};

// Whether a process of `uid` (primary group `gid`, supplementary `groups`)
// may use a socket file owned by `owner`:`owner_group` with `mode`.
bool SocketAdmits(unsigned mode, unsigned owner, unsigned owner_group, unsigned uid, unsigned gid,
                  const std::vector<unsigned>& groups);

// Root, and members of the sudo, wheel and admin groups.
bool IsAdministrator(unsigned uid);

class KernelServer {
public:
    explicit KernelServer(kern::HostedMachine* machine) : m_machine(machine) {}
    ~KernelServer();

    // Binds and listens on `path` (creating its directory). Refuses with a
    // message when another host already answers there; a stale socket file
    // is replaced.
    bool Listen(const std::string& path, std::string* error, const SocketAccess& access = {});
    // Accepts clients on a thread of its own until Stop.
    void Start();
    void Stop();
    std::size_t SessionCount();

private:
    void AcceptLoop();
    void Reap(bool all);
    bool Admits(int fd, unsigned* uid);

    kern::HostedMachine* const m_machine;
    int m_listenFd = -1;
    std::string m_path;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    std::mutex m_lock;  // guards m_sessions and m_stopping_sessions
    std::vector<std::shared_ptr<ClientSession>> m_sessions;
    std::size_t m_stopping_sessions = 0;  // taken off m_sessions, files not yet closed
};

}  // namespace khost
