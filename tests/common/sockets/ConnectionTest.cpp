// A client and a server built on the socket stack, on loopback: connect,
// register, exchange messages, close; permission masks and refusals.
#include <future>
#include <thread>

#include "SocketTestSupport.h"
#include "base/win_errors.h"
#include "security/account_database.h"

namespace {

using namespace sockettest;

class Connection : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Init(), S_OK);
        ASSERT_EQ(client.Create(FALSE), 0);
        client.SetRegistrationTimeout(5000);
    }
    void TearDown() override {
        client.Shutdown();
        server.Stop();
        for (CEncryptSocket* s : sockets) delete s;
    }
    // A listener with `mask` instead of the service's.
    void Listen(DWORD mask) {
        CEncryptSocket* listener = server.NewSocket();
        sockets.push_back(listener);
        ASSERT_EQ(listener->Listen(port, mask, FALSE, nullptr), 0);
    }
    CEncryptSocket* Connect(const char* host = "localhost") {
        CEncryptSocket* s = client.NewSocket();
        sockets.push_back(s);
        result = s->Connect(host, port, FALSE);
        error = GetLastError();
        return s;
    }
    std::vector<BYTE> Echo(CEncryptSocket* s, const std::vector<BYTE>& bytes) {
        const std::size_t before = client.messages.size();
        EXPECT_EQ(s->SendMsg(bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, PACKET_MSG), 0);
        if (!client.WaitForMessages(before + 1)) return {};
        return client.messages[before];
    }

    CapturedLog log;
    WORD port = FreePort();
    EchoServer server{port};
    ClientManager client;
    std::vector<CEncryptSocket*> sockets;
    int result = 0;
    DWORD error = 0;
};

TEST_F(Connection, RegistersExchangesMessagesAndClosesGracefully) {
    ASSERT_EQ(server.Start(), S_OK);
    CEncryptSocket* s = Connect("LocalHost");
    ASSERT_EQ(result, 0) << error;
    EXPECT_TRUE(log.Contains("Mapping to 127.0.0.1"));
    EXPECT_FALSE(log.Contains("PHASE 7")) << "localhost must not be looked up";
    EXPECT_TRUE(log.Contains("REGISTRATION COMPLETED"));
    ASSERT_TRUE(server.WaitForConnections(1));

    EXPECT_EQ(Echo(s, {1, 2, 3}), (std::vector<BYTE>{1, 2, 3}));
    const std::vector<BYTE> big(2424, 0x42);
    EXPECT_EQ(Echo(s, big), big);
    // Two requests back to back are answered in order.
    ASSERT_EQ(s->SendMsg("\x01", 1, nullptr, PACKET_MSG), 0);
    ASSERT_EQ(s->SendMsg("\x02", 1, nullptr, PACKET_MSG), 0);
    ASSERT_TRUE(client.WaitForMessages(4));
    EXPECT_EQ(client.messages[2], std::vector<BYTE>{1});
    EXPECT_EQ(client.messages[3], std::vector<BYTE>{2});

    EXPECT_EQ(s->Close(TRUE), 0);
    EXPECT_TRUE(server.WaitForConnections(0));
    EXPECT_FALSE(client.Contains(s));
    EXPECT_TRUE(log.Contains("WAITING ON FD_CLOSE"));
}

TEST_F(Connection, ARefusedRegistrationFailsWithAccessDenied) {
    Listen(0);
    Connect();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(log.Contains("CONNECTION REFUSED"));
    // The service writes its line after its answer, which may reach the
    // client first.
    EXPECT_TRUE(Eventually([&] { return log.Contains("REGISTRATION REQUEST DECLINED"); }));
    EXPECT_TRUE(log.Contains("CHECK PERMISSION FAILED, acc=0x0"));
    EXPECT_EQ(client.SocketCount(), 0);
}

TEST_F(Connection, LocalUsersAreAdmittedFromLoopbackWithoutTheAdministratorCheck) {
    for (DWORD mask : {PERMISSION_LOCALUSERS, PERMISSION_LOCALUSERS | PERMISSION_LOCALADMINS}) {
        SCOPED_TRACE(mask);
        port = FreePort();
        Listen(mask);
        CEncryptSocket* s = Connect();
        ASSERT_EQ(result, 0) << error;
        EXPECT_TRUE(log.Contains("Peer = 127.0.0.1"));
        EXPECT_TRUE(log.Contains("CHECK PERMISSION SUCCEEDED - LOCALUSERS"));
        EXPECT_EQ(Echo(s, {5}), std::vector<BYTE>{5});
    }
    EXPECT_FALSE(log.Contains("AdminRights(")) << "the administrator check ran";
}

TEST_F(Connection, LocalAdministratorsAreAdmittedByTheirRegisteredSid) {
    const auto alice = plat::security::MakeSid(SECURITY_NT_AUTHORITY, {21, 4, 5, 6, 1001});
    const auto bob = plat::security::MakeSid(SECURITY_NT_AUTHORITY, {21, 4, 5, 6, 1002});
    for (const auto& [user, admitted] : {std::pair{alice, true}, std::pair{bob, false}}) {
        auto db = std::make_shared<plat::security::MemoryAccountDatabase>(u"PC1", user);
        db->AddAccount(u"", {u"BUILTIN", u"Administrators", plat::security::AdministratorsSid(), SidTypeAlias});
        db->AddAccount(u"", {u"PC1", u"alice", alice, SidTypeUser});
        db->AddAccount(u"", {u"PC1", u"bob", bob, SidTypeUser});
        db->AddLocalGroupMember(u"", u"Administrators", u"PC1\\alice");
        plat::security::ScopedAccountDatabase scoped(db);
        ClientManager user_client;
        ASSERT_EQ(user_client.Create(FALSE), 0);
        port = FreePort();
        Listen(PERMISSION_LOCALADMINS);
        CEncryptSocket* s = user_client.NewSocket();
        EXPECT_EQ(s->Connect("localhost", port, FALSE) == 0, admitted);
        user_client.Shutdown();
        delete s;
    }
    EXPECT_TRUE(log.Contains("CHECK PERMISSION SUCCEEDED - LOCALADMINS"));
    EXPECT_TRUE(log.Contains("user found!"));
    EXPECT_TRUE(log.Contains("CHECK PERMISSION FAILED, acc=0x1"));
}

