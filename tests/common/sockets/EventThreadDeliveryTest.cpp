// A client manager that takes its answers on the Event thread: messages
// still arrive in the order they were sent, also when system packets for
// the Msg thread lie between them, and no answer is left unseen.
#include <atomic>

#include "SocketTestSupport.h"

namespace {

using namespace sockettest;

const std::vector<BYTE> kPing{0, 0, 0, 0, 0x06, 0, 0, 0};

// Slow to take a message, so that more arrive while the Msg thread still
// delivers earlier ones.
class AnswersOnEventThread : public ClientManager {
public:
    AnswersOnEventThread() { SetDeliverOnEventThread(true); }
    void OnMsg(CEncryptSocket* socket, BYTE* payload, DWORD length, ReplyContext* context, DWORD flags) override {
        ClientManager::OnMsg(socket, payload, length, context, flags);
        if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::atomic<bool> slow{false};
};

// A client of the test's own raw service, registered.
class EventThreadDelivery : public ::testing::Test {
protected:
    void SetUp() override {
        sockaddr_in local = Loopback(FreePort());
        ASSERT_EQ(ws::bind(listener.Handle(), reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        ASSERT_EQ(ws::listen(listener.Handle(), 1), 0);
        ASSERT_EQ(gui.Create(FALSE), 0);
        gui.SetRegistrationTimeout(5000);
        connection = gui.NewSocket();
        std::thread serve([&] {
            service = std::make_unique<RawPeer>(ws::WSAAccept(listener.Handle(), nullptr, nullptr));
            AcceptRegistration(*service);
        });
        ASSERT_EQ(connection->Connect("localhost", ntohs(local.sin_port), FALSE), 0);
        serve.join();
    }
    void TearDown() override {
        service.reset();  // so that the client's close need not wait for it
        gui.Shutdown();
        delete connection;
    }

    LibraryScope library;
    RawPeer listener;
    std::unique_ptr<RawPeer> service;
    AnswersOnEventThread gui;
    CEncryptSocket* connection = nullptr;
};

TEST_F(EventThreadDelivery, MessagesKeepTheirOrderAroundPacketsLeftForTheMsgThread) {
    constexpr int kBursts = 10;
    constexpr int kPerPart = 10;
    gui.slow = true;
    auto part = [](int first) {
        std::vector<BYTE> bytes;
        for (int i = first; i < first + kPerPart; ++i) bytes = Concat(bytes, Message(1, static_cast<BYTE>(i)));
        return bytes;
    };
    for (int burst = 0; burst < kBursts; ++burst) {
        const std::size_t before = gui.messages.size();
        // The Event thread takes the first message and leaves the rest
        // behind the ping to the Msg thread; the second part arrives while
        // that one still delivers them, so it must wait its turn.
        ASSERT_TRUE(service->Send(Concat(Concat(Message(1, 0xFF), kPing), part(0))));
        ASSERT_TRUE(gui.WaitForMessages(before + 1));
        ASSERT_TRUE(service->Send(part(kPerPart)));
        ASSERT_TRUE(gui.WaitForMessages(before + 1 + 2 * kPerPart)) << "burst " << burst;
    }
    std::lock_guard lock(gui.signal.Mutex());
    for (std::size_t n = 0; n < gui.messages.size(); ++n) {
        const std::size_t at = n % (1 + 2 * kPerPart);
        ASSERT_EQ(gui.messages[n], std::vector<BYTE>{static_cast<BYTE>(at == 0 ? 0xFF : at - 1)}) << "message " << n;
    }
}

// Each answer is sent once its request has been read, so it lands at any
// point of the client's receive path: none may be left unseen.
TEST_F(EventThreadDelivery, EveryAnswerIsDelivered) {
    constexpr int kRounds = 3000;
    std::thread answer([&] {
        for (int i = 0; i < kRounds; ++i)
            if (service->Receive(kShortHeaderSize + 1).empty() || !service->Send(Message(1, 7))) return;
    });
    std::size_t seen = 0;
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_EQ(connection->SendMsg("?", 1, nullptr, PACKET_MSG), 0);
        if (!gui.WaitForMessages(seen + 1)) break;
        ++seen;
    }
    EXPECT_EQ(seen, static_cast<std::size_t>(kRounds)) << "an answer was left unseen";
    answer.join();
}

}  // namespace
