#include "sockets/PacketSocket.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/handle.h"
#include "base/sync.h"
#include "base/win_errors.h"
#include "sockets/SocketLog.h"

CPacketSocket::~CPacketSocket() = default;

void CPacketSocket::OnMsg(BYTE* payload, DWORD, ReplyContext*, DWORD) { std::free(payload); }
void CPacketSocket::OnSys(BYTE* payload, DWORD, ReplyContext*, DWORD) { std::free(payload); }
void CPacketSocket::SendHook(BYTE*, DWORD) {}
void CPacketSocket::ReceiveHook(BYTE*, DWORD) {}

int CPacketSocket::SendPacket(const PacketHeader& header, const void* payload) {
    // Header and payload go out as one block: one copy, one send, and the
    // socket's lock keeps them together.
    std::vector<BYTE> packet(header.Size() + header.length);
    header.Encode(packet.data());
    BYTE* body = packet.data() + header.Size();
    if (header.length) std::memcpy(body, payload, header.length);
    std::lock_guard lock(m_lock);
    SendHook(body, header.length);
    return SendBlock(packet.data(), static_cast<DWORD>(packet.size()));
}

int CPacketSocket::SendMsg(const void* payload, DWORD length, const ReplyContext* context, DWORD flags) {
    if (length && !payload) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    PacketHeader header{length, flags};
    if (context) header = {length, flags | PACKET_REPLY, context->a, context->b, context->c, context->key};
    return SendPacket(header, payload);
}

