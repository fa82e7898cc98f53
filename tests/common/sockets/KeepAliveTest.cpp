// The keep-alive on the process clock: an idle connection is pinged after
// 600 s and closed 610 s after the ping when nothing arrives.
#include "SocketTestSupport.h"
#include "base/clock.h"

namespace {

using namespace sockettest;

const std::vector<BYTE> kPing{0, 0, 0, 0, 0x06, 0, 0, 0};

class KeepAlive : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Init(), S_OK);
        ASSERT_EQ(server.Start(), S_OK);
        ASSERT_TRUE(peer.Connect(port));
        ASSERT_TRUE(server.WaitForConnections(1));
    }
    void TearDown() override { server.Stop(); }
    // Readable data (or a close) is waiting at the peer.
    bool PeerHasData() {
        WSAPOLLFD fd{peer.Handle(), POLLIN, 0};
        return ws::WSAPoll(&fd, 1, 0) == 1;
    }
    void Step(DWORD ms) {
        clock->Advance(ms);
        server.CheckKeepAlive();
    }

    plat::ScopedManualClock clock;
    LibraryScope library;
    CapturedLog log;
    WORD port = FreePort();
    EchoServer server{port};
    RawPeer peer;
};

TEST_F(KeepAlive, SilenceAfterThePingClosesTheConnection) {
    Step(599000);
    EXPECT_FALSE(PeerHasData());
    Step(1000);
    EXPECT_EQ(peer.Receive(8), kPing);
    Step(0);  // the next check starts the 610 s from now
    Step(300000);
    EXPECT_FALSE(PeerHasData()) << "a second ping";
    Step(310000);
    EXPECT_TRUE(peer.SeesClose());
    EXPECT_TRUE(log.Contains("SEND PING"));
    EXPECT_TRUE(log.Contains("TARGET TIMEOUT"));
    EXPECT_TRUE(server.WaitForConnections(0));
}

TEST_F(KeepAlive, AnAnswerKeepsTheConnection) {
    Step(600000);
    ASSERT_EQ(peer.Receive(8), kPing);
    const std::size_t before = server.events.size();
    ASSERT_TRUE(peer.Send(Header(0, PACKET_SYS | PACKET_PINGANSWER)));
    ASSERT_TRUE(server.signal.WaitFor([&] {
        for (std::size_t i = before; i < server.events.size(); ++i)
            if (server.events[i] == FD_READ) return true;
        return false;
    }));
    Step(300000);
    Step(305000);
    EXPECT_EQ(peer.Receive(8), kPing) << "idle again for 600 s after the answer";
    EXPECT_FALSE(log.Contains("TARGET TIMEOUT"));
    EXPECT_EQ(server.ConnectionCount(), 1);
}

}  // namespace
