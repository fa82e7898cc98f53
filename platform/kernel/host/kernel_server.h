// The kernel host's listener: accepts user-mode clients on a Unix stream
// socket and gives each its ClientSession.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kernel/host/client_session.h"

namespace khost {

class KernelServer {
public:
    explicit KernelServer(kern::sim::Machine* machine) : m_machine(machine) {}
    ~KernelServer();

    // Binds and listens on `path` (creating its directory). Refuses with a
    // message when another host already answers there; a stale socket file
    // is replaced.
    bool Listen(const std::string& path, std::string* error);
    // Accepts clients on a thread of its own until Stop.
    void Start();
    void Stop();
    std::size_t SessionCount();

private:
    void AcceptLoop();
    void Reap(bool all);

    kern::sim::Machine* const m_machine;
    int m_listenFd = -1;
    std::string m_path;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    std::mutex m_lock;  // guards m_sessions
    std::vector<std::shared_ptr<ClientSession>> m_sessions;
};

}  // namespace khost
