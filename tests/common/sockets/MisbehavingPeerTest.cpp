// Peers that break the protocol: the server closes or ignores them and goes
// on serving a registered client.
#include <random>
#include <stdexcept>

#include "SocketTestSupport.h"

namespace {

using namespace sockettest;

class MisbehavingPeer : public ServedClientTest<EchoServer> {
protected:
    void Connect(RawPeer& peer) {
        ASSERT_TRUE(peer.Connect(port));
        ASSERT_TRUE(server.WaitForConnections(2));
    }
};

TEST_F(MisbehavingPeer, AHeaderClaimingAHugePayloadClosesThatConnection) {
    RawPeer peer;
    Connect(peer);
    ASSERT_TRUE(peer.Send(Header(0x7FFFFFFF, PACKET_MSG)));
    EXPECT_TRUE(peer.SeesClose());
    EXPECT_TRUE(log.Contains("refused (limit"));
    ExpectServed();
}

TEST_F(MisbehavingPeer, RandomBytesDoNotStopTheServer) {
    std::mt19937 random(1234);
    for (int round = 0; round < 4; ++round) {
        RawPeer peer;
        Connect(peer);
        std::vector<BYTE> noise(256);
        for (auto& b : noise) b = static_cast<BYTE>(random());
        ASSERT_TRUE(peer.Send(noise));
        peer.Close();
        ASSERT_TRUE(server.WaitForConnections(1));
    }
    ExpectServed();
}

TEST_F(MisbehavingPeer, ARegistrationOfTheWrongSizeIsDeclined) {
    RawPeer peer;
    Connect(peer);
    std::vector<BYTE> request(kLongHeaderSize, 0);
    WriteLe32(request.data(), 10);
    WriteLe32(request.data() + 4, PACKET_SYS | PACKET_REQUEST | PACKET_REGISTER);
    for (DWORD at = 8; at < 24; at += 4) WriteLe32(request.data() + at, 7);
    ASSERT_TRUE(peer.Send(Concat(request, std::vector<BYTE>(10, 1))));
    const auto answer = peer.Receive(kLongHeaderSize);
    ASSERT_EQ(answer.size(), kLongHeaderSize);
    EXPECT_EQ(ReadLe32(answer.data()), 0u) << "an empty answer declines";
    EXPECT_EQ(ReadLe32(answer.data() + 4), PACKET_SYS | PACKET_REPLY | PACKET_REGISTER);
    EXPECT_EQ(ReadLe32(answer.data() + 20), 7u);
    EXPECT_TRUE(peer.SeesClose());
    ExpectServed();
}

TEST_F(MisbehavingPeer, MessagesBeforeRegistrationAreNotDelivered) {
    RawPeer peer;
    Connect(peer);
    ASSERT_TRUE(peer.Send(Concat(Header(2, PACKET_MSG), {0xDE, 0xAD})));
    // A ping in the same stream is answered once the message was cut.
    ASSERT_TRUE(peer.Send(Header(0, PACKET_SYS | PACKET_PING)));
    EXPECT_EQ(peer.Receive(8), Header(0, PACKET_SYS | PACKET_PINGANSWER));
    ExpectServed();
    EXPECT_EQ(server.requests, 1) << "only the registered client's request may reach the dispatcher";
    EXPECT_TRUE(log.Contains("message before registration dropped"));
}

TEST_F(MisbehavingPeer, APeerVanishingMidPacketIsCleanedUp) {
    RawPeer peer;
    Connect(peer);
    ASSERT_TRUE(peer.Send(Concat(Header(100, PACKET_MSG), std::vector<BYTE>(10, 3))));
    peer.Close();
    ASSERT_TRUE(server.WaitForConnections(1));
    ExpectServed();
}

TEST_F(MisbehavingPeer, AHandlerThatThrowsDoesNotStopDelivery) {
    server.SetDispatcher([](CZmArchive& request, CZmArchive& response) {
        if (request.GetLength(TRUE) == 1 && *request.GetBuffer(TRUE) == 0xEE) throw std::runtime_error("bad request");
        response.PutBytes(request.GetBuffer(TRUE), request.GetLength(TRUE));
    });
    ASSERT_EQ(good->SendMsg("\xEE", 1, nullptr, PACKET_MSG), 0);
    ExpectServed();
    EXPECT_TRUE(log.Contains("exception occured"));
}

}  // namespace
