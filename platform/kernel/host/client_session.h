// One user-mode client of the kernel host: the process whose requests arrive
// on one socket connection. A reader thread takes frames off the socket
// (requests, and the client's answers to the kernel's handle questions); an
// executor thread runs the requests one after another on the client's behalf
// (kern::ScopedProcess), so a driver that references a handle from a request
// resolves it in this client. When the client goes away its open files are
// cleaned up and closed.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "kernel/client/wire.h"
#include "kernel/hosted_machine.h"
#include "kernel/kernel.h"

namespace khost {

class ClientSession final : public kern::ClientProcess, public std::enable_shared_from_this<ClientSession> {
public:
    // A client may send ahead of the answers up to this many requests (and
    // bytes); one that sends more is disconnected. Clients send one request
    // at a time per thread.
    static constexpr std::size_t kMaxQueuedRequests = 64;
    static constexpr std::size_t kMaxQueuedBytes = 2 * std::size_t(kwire::kMaxPayload);

    // `may_manage_volumes`: the client is an administrator (see MayManageVolumes).
    ClientSession(int fd, kern::HostedMachine* machine, bool may_manage_volumes);
    ~ClientSession() override;

    void Start();
    // Ends the session: shuts the socket and waits for both threads.
    void Stop();
    bool Finished() const { return m_finished.load(); }

    NTSTATUS CheckEventHandle(ULONG handle, ACCESS_MASK access) override;
    void SignalEvent(ULONG handle) override;
    std::string Describe() const override;
    bool MayManageVolumes() const override { return m_mayManageVolumes; }

private:
    void ReaderLoop();
    void ExecutorLoop();
    kwire::Frame Execute(const kwire::Frame& request);
    kwire::Frame Open(const kwire::Frame& request);
    kwire::Frame Control(const kwire::Frame& request);
    kwire::Frame Close(const kwire::Frame& request);
    kwire::Frame Command(const kwire::Frame& request);
    kwire::Frame DriveQuery(const kwire::Frame& request);
    bool Send(const kwire::Frame& frame);
    void CloseAllFiles();

    const int m_fd;
    kern::HostedMachine* const m_machine;
    const bool m_mayManageVolumes;
    std::mutex m_writeLock;  // one frame at a time; taken at up to DISPATCH_LEVEL by SignalEvent

    // Lock order: m_lock is never held while calling into the kernel.
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<kwire::Frame> m_requests;  // for the executor
    std::size_t m_queuedBytes = 0;        // payload bytes in m_requests
    std::map<std::uint32_t, std::optional<NTSTATUS>> m_questions;  // handle questions in flight
    bool m_disconnected = false;
    std::uint32_t m_nextQuestion = 0x80000000u;

    std::map<std::uint32_t, PFILE_OBJECT> m_files;  // executor thread only
    std::uint32_t m_nextFile = 1;
    std::atomic<bool> m_finished{false};
    std::thread m_reader;
    std::thread m_executor;
};

}  // namespace khost