int CPacketSocket::SendAndWait(const void* payload, DWORD length, BYTE* reply, DWORD reply_size,
                               DWORD* reply_length, DWORD timeout_ms, DWORD flags) {
    if ((length && !payload) || !reply_length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::lock_guard request(m_requestLock);
    m_connectResult = 0;
    *reply_length = 0;
    const DWORD s = static_cast<DWORD>(InterlockedIncrement(&m_sequence));
    {
        std::lock_guard wait(m_waitLock);
        m_replyEvents[s] = event;
        m_replyBuffers[s] = {reply, reply ? reply_size : 0};
        m_replyLengths[s] = reply_length;
    }
    int result = SendPacket(PacketHeader{length, flags, s, s, s, s}, payload);
    DWORD error = GetLastError();
    if (result == 0) {
        const HANDLE handles[] = {m_hCancel, event};
        const DWORD w = WaitForMultipleObjects(2, handles, FALSE, timeout_ms);
        error = GetLastError();
        std::lock_guard wait(m_waitLock);
        // The reply may have won the race against a time-out or a cancel
        // (a peer that answers and closes at once cancels the socket).
        const bool replied = w == WAIT_OBJECT_0 + 1 || WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
        if (!replied) {
            result = -1;
            if (w == WAIT_OBJECT_0) error = ERROR_CANCELLED;
            else if (w == WAIT_TIMEOUT) error = WAIT_TIMEOUT;
        }
    }
    {
        // The waiter leaves the maps here, so a late reply finds none and is
        // dropped; moving the counter on makes any reply to `s` stale.
        std::lock_guard wait(m_waitLock);
        TakeWaiter(s);
        InterlockedIncrement(&m_sequence);
    }
    CloseHandle(event);
    if (result != 0) SetLastError(error);
    return result;
}

CPacketSocket::Waiter CPacketSocket::TakeWaiter(DWORD d) {
    Waiter w;
    if (auto it = m_replyEvents.find(d); it != m_replyEvents.end()) {
        w.event = it->second;
        m_replyEvents.erase(it);
    }
    if (auto it = m_replyBuffers.find(d); it != m_replyBuffers.end()) {
        w.buffer = it->second.first;
        w.bufferSize = it->second.second;
        m_replyBuffers.erase(it);
    }
    if (auto it = m_replyLengths.find(d); it != m_replyLengths.end()) {
        w.length = it->second;
        m_replyLengths.erase(it);
    }
    return w;
}

void CPacketSocket::DeliverReply(DWORD d, BYTE* payload, DWORD length) {
    std::lock_guard wait(m_waitLock);
    const Waiter w = TakeWaiter(d);
    if (!w.event) return;  // no waiter for this key: the reply is dropped
    if (d == static_cast<DWORD>(m_sequence)) {
        if (w.buffer && length) std::memcpy(w.buffer, payload, std::min(length, w.bufferSize));
        if (w.length) *w.length = length;
        if (!SetEvent(w.event)) SockTrace("*** error: CPacketSocket::Packetize() SetEvent() failed %i", GetLastError());
    } else if (!CloseHandle(w.event)) {
        SockTrace("*** error: CPacketSocket::Packetize() CloseHandle() failed %i", GetLastError());
    }
}

int CPacketSocket::Packetize(zmsdk::queue* queue) {
    std::lock_guard lock(m_lock);
    if (!m_dataSeen || !m_pReceived || m_pReceived->Available() < kShortHeaderSize) return 0;
    PacketHeader header;
    if (!header.Decode(m_pReceived->Peek(), m_pReceived->Available())) return 0;
    if (header.length > kMaxPayload) {
        SockTrace("*** error: CPacketSocket::Packetize() payload of %lu bytes refused (limit %lu)", header.length,
                  kMaxPayload);
        return -1;
    }
    if (m_pReceived->Available() < header.Size() + header.length) return 0;
    std::free(m_pReceived->Take(header.Size()));
    BYTE* payload = header.length ? m_pReceived->Take(header.length) : nullptr;
    if (payload) ReceiveHook(payload, header.length);
    if (header.flags & PACKET_REPLY) {
        DeliverReply(header.d, payload, header.length);
        std::free(payload);
        return 1;
    }
    Dispatch(header, payload, queue);
    return 1;
}

CPacketSocket::Head CPacketSocket::HeadPacketLocked() {
    if (!m_dataSeen || !m_pReceived) return Head::kIncomplete;
    PacketHeader header;
    if (!header.Decode(m_pReceived->Peek(), m_pReceived->Available())) return Head::kIncomplete;
    if (header.length > kMaxPayload) return Head::kOther;
    if (m_pReceived->Available() < header.Size() + header.length) return Head::kIncomplete;
    if (header.flags & PACKET_REPLY) return Head::kReply;
    return (header.flags & PACKET_MSG) ? Head::kMessage : Head::kOther;
}

bool CPacketSocket::HasPacket() {
    std::lock_guard lock(m_lock);
    return HeadPacketLocked() != Head::kIncomplete;
}

bool CPacketSocket::CutLeadingReplies(zmsdk::queue* messages) {
    std::lock_guard lock(m_lock);
    if (CancelRequested()) return true;  // the Msg thread decides, as for every packet
    const bool take_messages = messages && m_undelivered == 0;
    for (;;) {
        switch (HeadPacketLocked()) {
            case Head::kIncomplete: return false;
            case Head::kOther: return true;
            case Head::kMessage:
                if (!take_messages) return true;
                Packetize(messages);
                break;
            case Head::kReply: Packetize(nullptr); break;
        }
    }
}

void CPacketSocket::Dispatch(const PacketHeader& header, BYTE* payload, zmsdk::queue* queue) {
    ReplyContext* context = nullptr;
    if (HasLongHeader(header.flags)) context = new ReplyContext{header.d, header.a, header.b, header.c, TRUE};
    if ((header.flags & PACKET_MSG) && queue) {
        auto* message = new SocketMessage{payload, header.length, context, header.flags, this};
        ++m_undelivered;
        queue->Push(reinterpret_cast<LONG_PTR>(message));
        return;
    }
    if (header.flags & PACKET_SYS) OnSys(payload, header.length, context, header.flags);
    else std::free(payload);
    delete context;
}