TEST_F(Connection, AnAnswerFromAnOlderPeerFailsWithInvalidData) {
    const SOCKET listener = ws::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0);
    sockaddr_in a = Loopback(port);
    ASSERT_EQ(ws::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(ws::listen(listener, 1), 0);
    std::thread fake([&] {
        RawPeer peer(ws::WSAAccept(listener, nullptr, nullptr));
        auto request = peer.Receive(kLongHeaderSize);
        if (request.size() != kLongHeaderSize) return;
        peer.Receive(ReadLe32(request.data()));
        WriteLe32(request.data() + 4, PACKET_SYS | PACKET_REPLY | PACKET_REGISTER);
        peer.Send(Concat(request, std::vector<BYTE>(RegistrationRecord::kSize, 0)));  // version 0
        peer.SeesClose();
    });
    Connect();
    fake.join();
    ws::closesocket(listener);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, ERROR_INVALID_DATA);
    EXPECT_TRUE(log.Contains("REGISTRATION FAILED(") && log.Contains(") - OLD VERSION"));
}

TEST_F(Connection, APeerClosingLeavesTheOthersServed) {
    ASSERT_EQ(server.Start(), S_OK);
    CEncryptSocket* first = Connect();
    ASSERT_EQ(result, 0);
    CEncryptSocket* second = Connect();
    ASSERT_EQ(result, 0);
    CEncryptSocket* third = Connect();
    ASSERT_EQ(result, 0);
    ASSERT_TRUE(server.WaitForConnections(3));
    first->Close(TRUE);
    ASSERT_TRUE(server.WaitForConnections(2));
    EXPECT_EQ(Echo(second, {2}), std::vector<BYTE>{2});
    EXPECT_EQ(Echo(third, {3}), std::vector<BYTE>{3});
    EXPECT_EQ(server.SocketCount(), 3) << "the listener and two connections";
}

TEST_F(Connection, ConnectFailuresLeaveTheManagerEmpty) {
    {
        // Bound but not listening: refused, and no other test takes the port.
        const SOCKET bound = ws::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0);
        sockaddr_in a = Loopback(port);
        ASSERT_EQ(ws::bind(bound, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        Connect();
        ws::closesocket(bound);
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, WSAECONNREFUSED);

    CEncryptSocket* cancelled = client.NewSocket();
    sockets.push_back(cancelled);
    cancelled->Cancel();
    EXPECT_EQ(cancelled->Connect("localhost", port, FALSE), -1);
    EXPECT_EQ(GetLastError(), ERROR_CANCELLED);
    EXPECT_TRUE(log.Contains("(localhost) ESCAPE CANCEL"));

    // A peer that accepts but never answers the registration.
    const SOCKET listener = ws::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0);
    sockaddr_in a = Loopback(port);
    ASSERT_EQ(ws::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(ws::listen(listener, 1), 0);
    client.SetRegistrationTimeout(50);
    Connect();
    ws::closesocket(listener);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, WAIT_TIMEOUT);
    EXPECT_EQ(client.SocketCount(), 0);
}

// A cancelled connect removes its socket while the Event thread, woken by
// the socket's arrival, walks the list and takes each socket's lock. Both
// must take the locks in the same order, or the two threads deadlock.
TEST_F(Connection, CancelledConnectsNeverDeadlockWithTheEventThread) {
    std::vector<CEncryptSocket*> cancelled(2000);
    for (CEncryptSocket*& s : cancelled) {
        s = client.NewSocket();
        sockets.push_back(s);
    }
    auto connects = std::async(std::launch::async, [&] {
        for (CEncryptSocket* s : cancelled) {
            s->Cancel();
            if (s->Connect("localhost", port, FALSE) != -1) return false;
        }
        return true;
    });
    if (connects.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "a cancelled connect deadlocked";
        std::_Exit(1);  // the stuck threads can never be joined
    }
    EXPECT_TRUE(connects.get());
    EXPECT_EQ(client.SocketCount(), 0);
}

TEST_F(Connection, ClosingAllSocketsOfAnEmptyManagerBreaksOut) {
    CSocketManager empty;
    ASSERT_EQ(empty.Create(TRUE), 0);
    EXPECT_EQ(empty.CloseAllSockets(), 0);
    EXPECT_TRUE(log.Contains("CLOSEALLSOCKETS BREAKOUT"));
    EXPECT_EQ(empty.Create(TRUE), -1) << "a manager is created once";
    EXPECT_EQ(empty.Shutdown(), 0);
    CSocketManager never;
    EXPECT_EQ(never.Shutdown(), -1);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Connection, TheServerStopsWithClientsConnected) {
    ASSERT_EQ(server.Start(), S_OK);
    Connect();
    ASSERT_EQ(result, 0);
    ASSERT_TRUE(server.WaitForConnections(1));
    server.Stop();
    EXPECT_EQ(server.SocketCount(), 0);
    EXPECT_TRUE(log.Contains("CLOSEALLSOCKETS PHASE 11"));
}

}  // namespace
