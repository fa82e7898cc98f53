// Cutting packets off the bytes a peer sent: headers of 8 and 24 bytes,
// announced lengths up to and beyond the limit, replies for a request that
// is waiting (into a buffer smaller than the reply) and for none, arriving
// in chunks of every size. The first input byte chooses the chunk size.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "base/sync.h"
#include "base/handle.h"
#include "sockets/PacketSocket.h"

namespace {

class FedSocket : public CPacketSocket {
public:
    FedSocket() : CPacketSocket(0, nullptr) {
        m_pReceived = std::make_unique<dynbuffer>();
        m_dataSeen = true;
    }
    void Feed(const uint8_t* bytes, std::size_t size) {
        std::lock_guard lock(m_lock);
        m_pReceived->Append(bytes, static_cast<DWORD>(size));
    }
    // A request waiting under key 1 for a reply of up to 16 bytes.
    void AwaitReply(HANDLE event) {
        std::lock_guard wait(m_waitLock);
        m_sequence = 1;
        m_replyEvents[1] = event;
        m_replyBuffers[1] = {m_reply, sizeof m_reply};
        m_replyLengths[1] = &m_replyLength;
    }
    void ForgetReply() {
        std::lock_guard wait(m_waitLock);
        TakeWaiter(1);
    }

private:
    BYTE m_reply[16] = {};
    DWORD m_replyLength = 0;
};

void Drain(zmsdk::queue& queue) {
    while (queue.Count() > 0) {
        auto* message = reinterpret_cast<SocketMessage*>(queue.Pop());
        std::free(message->payload);
        delete message->context;
        delete message;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = 1 + data[0];
    const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    zmsdk::queue queue;
    {
        FedSocket socket;
        socket.AwaitReply(event);
        bool open = true;
        for (std::size_t at = 1; open && at < size; at += chunk) {
            socket.Feed(data + at, std::min(chunk, size - at));
            int cut;
            while ((cut = socket.Packetize(&queue)) == 1) {
            }
            open = cut == 0;  // -1: the connection would be closed here
        }
        socket.ForgetReply();
    }
    Drain(queue);
    CloseHandle(event);
    return 0;
}
