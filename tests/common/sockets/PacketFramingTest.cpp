// Packet framing: the bytes on the wire, cutting packets off the received
// bytes, and the correlation of replies with their requests.
#include <thread>

#include "SocketTestSupport.h"
#include "sockets/PacketSocket.h"

namespace {

using namespace sockettest;

// A packet socket whose received bytes the test supplies, recording the
// system packets it is handed.
class FramedSocket : public CPacketSocket {
public:
    FramedSocket() : CPacketSocket(0, nullptr) {}
    void Feed(const std::vector<BYTE>& bytes) {
        std::lock_guard lock(m_lock);
        if (!m_pReceived) m_pReceived = std::make_unique<dynbuffer>();
        m_dataSeen = true;
        m_pReceived->Append(bytes.data(), static_cast<DWORD>(bytes.size()));
    }
    void OnSys(BYTE* payload, DWORD length, ReplyContext* context, DWORD flags) override {
        system.push_back({std::vector<BYTE>(payload, payload + length), flags, context != nullptr});
        std::free(payload);
    }
    void Attach(SOCKET s) { SetHandle(s); }
    HANDLE CancelEvent() const { return m_hCancel; }

    struct Received {
        std::vector<BYTE> payload;
        DWORD flags;
        bool hasContext;
    };
    std::vector<Received> system;
};

// A connected pair: a packet socket on one end, a raw peer on the other.
class Framing : public ::testing::Test {
protected:
    void SetUp() override {
        const WORD port = FreePort();
        const SOCKET listener = ws::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0);
        sockaddr_in a = Loopback(port);
        ASSERT_EQ(ws::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(ws::listen(listener, 1), 0);
        ASSERT_TRUE(peer.Connect(port));
        socket.Attach(ws::WSAAccept(listener, nullptr, nullptr));
        ws::closesocket(listener);
    }
    void TearDown() override {
        while (queue.Count() > 0) {
            auto* m = reinterpret_cast<SocketMessage*>(queue.Pop());
            std::free(m->payload);
            delete m->context;
            delete m;
        }
    }
    LibraryScope library;
    RawPeer peer;
    FramedSocket socket;
    zmsdk::queue queue;
};

TEST_F(Framing, ShortAndLongHeadersOnTheWire) {
    const std::vector<BYTE> ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_EQ(socket.SendMsg(ten.data(), 10, nullptr, PACKET_MSG), 0);
    EXPECT_EQ(peer.Receive(18), Concat({0x0A, 0, 0, 0, 0x01, 0, 0, 0}, ten));

    ASSERT_EQ(socket.SendMsg(nullptr, 0, nullptr, PACKET_SYS | PACKET_PING), 0);
    EXPECT_EQ(peer.Receive(8), (std::vector<BYTE>{0, 0, 0, 0, 0x06, 0, 0, 0}));

    const ReplyContext context{0x44, 0x11, 0x22, 0x33, TRUE};
    ASSERT_EQ(socket.SendMsg(nullptr, 0, &context, PACKET_SYS | PACKET_REGISTER), 0);
    EXPECT_EQ(peer.Receive(24), (std::vector<BYTE>{0, 0, 0, 0, 0x62, 0, 0, 0, 0x11, 0, 0, 0, 0x22, 0, 0, 0, 0x33, 0,
                                                   0, 0, 0x44, 0, 0, 0}));
}

TEST_F(Framing, APacketIsCutOnlyOnceAllOfItArrivedAndCoalescedPacketsOneByOne) {
    const auto first = Concat(Header(3, PACKET_SYS | PACKET_PINGANSWER), {7, 8, 9});
    socket.Feed({first.begin(), first.begin() + 9});
    EXPECT_EQ(socket.Packetize(&queue), 0);
    socket.Feed({first.begin() + 9, first.end()});
    socket.Feed(Concat(Header(1, PACKET_MSG), {0xAA}));
    socket.Feed(Concat(Header(1, PACKET_MSG), {0xBB}));
    EXPECT_EQ(socket.Packetize(&queue), 1);
    EXPECT_EQ(socket.Packetize(&queue), 1);
    EXPECT_EQ(socket.Packetize(&queue), 1);
    EXPECT_EQ(socket.Packetize(&queue), 0);
    ASSERT_EQ(socket.system.size(), 1u);
    EXPECT_EQ(socket.system[0].payload, (std::vector<BYTE>{7, 8, 9}));
    ASSERT_EQ(queue.Count(), 2);
    for (BYTE expected : {0xAA, 0xBB}) {
        auto* m = reinterpret_cast<SocketMessage*>(queue.Pop());
        EXPECT_EQ(m->payload[0], expected);
        EXPECT_EQ(m->socket, &socket);
        std::free(m->payload);
        delete m;
    }
}

TEST_F(Framing, LongHeadersNeedTwentyFourBytesAndOversizedPayloadsAreRefused) {
    socket.Feed(Concat(Header(0, PACKET_SYS | PACKET_REPLY), {1, 0, 0, 0}));  // 12 bytes
    EXPECT_EQ(socket.Packetize(&queue), 0);

    FramedSocket other;
    other.Feed(Header(kMaxPayload + 1, PACKET_MSG));
    EXPECT_EQ(other.Packetize(&queue), -1);
    FramedSocket largest;
    largest.Feed(Header(kMaxPayload, PACKET_MSG));
    EXPECT_EQ(largest.Packetize(&queue), 0) << "a payload at the limit is awaited";
}

TEST_F(Framing, AReplyWithoutWaiterIsConsumedAndTheNextPacketStillCut) {
    std::vector<BYTE> reply = Header(2, PACKET_SYS | PACKET_REPLY | PACKET_REGISTER);
    for (int i = 0; i < 4; ++i) reply = Concat(reply, {0x77, 0, 0, 0});
    socket.Feed(Concat(reply, {1, 2}));
    socket.Feed(Header(0, PACKET_SYS | PACKET_PINGANSWER));
    EXPECT_EQ(socket.Packetize(&queue), 1);
    EXPECT_EQ(socket.Packetize(&queue), 1);
    ASSERT_EQ(socket.system.size(), 1u);
    EXPECT_EQ(socket.system[0].flags, PACKET_SYS | PACKET_PINGANSWER);
}

// The peer reads the request's header, learns its key and answers.
std::vector<BYTE> ReplyTo(RawPeer& peer, const std::vector<BYTE>& payload) {
    const auto request = peer.Receive(kLongHeaderSize);
    if (request.size() != kLongHeaderSize) return {};
    peer.Receive(ReadLe32(request.data()));
    std::vector<BYTE> reply(request.begin(), request.end());
    WriteLe32(reply.data(), static_cast<DWORD>(payload.size()));
    WriteLe32(reply.data() + 4, PACKET_SYS | PACKET_REPLY | PACKET_REGISTER);
    return Concat(reply, payload);
}

TEST_F(Framing, AReplyLongerThanTheBufferIsCutToItAndItsLengthReported) {
    std::array<BYTE, 8> buffer;
    buffer.fill(0xCC);
    std::thread answer([&] {
        socket.Feed(ReplyTo(peer, std::vector<BYTE>(6, 0x5A)));
        socket.Packetize(&queue);
    });
    DWORD length = 0;
    const BYTE request[3] = {1, 2, 3};
    const int r = socket.SendAndWait(request, 3, buffer.data(), 4, &length, 10000,
                                     PACKET_SYS | PACKET_REQUEST | PACKET_REGISTER);
    answer.join();
    ASSERT_EQ(r, 0);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(buffer, (std::array<BYTE, 8>{0x5A, 0x5A, 0x5A, 0x5A, 0xCC, 0xCC, 0xCC, 0xCC}));
}

TEST_F(Framing, AReplyAfterItsWaiterGaveUpIsConsumedWithoutTouchingTheBuffer) {
    std::array<BYTE, 4> buffer;
    buffer.fill(0xCC);
    DWORD length = 0xDEAD;
    const int r = socket.SendAndWait(nullptr, 0, buffer.data(), 4, &length, 0, PACKET_SYS | PACKET_REQUEST);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);
    const LONG after = socket.Sequence();
    socket.Feed(ReplyTo(peer, {9, 9, 9, 9}));
    EXPECT_EQ(socket.Packetize(&queue), 1);
    EXPECT_EQ(buffer, (std::array<BYTE, 4>{0xCC, 0xCC, 0xCC, 0xCC}));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(socket.Sequence(), after);
}

TEST_F(Framing, ACancelledRequestFailsWithCancelled) {
    SetEvent(socket.CancelEvent());
    DWORD length = 0;
    BYTE buffer[4];
    EXPECT_EQ(socket.SendAndWait(nullptr, 0, buffer, 4, &length, 10000, PACKET_SYS | PACKET_REQUEST), -1);
    EXPECT_EQ(GetLastError(), ERROR_CANCELLED);
}

}  // namespace
