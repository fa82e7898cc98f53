#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "base/last_error.h"
#include "base/sync.h"
#include "base/thread.h"
#include "net/winsock.h"

namespace {

sockaddr_in Loopback(WORD port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

SOCKET TcpSocket() {
    return ws::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
}

// Collects recorded events of `s` until all of `wanted` were seen, with a
// bounded number of bounded waits.
WSANETWORKEVENTS WaitFor(SOCKET s, WSAEVENT event, long wanted) {
    WSANETWORKEVENTS seen{};
    for (int round = 0; round < 20 && (seen.lNetworkEvents & wanted) != wanted; ++round) {
        ws::WSAWaitForMultipleEvents(1, &event, FALSE, 500, FALSE);
        WSANETWORKEVENTS now{};
        EXPECT_EQ(ws::WSAEnumNetworkEvents(s, event, &now), 0);
        for (int i = 0; i < FD_MAX_EVENTS; ++i)
            if (now.lNetworkEvents & (1L << i)) seen.iErrorCode[i] = now.iErrorCode[i];
        seen.lNetworkEvents |= now.lNetworkEvents;
    }
    return seen;
}

// A listener on 127.0.0.1 and one connected, accepted pair, all selected
// for every event.
class EventSelection : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(ws::WSAStartup(MAKEWORD(2, 2), &data), 0);
        listener = TcpSocket();
        sockaddr_in any = Loopback(0);
        ASSERT_EQ(ws::bind(listener, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
        ASSERT_EQ(ws::listen(listener, 16), 0);
        int len = sizeof address;
        ASSERT_EQ(ws::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &len), 0);
        listenEvent = ws::WSACreateEvent();
        clientEvent = ws::WSACreateEvent();
        ASSERT_EQ(ws::WSAEventSelect(listener, listenEvent, FD_ALL_EVENTS), 0);
    }
    void TearDown() override {
        for (SOCKET s : {client, accepted, listener})
            if (s != INVALID_SOCKET) ws::closesocket(s);
        ws::WSACloseEvent(listenEvent);
        ws::WSACloseEvent(clientEvent);
        ws::WSACleanup();
    }
    void Connect() {
        client = TcpSocket();
        ASSERT_EQ(ws::WSAEventSelect(client, clientEvent, FD_ALL_EVENTS), 0);
        const int r = ws::WSAConnect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ASSERT_TRUE(r == 0 || ws::WSAGetLastError() == WSAEWOULDBLOCK);
        const auto connected = WaitFor(client, clientEvent, FD_CONNECT);
        ASSERT_TRUE(connected.lNetworkEvents & FD_CONNECT);
        EXPECT_EQ(connected.iErrorCode[FD_CONNECT_BIT], 0);
        ASSERT_TRUE(WaitFor(listener, listenEvent, FD_ACCEPT).lNetworkEvents & FD_ACCEPT);
        accepted = ws::WSAAccept(listener, nullptr, nullptr);
        ASSERT_NE(accepted, INVALID_SOCKET);
    }
    // Another client, connected without selection, and its accepted socket
    // (which shares the listener's event).
    void ConnectAnother(SOCKET* other_client, SOCKET* other_accepted) {
        *other_client = TcpSocket();
        ASSERT_EQ(ws::WSAConnect(*other_client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_TRUE(WaitFor(listener, listenEvent, FD_ACCEPT).lNetworkEvents & FD_ACCEPT);
        *other_accepted = ws::WSAAccept(listener, nullptr, nullptr);
        ASSERT_NE(*other_accepted, INVALID_SOCKET);
    }
    void Send(SOCKET s, const std::string& bytes) {
        ASSERT_EQ(ws::send(s, bytes.data(), static_cast<int>(bytes.size()), 0), static_cast<int>(bytes.size()));
    }

    SOCKET listener = INVALID_SOCKET, client = INVALID_SOCKET, accepted = INVALID_SOCKET;
    WSAEVENT listenEvent = nullptr, clientEvent = nullptr;
    sockaddr_in address{};
};

TEST_F(EventSelection, ReadIsRecordedAgainAfterARecvThatLeavesData) {
    Connect();
    Send(client, "0123456789");
    // The accepted socket inherits the listener's event.
    ASSERT_TRUE(WaitFor(accepted, listenEvent, FD_READ).lNetworkEvents & FD_READ);
    char buf[16] = {};
    ASSERT_EQ(ws::recv(accepted, buf, 4, 0), 4);
    ASSERT_TRUE(WaitFor(accepted, listenEvent, FD_READ).lNetworkEvents & FD_READ);
    ASSERT_EQ(ws::recv(accepted, buf, sizeof buf, 0), 6);
    EXPECT_EQ(std::string(buf, 6), "456789");
    EXPECT_EQ(ws::recv(accepted, buf, sizeof buf, 0), SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), WSAEWOULDBLOCK);
}

// The socket is armed one-shot: bytes that arrive after FD_READ was
// recorded and before the recv that re-enables it are announced again.
TEST_F(EventSelection, DataArrivingBeforeTheRecvThatReenablesReadIsAnnouncedAgain) {
    Connect();
    for (int round = 0; round < 200; ++round) {
        Send(client, "a");
        ASSERT_TRUE(WaitFor(accepted, listenEvent, FD_READ).lNetworkEvents & FD_READ) << "round " << round;
        Send(client, "b");  // while read is disabled
        char buf[4] = {};
        ASSERT_EQ(ws::recv(accepted, buf, 1, 0), 1);
        ASSERT_TRUE(WaitFor(accepted, listenEvent, FD_READ).lNetworkEvents & FD_READ) << "round " << round;
        ASSERT_EQ(ws::recv(accepted, buf, sizeof buf, 0), 1);
    }
}

// Enumerating one socket of a shared event must not hide what another has
// recorded: that socket's entry stays disarmed until it is enumerated, so
// its data would wait unseen.
TEST_F(EventSelection, ASharedEventStaysSignalledWhileAnotherSocketHasEventsRecorded) {
    Connect();
    SOCKET other_client = INVALID_SOCKET, other = INVALID_SOCKET;
    ConnectAnother(&other_client, &other);
    WSANETWORKEVENTS events{};
    for (SOCKET s : {listener, accepted, other}) ASSERT_EQ(ws::WSAEnumNetworkEvents(s, listenEvent, &events), 0);
    Send(client, "a");
    Send(other_client, "b");
    for (SOCKET s : {accepted, other}) {
        WSAPOLLFD fd{s, POLLIN, 0};
        ASSERT_EQ(ws::WSAPoll(&fd, 1, 5000), 1);
    }
    ASSERT_EQ(ws::WSAEnumNetworkEvents(accepted, listenEvent, &events), 0);
    EXPECT_TRUE(events.lNetworkEvents & FD_READ);
    EXPECT_EQ(WaitForSingleObject(listenEvent, 0), WAIT_OBJECT_0) << "the other socket's read was hidden";
    ASSERT_EQ(ws::WSAEnumNetworkEvents(other, listenEvent, &events), 0);
    EXPECT_TRUE(events.lNetworkEvents & FD_READ);
    EXPECT_EQ(WaitForSingleObject(listenEvent, 0), WAIT_TIMEOUT) << "signalled with nothing recorded";
    ws::closesocket(other);
    ws::closesocket(other_client);
}

// Each side waits without a time-out for the other's byte and answers it.
// A byte that arrives while its waiter is between its check and its sleep
// must wake it at once; only the referee's wait is bounded, so a lost
// wake-up fails the test instead of hanging it.
TEST_F(EventSelection, PingPongOverSocketsNeverLosesAWakeUp) {
    Connect();
    constexpr int kRounds = 5000;
    const auto player = [](SOCKET s, WSAEVENT event, bool serves) {
        char byte = 'x';
        for (int i = 0; i < kRounds; ++i) {
            if (serves && ws::send(s, &byte, 1, 0) != 1) return DWORD{1};
            for (WSANETWORKEVENTS events{}; !(events.lNetworkEvents & FD_READ);) {
                if (ws::WSAWaitForMultipleEvents(1, &event, FALSE, WSA_INFINITE, FALSE) != WSA_WAIT_EVENT_0 ||
                    ws::WSAEnumNetworkEvents(s, event, &events) != 0)
                    return DWORD{2};
            }
            if (ws::recv(s, &byte, 1, 0) != 1) return DWORD{3};
            if (!serves && ws::send(s, &byte, 1, 0) != 1) return DWORD{1};
        }
        return DWORD{0};
    };
    const SOCKET c = client, a = accepted;
    const WSAEVENT ce = clientEvent, le = listenEvent;
    const HANDLE players[] = {plat::StartThread([&] { return player(c, ce, true); }),
                              plat::StartThread([&] { return player(a, le, false); })};
    ASSERT_EQ(WaitForMultipleObjects(2, players, TRUE, 60000), WAIT_OBJECT_0) << "a wake-up was lost";
    for (HANDLE t : players) {
        DWORD code = 9;
        ASSERT_TRUE(GetExitCodeThread(t, &code));
        EXPECT_EQ(code, 0u);
        CloseHandle(t);
    }
}

// A thread may wait on an event before any socket is selected on it (a
// socket manager's Event thread does): the selection must reach that wait,
// which has no time-out, so data on the socket wakes it.
TEST_F(EventSelection, AWaitBegunBeforeTheSelectionSeesTheSocket) {
    Connect();
    const WSAEVENT fresh = ws::WSACreateEvent();
    std::atomic<bool> waiting{false};
    const HANDLE waiter = plat::StartThread([&] {
        waiting = true;
        return ws::WSAWaitForMultipleEvents(1, &fresh, FALSE, WSA_INFINITE, FALSE);
    });
    while (!waiting) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // on into its sleep
    ASSERT_EQ(ws::WSAEventSelect(accepted, fresh, FD_READ), 0);
    Send(client, "x");
    EXPECT_EQ(WaitForSingleObject(waiter, 10000), WAIT_OBJECT_0) << "the wait never looked at the socket";
    CloseHandle(waiter);
    ws::WSAEventSelect(accepted, nullptr, 0);
    ws::WSACloseEvent(fresh);
}

TEST_F(EventSelection, GracefulCloseIsRecordedOnceAllDataHasBeenRead) {
    Connect();
    Send(client, "last words");
    ASSERT_EQ(ws::shutdown(client, SD_SEND), 0);
    const auto first = WaitFor(accepted, listenEvent, FD_READ);
    EXPECT_FALSE(first.lNetworkEvents & FD_CLOSE) << "close announced while data was unread";
    char buf[32];
    ASSERT_EQ(ws::recv(accepted, buf, sizeof buf, 0), 10);
    const auto closed = WaitFor(accepted, listenEvent, FD_CLOSE);
    ASSERT_TRUE(closed.lNetworkEvents & FD_CLOSE);
    EXPECT_EQ(closed.iErrorCode[FD_CLOSE_BIT], 0);
    EXPECT_EQ(ws::recv(accepted, buf, sizeof buf, 0), 0);
}

TEST_F(EventSelection, AbortiveCloseIsRecordedWithConnectionReset) {
    Connect();
    const linger abort{1, 0};
    ASSERT_EQ(ws::setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort), 0);
    ASSERT_EQ(ws::closesocket(client), 0);
    client = INVALID_SOCKET;
    const auto closed = WaitFor(accepted, listenEvent, FD_CLOSE);
    ASSERT_TRUE(closed.lNetworkEvents & FD_CLOSE);
    EXPECT_EQ(closed.iErrorCode[FD_CLOSE_BIT], static_cast<int>(WSAECONNRESET));
}

TEST_F(EventSelection, AConnectWithoutListenerReportsRefusedThroughConnectEvent) {
    // A bound socket that does not listen keeps the port from other tests.
    const SOCKET bound = TcpSocket();
    sockaddr_in any = Loopback(0);
    ASSERT_EQ(ws::bind(bound, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    int len = sizeof address;
    ASSERT_EQ(ws::getsockname(bound, reinterpret_cast<sockaddr*>(&address), &len), 0);
    client = TcpSocket();
    ASSERT_EQ(ws::WSAEventSelect(client, clientEvent, FD_ALL_EVENTS), 0);
    const int r = ws::WSAConnect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (r == SOCKET_ERROR && ws::WSAGetLastError() != WSAEWOULDBLOCK) {
        EXPECT_EQ(ws::WSAGetLastError(), WSAECONNREFUSED);
        ws::closesocket(bound);
        return;
    }
    const auto connected = WaitFor(client, clientEvent, FD_CONNECT);
    ws::closesocket(bound);
    ASSERT_TRUE(connected.lNetworkEvents & FD_CONNECT);
    EXPECT_EQ(connected.iErrorCode[FD_CONNECT_BIT], static_cast<int>(WSAECONNREFUSED));
}

TEST_F(EventSelection, AcceptIsRecordedAgainWhileMoreConnectionsWait) {
    Connect();
    const SOCKET second = TcpSocket();
    ASSERT_EQ(ws::WSAConnect(second, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);  // blocking
    ASSERT_TRUE(WaitFor(listener, listenEvent, FD_ACCEPT).lNetworkEvents & FD_ACCEPT);
    const SOCKET next = ws::WSAAccept(listener, nullptr, nullptr);
    EXPECT_NE(next, INVALID_SOCKET);
    ws::closesocket(next);
    ws::closesocket(second);
}

TEST_F(EventSelection, StaleAndUnknownSocketsAreNotSockets) {
    const SOCKET s = TcpSocket();
    ASSERT_EQ(ws::closesocket(s), 0);
    WSANETWORKEVENTS events;
    EXPECT_EQ(ws::WSAEnumNetworkEvents(s, nullptr, &events), SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(ws::send(s, "x", 1, 0), SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), WSAENOTSOCK);
    const SOCKET again = TcpSocket();
    EXPECT_NE(again, s) << "socket values must not repeat";
    ws::closesocket(again);
}

TEST_F(EventSelection, PollReportsWritabilityOfAConnectedSocket) {
    Connect();
    WSAPOLLFD fd{client, POLLOUT, 0};
    ASSERT_EQ(ws::WSAPoll(&fd, 1, 1000), 1);
    EXPECT_TRUE(fd.revents & POLLOUT);
}

}  // namespace
