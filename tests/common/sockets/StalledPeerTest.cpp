// Peers that stop reading, send faster than they are served or never close:
// sends never wait for them, their connections are closed once their output
// cannot go out, their input is read only as fast as it is served, and a
// stop waits for all of them together. The process clock is manual, so every wait that
// ends by time ends because the test moved the clock.
#include "SocketTestSupport.h"
#include "base/clock.h"

namespace {

using namespace sockettest;

constexpr DWORD kBigMessage = 64 * 1024;
// More than the kernel's buffers of one loopback connection plus the send
// queue's limit can hold, in kBigMessage requests.
constexpr int kMaxFloodRequests = 1024;

// An echo server that counts the answers it has handed to the sockets and
// keeps the connections it accepted.
class AnsweringServer : public EchoServer {
public:
    using EchoServer::EchoServer;
    void OnEvent(CEncryptSocket* socket, long code) override {
        if (code == FD_ACCEPT) signal.Notify([&] { accepted.push_back(socket); });
        EchoServer::OnEvent(socket, code);
    }
    void OnMsg(CEncryptSocket* socket, BYTE* payload, DWORD length, ReplyContext* context, DWORD flags) override {
        EchoServer::OnMsg(socket, payload, length, context, flags);
        signal.Notify([&] { ++answered; });
    }
    bool WaitForAnswers(int count) {
        return signal.WaitFor([&] { return answered >= count; });
    }
    // The server's side of the connection accepted `index`-th (counting
    // from 0), while it is open.
    CEncryptSocket* Accepted(std::size_t index) {
        std::lock_guard lock(signal.Mutex());
        return index < accepted.size() ? accepted[index] : nullptr;
    }
    int answered = 0;
    std::vector<CEncryptSocket*> accepted;
};

// The process clock is the manual one from before the server starts (in
// SetUp) until after it has stopped (in TearDown).
class StalledPeer : public ServedClientTest<AnsweringServer> {
protected:
    // A raw peer, connected and registered, whose sends give up after the bound.
    void ConnectRegistered(RawPeer& peer, LONG connections) {
        ASSERT_TRUE(peer.Connect(port));
        ASSERT_TRUE(server.WaitForConnections(connections));
        ASSERT_TRUE(RegisterRaw(peer));
        const timeval bound{static_cast<time_t>(kBound.count()), 0};
        ws::setsockopt(peer.Handle(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&bound), sizeof bound);
    }

