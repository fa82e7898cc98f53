// CPacketSocket: packet framing (PacketFormat.h) and the correlation of a
// request with its reply.
//
// Threads: SendMsg may be called from any thread. SendAndWait holds the
// request lock for the whole exchange (one outstanding request per socket)
// and shares only the wait lock with Packetize, which runs in the manager's
// message thread (for replies, and answers a client takes there, also its
// Event thread) with the socket's lock held. The sequence counter changes
// only by interlocked increments.
#pragma once

#include <atomic>
#include <map>
#include <mutex>

#include "containers/queue.h"
#include "sockets/BufferSocket.h"
#include "sockets/PacketFormat.h"

class CPacketSocket : public CBufferSocket {
public:
    using CBufferSocket::CBufferSocket;
    ~CPacketSocket() override;

    // The payload belongs to the callee, which frees it.
    virtual void OnMsg(BYTE* payload, DWORD length, ReplyContext* context, DWORD flags);
    virtual void OnSys(BYTE* payload, DWORD length, ReplyContext* context, DWORD flags);
    // Leave the bytes unchanged.
    virtual void SendHook(BYTE* data, DWORD length);
    virtual void ReceiveHook(BYTE* data, DWORD length);

    // One packet: with a reply context the reply's long header, else the
    // short one. 0 or -1.
    int SendMsg(const void* payload, DWORD length, const ReplyContext* context, DWORD flags);
    // Sends a request (flags with PACKET_REQUEST) and waits up to `timeout_ms`
    // for its reply. At most `reply_size` bytes are copied to `reply`; the
    // reply's full length is stored in *reply_length. 0 when the reply came,
    // -1 with ERROR_CANCELLED or WAIT_TIMEOUT otherwise.
    int SendAndWait(const void* payload, DWORD length, BYTE* reply, DWORD reply_size, DWORD* reply_length,
                    DWORD timeout_ms, DWORD flags);
    // Cuts one packet off the received bytes and handles it. 1 when one was
    // handled, 0 when no whole packet is buffered, -1 when the peer announced
    // a payload beyond kMaxPayload (the connection must then be closed).
    int Packetize(zmsdk::queue* queue);
    // A whole packet (or a header to refuse) is buffered for Packetize.
    bool HasPacket();
    // Right after a receive, on the Event thread: hands the whole replies at
    // the head of the received bytes to their waiters, so that a reply does
    // not wait for the Msg thread as well. With `messages`, the whole
    // application messages there are cut into it too while none of this
    // socket's is still to be delivered from the manager's queue (so their
    // order stays the one they arrived in). True when a whole packet of
    // another kind (or one to refuse) is left for the Msg thread to cut.
    bool CutLeadingReplies(zmsdk::queue* messages = nullptr);
    // The manager has delivered one of the application messages cut.
    void MessageDelivered() { --m_undelivered; }

    LONG Sequence() const { return m_sequence; }

protected:
    struct Waiter {
        HANDLE event = nullptr;
        BYTE* buffer = nullptr;
        DWORD bufferSize = 0;
        DWORD* length = nullptr;
    };
    // Takes out the waiter registered for key `d` (none: event is null).
    Waiter TakeWaiter(DWORD d);
    // The header, then the payload after the send hook, as one block.
    int SendPacket(const PacketHeader& header, const void* payload);
    void DeliverReply(DWORD d, BYTE* payload, DWORD length);
    void Dispatch(const PacketHeader& header, BYTE* payload, zmsdk::queue* queue);
    enum class Head { kIncomplete, kReply, kMessage, kOther };
    // What the received bytes begin with, with the socket's lock held.
    Head HeadPacketLocked();

    volatile LONG m_sequence = 0;
    std::map<DWORD, HANDLE> m_replyEvents;
    std::map<DWORD, std::pair<BYTE*, DWORD>> m_replyBuffers;
    std::map<DWORD, DWORD*> m_replyLengths;
    std::mutex m_requestLock;
    std::mutex m_waitLock;
    // Application messages cut (under the socket's lock) and not yet
    // delivered (MessageDelivered).
    std::atomic<int> m_undelivered{0};
};
