#include "kernel/host/client_session.h"

#include <sys/socket.h>
#include <unistd.h>

#include "base/format.h"
#include "kernel/io_requests.h"

namespace khost {

using kwire::Frame;
using kwire::MessageType;

ClientSession::ClientSession(int fd, kern::HostedMachine* machine, bool may_manage_volumes)
    : m_fd(fd), m_machine(machine), m_mayManageVolumes(may_manage_volumes) {}

ClientSession::~ClientSession() {
    Stop();
    ::close(m_fd);
}

void ClientSession::Start() {
    m_reader = std::thread([this] { ReaderLoop(); });
    m_executor = std::thread([this] { ExecutorLoop(); });
}

void ClientSession::Stop() {
    ::shutdown(m_fd, SHUT_RDWR);
    if (m_reader.joinable()) m_reader.join();
    if (m_executor.joinable()) m_executor.join();
}

std::string ClientSession::Describe() const { return plat::Format("client on socket %d", m_fd); }

bool ClientSession::Send(const Frame& frame) {
    std::lock_guard lock(m_writeLock);
    return kwire::WriteFrame(m_fd, frame);
}

void ClientSession::ReaderLoop() {
    Frame frame;
    while (kwire::ReadFrame(m_fd, &frame)) {
        std::lock_guard lock(m_lock);
        if (frame.type != MessageType::HandleAnswer &&
            (m_requests.size() >= kMaxQueuedRequests || m_queuedBytes + frame.payload.size() > kMaxQueuedBytes)) {
            // A client that sends far ahead of the answers (and does not
            // read them) would make the queue grow without end: it is
            // dropped, and what it queued is not run.
            m_requests.clear();
            m_queuedBytes = 0;
            ::shutdown(m_fd, SHUT_RDWR);
            break;
        }
        if (frame.type == MessageType::HandleAnswer) {
            kwire::Reader reader(frame.payload);
            std::uint32_t status = std::uint32_t(STATUS_INVALID_HANDLE);
            reader.U32(&status);
            const auto it = m_questions.find(frame.id);
            if (it != m_questions.end()) it->second = static_cast<NTSTATUS>(status);
        } else {
            m_queuedBytes += frame.payload.size();
            m_requests.push_back(std::move(frame));
        }
        m_changed.notify_all();
    }
    std::lock_guard lock(m_lock);
    m_disconnected = true;
    m_changed.notify_all();
}

void ClientSession::ExecutorLoop() {
    // Every request runs in the client's process context, so handles it
    // names are the client's.
    kern::ScopedProcess as_client(shared_from_this());
    for (;;) {
        Frame request;
        {
            std::unique_lock lock(m_lock);
            m_changed.wait(lock, [&] { return !m_requests.empty() || m_disconnected; });
            if (m_requests.empty()) break;
            request = std::move(m_requests.front());
            m_requests.pop_front();
            m_queuedBytes -= request.payload.size();
        }
        Send(Execute(request));
    }
    CloseAllFiles();
    // The client stopped sending and has every answer: end the stream, so
    // it sees the end now rather than when the session is reaped.
    ::shutdown(m_fd, SHUT_WR);
    m_finished = true;
}

void ClientSession::CloseAllFiles() {
    for (auto& [id, file] : m_files) kern::CloseFile(file);
    m_files.clear();
}

Frame ClientSession::Execute(const Frame& request) {
    switch (request.type) {
        case MessageType::Open: return Open(request);
        case MessageType::Control: return Control(request);
        case MessageType::Close: return Close(request);
        case MessageType::Command: return Command(request);
        case MessageType::DriveQuery: return DriveQuery(request);
        default: return {MessageType::CommandReply, request.id, kwire::Writer().U32(std::uint32_t(STATUS_INVALID_PARAMETER)).Take()};
    }
}

Frame ClientSession::Open(const Frame& request) {
    kwire::Reader reader(request.payload);
    std::uint32_t access = 0;
    std::u16string path;
    NTSTATUS status = STATUS_INVALID_PARAMETER;
    std::uint32_t id = 0;
    if (reader.U32(&access) && reader.Text16(&path)) {
        PFILE_OBJECT file = nullptr;
        status = kern::OpenFile(path, access, UserMode, &file);
        if (NT_SUCCESS(status)) {
            id = m_nextFile++;
            m_files.emplace(id, file);
        }
    }
    return {MessageType::OpenReply, request.id, kwire::Writer().U32(std::uint32_t(status)).U32(id).Take()};
}

Frame ClientSession::Control(const Frame& request) {
    kwire::Reader reader(request.payload);
    std::uint32_t id = 0, code = 0, output_length = 0;
    kwire::Writer answer;
    const bool parsed = reader.U32(&id) && reader.U32(&code) && reader.U32(&output_length) &&
                        output_length <= kwire::kMaxPayload;
    const NTSTATUS refusal = !parsed ? STATUS_INVALID_PARAMETER : !m_files.count(id) ? STATUS_INVALID_HANDLE : STATUS_SUCCESS;
    if (!NT_SUCCESS(refusal))
        return {MessageType::ControlReply, request.id, answer.U32(std::uint32_t(refusal)).U32(0).U32(0).Take()};
    std::vector<std::uint8_t> input = reader.Rest();
    std::vector<std::uint8_t> output(output_length);
    const kern::ControlResult result =
        kern::DeviceControl(m_files.at(id), code, input.empty() ? nullptr : input.data(), ULONG(input.size()),
                            output.empty() ? nullptr : output.data(), output_length, UserMode);
    const std::size_t returned = std::min<std::size_t>(result.information, output.size());
    answer.U32(std::uint32_t(result.status)).U32(std::uint32_t(returned)).U32(result.fast_io ? 1 : 0);
    answer.Bytes(output.data(), returned);
    return {MessageType::ControlReply, request.id, answer.Take()};
}

Frame ClientSession::Close(const Frame& request) {
    kwire::Reader reader(request.payload);
    std::uint32_t id = 0;
    NTSTATUS status = STATUS_INVALID_HANDLE;
    if (reader.U32(&id) && m_files.count(id)) {
        kern::CloseFile(m_files.at(id));
        m_files.erase(id);
        status = STATUS_SUCCESS;
    }
    return {MessageType::CloseReply, request.id, kwire::Writer().U32(std::uint32_t(status)).Take()};
}

Frame ClientSession::Command(const Frame& request) {
    std::vector<std::string> words;
    std::string word;
    for (std::uint8_t byte : request.payload) {
        if (byte == 0) {
            words.push_back(std::move(word));
            word.clear();
        } else {
            word += char(byte);
        }
    }
    const kern::CommandResult result = m_machine->Execute(words);
    return {MessageType::CommandReply, request.id,
            kwire::Writer().U32(std::uint32_t(result.status)).Bytes(result.text.data(), result.text.size()).Take()};
}

Frame ClientSession::DriveQuery(const Frame& request) {
    kwire::Reader reader(request.payload);
    std::uint32_t letter = 0;
    kern::DriveInfo info;
    if (reader.U32(&letter) && letter >= 'A' && letter <= 'Z') info = m_machine->QueryDrive(WCHAR(letter));
    return {MessageType::DriveReply, request.id,
            kwire::Writer()
                .U32(std::uint32_t(info.space_status))
                .U32(info.type)
                .U64(info.total_bytes)
                .U64(info.free_bytes)
                .Text8(info.mount_point)
                .Take()};
}

// Runs on the executor thread inside a driver's dispatch routine: the
// question goes to the client, whose reader thread answers at once.
NTSTATUS ClientSession::CheckEventHandle(ULONG handle, ACCESS_MASK access) {
    std::uint32_t id;
    {
        std::lock_guard lock(m_lock);
        if (m_disconnected) return STATUS_INVALID_HANDLE;
        id = m_nextQuestion++;
        m_questions.emplace(id, std::nullopt);
    }
    if (!Send({MessageType::CheckHandle, id, kwire::Writer().U32(handle).U32(access).Take()})) {
        std::lock_guard lock(m_lock);
        m_questions.erase(id);
        return STATUS_INVALID_HANDLE;
    }
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [&] { return m_disconnected || m_questions.at(id).has_value(); });
    const NTSTATUS status = m_questions.at(id).value_or(STATUS_INVALID_HANDLE);
    m_questions.erase(id);
    return status;
}

void ClientSession::SignalEvent(ULONG handle) {
    Send({MessageType::SignalEvent, 0, kwire::Writer().U32(handle).Take()});
}

}  // namespace khost