    plat::ScopedManualClock clock;
};

TEST_F(StalledPeer, APeerThatNeverReadsIsClosedAtTheQueueLimitAndOthersAreServedMeanwhile) {
    RawPeer flooder;
    ConnectRegistered(flooder, 2);
    const std::vector<BYTE> request = Message(kBigMessage, 7);
    int sent = 0;
    while (sent < kMaxFloodRequests && server.ConnectionCount() == 2 && flooder.Send(request)) {
        ++sent;
        if (sent % 16 == 0) ExpectServed();
    }
    EXPECT_TRUE(server.WaitForConnections(1)) << "still open after " << sent << " requests of " << kBigMessage << " bytes";
    EXPECT_TRUE(log.Contains("send queue over")) << log.Text();
    ExpectServed();
}

TEST_F(StalledPeer, AQueueThatDoesNotMoveWithinTheSendWaitClosesItsConnection) {
    RawPeer stalled;
    ConnectRegistered(stalled, 2);
    CEncryptSocket* side = server.Accepted(1);
    ASSERT_NE(side, nullptr);
    // Requests go out until the answers no longer fit the kernel's buffers
    // and wait in the connection's queue.
    const std::vector<BYTE> request = Message(kBigMessage, 9);
    int sent = 0;
    while (side->QueuedBytes() == 0 && sent < kMaxFloodRequests) {
        ASSERT_TRUE(stalled.Send(request));
        ASSERT_TRUE(server.WaitForAnswers(++sent));
    }
    ASSERT_GT(side->QueuedBytes(), 0u);
    ASSERT_LT(side->QueuedBytes(), SendQueue::kLimitBytes);
    ExpectServed();
    EXPECT_EQ(server.ConnectionCount(), 2) << "a queue within its limit is given its wait";

    // The manager looks for stalled sends once a second of its clock. A look
    // that fell due while its thread was busy with the request above waits
    // for the next second, which a frozen clock never brings on its own.
    clock->Advance(SendQueue::kStallMs);
    bool closed = server.WaitForConnections(1);
    for (int look = 0; !closed && look < 2; ++look) {
        clock->Advance(1000);
        closed = server.WaitForConnections(1);
    }
    EXPECT_TRUE(closed);
    EXPECT_TRUE(log.Contains("send did not complete within 10000 ms")) << log.Text();
    ExpectServed();
}

TEST_F(StalledPeer, APeerSendingFasterThanItIsServedIsReadUpToTheBoundAndServedInFull) {
    RawPeer flooder;
    ConnectRegistered(flooder, 2);
    CEncryptSocket* side = server.Accepted(1);
    ASSERT_NE(side, nullptr);
    // The service is busy with the first request until the gate opens.
    std::promise<void> gate;
    server.SetDispatcher([opened = gate.get_future().share()](CZmArchive& request, CZmArchive& response) {
        opened.wait();
        response.PutBytes(request.GetBuffer(TRUE), request.GetLength(TRUE));
    });
    // Small requests, many times the bound in all.
    constexpr DWORD kSmall = 1000;
    constexpr int kRequests = 4 * CBufferSocket::kReceiveHoldBytes / (kShortHeaderSize + kSmall);
    const std::vector<BYTE> request = Message(kSmall, 3);
    std::atomic<int> sent{0};
    std::thread send([&] {
        while (sent < kRequests && flooder.Send(request)) ++sent;
    });
    EXPECT_TRUE(Eventually([&] { return side->IsReadingHeld() || sent == kRequests; }));
    EXPECT_TRUE(side->IsReadingHeld()) << "the service took in all " << kRequests << " requests";
    EXPECT_LE(side->ReceivedBytes(), CBufferSocket::kReceiveHoldBytes);

    // Once the service catches up it reads on, and every request is answered.
    gate.set_value();
    const std::vector<BYTE> answers = flooder.Receive(std::size_t(kRequests) * (kShortHeaderSize + kSmall));
    send.join();
    EXPECT_EQ(sent, kRequests);
    EXPECT_EQ(answers.size(), std::size_t(kRequests) * (kShortHeaderSize + kSmall));
    EXPECT_EQ(server.ConnectionCount(), 2);
    ExpectServed();
}

TEST_F(StalledPeer, TheClientsSendsDoNotWaitForAServiceThatNeverReads) {
    // A listener of the test's own plays a service that registers the
    // client and then reads nothing.
    RawPeer listener;
    sockaddr_in local = Loopback(FreePort());
    ASSERT_EQ(ws::bind(listener.Handle(), reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    ASSERT_EQ(ws::listen(listener.Handle(), 1), 0);
    ClientManager gui;
    ASSERT_EQ(gui.Create(FALSE), 0);
    gui.SetRegistrationTimeout(5000);
    CEncryptSocket* connection = gui.NewSocket();
    std::unique_ptr<RawPeer> service;
    std::thread serve([&] {
        service = std::make_unique<RawPeer>(ws::WSAAccept(listener.Handle(), nullptr, nullptr));
        AcceptRegistration(*service);
    });
    ASSERT_EQ(connection->Connect("localhost", ntohs(local.sin_port), FALSE), 0);
    serve.join();

    // Every send returns at once; past the queue's limit they fail, and the
    // client's manager closes the connection.
    const std::vector<BYTE> payload(kBigMessage, 5);
    int accepted = 0;
    ASSERT_TRUE(EndsWithinBound([&] {
        while (accepted < kMaxFloodRequests && connection->SendMsg(payload.data(), kBigMessage, nullptr, PACKET_MSG) == 0)
            ++accepted;
    }));
    EXPECT_LT(accepted, kMaxFloodRequests);
    EXPECT_TRUE(Eventually([&] { return gui.SocketCount() == 0; })) << "the connection that cannot send is closed";
    EXPECT_TRUE(log.Contains("send queue over"));
    gui.Shutdown();
    delete connection;
}

TEST_F(StalledPeer, StoppingWaitsForAllPeersThatDoNotCloseTogether) {
    constexpr int kPeers = 5;
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int i = 0; i < kPeers; ++i) {
        peers.push_back(std::make_unique<RawPeer>());
        ConnectRegistered(*peers.back(), i + 2);
    }
    std::atomic<bool> stopped{false};
    std::thread stop([&] {
        server.Stop();
        stopped = true;
    });
    // Once every connection has had its close request, one close wait
    // later the stop is over, however many peers keep their side open.
    EXPECT_TRUE(Eventually([&] {
        for (std::size_t i = 1; i <= kPeers; ++i)
            if (!server.Accepted(i)->IsCloseRequested()) return false;
        return true;
    }));
    clock->Advance(CEncryptSocket::kCloseWaitMs);
    EXPECT_TRUE(Eventually([&] { return stopped.load(); })) << "the peers' waits ran one after another";
    stop.join();
    EXPECT_EQ(server.ConnectionCount(), 0);
    for (auto& peer : peers) EXPECT_TRUE(peer->SeesClose());
    EXPECT_TRUE(log.Contains("FD_CLOSE TIMEOUT"));
}

TEST_F(StalledPeer, ClientsThatCloseWhenAskedEndTheWaitWithoutAnyTimePassing) {
    std::vector<CEncryptSocket*> more;
    for (int i = 0; i < 3; ++i) {
        more.push_back(client.NewSocket());
        ASSERT_EQ(more.back()->Connect("localhost", port, FALSE), 0);
    }
    ASSERT_TRUE(server.WaitForConnections(4));
    server.RequestClose();
    EXPECT_TRUE(server.WaitForConnections(0));
    EXPECT_TRUE(EndsWithinBound([&] { server.AwaitNoConnections(INFINITE); }));
    client.Shutdown();
    for (CEncryptSocket* s : more) delete s;
}

}  // namespace
