#include "kernel/client/kernel_connection.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "base/ntstatus.h"
#include "base/sync.h"

namespace kclient {
namespace {

int ConnectTo(const std::string& path) {
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path)) return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether `handle` names one of this process's events.
NTSTATUS CheckEvent(std::uint32_t handle) {
    const HANDLE h = reinterpret_cast<HANDLE>(std::uintptr_t(handle));
    if (plat::LookupHandleAs<plat::Event>(h)) return STATUS_SUCCESS;
    return plat::LookupHandle(h) ? STATUS_OBJECT_TYPE_MISMATCH : STATUS_INVALID_HANDLE;
}

}  // namespace

std::shared_ptr<KernelConnection> KernelConnection::Shared() {
    static std::mutex lock;
    static std::shared_ptr<KernelConnection> shared;
    static std::string shared_path;
    std::lock_guard guard(lock);
    const std::string path = kwire::ClientSocketPath();
    if (!shared || !shared->Alive() || path != shared_path) {
        shared = Open(path);
        shared_path = path;
    }
    return shared;
}

std::shared_ptr<KernelConnection> KernelConnection::Open(const std::string& path) {
    const int fd = ConnectTo(path);
    if (fd < 0) return nullptr;
    return std::shared_ptr<KernelConnection>(new KernelConnection(fd));
}

KernelConnection::KernelConnection(int fd) : m_fd(fd) { m_reader = std::thread([this] { ReaderLoop(); }); }

KernelConnection::~KernelConnection() {
    ::shutdown(m_fd, SHUT_RDWR);
    if (m_reader.joinable()) m_reader.join();
    ::close(m_fd);
}

bool KernelConnection::Send(const kwire::Frame& frame) {
    std::lock_guard lock(m_writeLock);
    return kwire::WriteFrame(m_fd, frame);
}

bool KernelConnection::Call(kwire::MessageType type, std::vector<std::uint8_t> payload, kwire::Frame* reply) {
    const std::uint32_t id = m_nextId.fetch_add(1);
    {
        std::lock_guard lock(m_lock);
        if (m_dead) return false;
        m_answers.emplace(id, std::nullopt);
    }
    if (!Send({type, id, std::move(payload)})) {
        std::lock_guard lock(m_lock);
        m_answers.erase(id);
        return false;
    }
    std::unique_lock lock(m_lock);
    m_answered.wait(lock, [&] { return m_dead || m_answers.at(id).has_value(); });
    auto answer = std::move(m_answers.at(id));
    m_answers.erase(id);
    if (!answer) return false;
    *reply = std::move(*answer);
    return true;
}

void KernelConnection::ServeKernelQuestion(const kwire::Frame& frame) {
    kwire::Reader reader(frame.payload);
    std::uint32_t handle = 0, access = 0;
    if (!reader.U32(&handle)) return;
    if (frame.type == kwire::MessageType::SignalEvent) {
        SetEvent(reinterpret_cast<HANDLE>(std::uintptr_t(handle)));
        return;
    }
    reader.U32(&access);  // events here carry every access right
    const NTSTATUS status = CheckEvent(handle);
    Send({kwire::MessageType::HandleAnswer, frame.id, kwire::Writer().U32(std::uint32_t(status)).Take()});
}

void KernelConnection::ReaderLoop() {
    kwire::Frame frame;
    while (kwire::ReadFrame(m_fd, &frame)) {
        if (frame.type == kwire::MessageType::CheckHandle || frame.type == kwire::MessageType::SignalEvent) {
            ServeKernelQuestion(frame);
            continue;
        }
        std::lock_guard lock(m_lock);
        const auto it = m_answers.find(frame.id);
        if (it != m_answers.end()) it->second = std::move(frame);
        m_answered.notify_all();
    }
    std::lock_guard lock(m_lock);
    m_dead = true;
    m_answered.notify_all();
}

}  // namespace kclient
