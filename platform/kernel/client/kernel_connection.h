// A user-mode process's connection to the kernel host. One reader thread per
// connection routes answers to the waiting callers and serves the kernel's
// own questions: whether a handle the process passed in a request is one of
// its events, and "set your event" when a driver sets it.
//
// Thread rule: Call may be used by several threads at once; answers are
// matched by request id.
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "kernel/client/wire.h"

namespace kclient {

class KernelConnection {
public:
    // The process's shared connection to the socket of kwire::ClientSocketPath,
    // made on first use and again after the previous one broke or the path
    // changed. Null when no kernel host answers.
    static std::shared_ptr<KernelConnection> Shared();
    // A private connection to `path`; null when nothing listens there.
    static std::shared_ptr<KernelConnection> Open(const std::string& path);

    ~KernelConnection();
    KernelConnection(const KernelConnection&) = delete;
    KernelConnection& operator=(const KernelConnection&) = delete;

    // Sends a request and waits for its answer; false once the connection
    // is lost.
    bool Call(kwire::MessageType type, std::vector<std::uint8_t> payload, kwire::Frame* reply);
    bool Alive() const { return !m_dead.load(); }

private:
    explicit KernelConnection(int fd);
    void ReaderLoop();
    void ServeKernelQuestion(const kwire::Frame& frame);
    bool Send(const kwire::Frame& frame);

    int m_fd;
    std::atomic<bool> m_dead{false};
    std::atomic<std::uint32_t> m_nextId{1};
    std::mutex m_writeLock;  // one frame at a time on the socket
    std::mutex m_lock;  // guards m_answers
    std::condition_variable m_answered;
    std::map<std::uint32_t, std::optional<kwire::Frame>> m_answers;  // waiting ids
    std::thread m_reader;
};

}  // namespace kclient
