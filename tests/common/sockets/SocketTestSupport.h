// Helpers of the socket tests: a captured socket-library log, free loopback
// ports, raw peers that speak bytes directly, and managers that let a test
// wait for callbacks with bounded waits.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <sstream>
#include <string>
#include <vector>

#include "base/sync.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "net/loopback_port.h"
#include "net/winsock.h"
#include "sockets/SocketLibrary.h"
#include "sockets/SocketLog.h"
#include "sockets/SocketServer.h"

namespace sockettest {

inline constexpr auto kBound = std::chrono::seconds(10);

// A CLog at level 4 writing to a text file in a private directory, attached
// as the socket-library log for the fixture's lifetime.
class CapturedLog {
public:
    CapturedLog() {
        m_dir = std::filesystem::temp_directory_path() /
                ("lumetra-sockets-" + std::to_string(::getpid()) + "-" + std::to_string(++Counter()));
        std::filesystem::create_directories(m_dir);
        m_log.Init(u"TEST", FALSE, 4, TRUE);
        m_log.SetFlush(FALSE);
        m_log.OpenFile(plat::Utf8ToUtf16((m_dir / "sockets.log").string()).c_str(), CLog::kTextOutput, FALSE, 0);
        SetSocketLog(&m_log);
    }
    ~CapturedLog() {
        SetSocketLog(nullptr);
        m_log.Close();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    CLog* Log() { return &m_log; }
    std::string Text() const {
        std::ifstream in(m_dir / "sockets.log", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Contains(const std::string& text) const { return Text().find(text) != std::string::npos; }

private:
    static int& Counter() {
        static int counter = 0;
        return counter;
    }
    std::filesystem::path m_dir;
    CLog m_log;
};

// A loopback port nobody listens on right now.
inline WORD FreePort() { return plat::net::FreeLoopbackPort(); }

inline sockaddr_in Loopback(WORD port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A blocking socket that reads and writes raw bytes; reads give up after
// the bound.
class RawPeer {
public:
    RawPeer() : m_s(ws::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0)) {
        const timeval bound{static_cast<time_t>(kBound.count()), 0};
        ws::setsockopt(m_s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&bound), sizeof bound);
    }
    explicit RawPeer(SOCKET accepted) : m_s(accepted) {
        const timeval bound{static_cast<time_t>(kBound.count()), 0};
        ws::setsockopt(m_s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&bound), sizeof bound);
    }
    ~RawPeer() { Close(); }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    bool Connect(WORD port) {
        sockaddr_in a = Loopback(port);
        return ws::WSAConnect(m_s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    bool Send(const std::vector<BYTE>& bytes) {
        return ws::send(m_s, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0) ==
               static_cast<int>(bytes.size());
    }
    // Exactly `count` bytes, or fewer when the peer closed or the bound passed.
    std::vector<BYTE> Receive(std::size_t count) {
        std::vector<BYTE> out(count);
        std::size_t got = 0;
        while (got < count) {
            const int n = ws::recv(m_s, reinterpret_cast<char*>(out.data() + got), static_cast<int>(count - got), 0);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        out.resize(got);
        return out;
    }
    // True when the peer closed the connection (EOF or reset) within the bound.
    bool SeesClose() {
        char scratch[4096];
        for (int i = 0; i < 1024; ++i) {
            const int n = ws::recv(m_s, scratch, sizeof scratch, 0);
            if (n == 0) return true;
            if (n < 0) return ws::WSAGetLastError() != WSAEWOULDBLOCK && ws::WSAGetLastError() != WSAEINVAL;
        }
        return false;
    }
    void Close() {
        if (m_s != INVALID_SOCKET) ws::closesocket(m_s);
        m_s = INVALID_SOCKET;
    }
    SOCKET Handle() const { return m_s; }

private:
    SOCKET m_s;
};

inline std::vector<BYTE> Header(DWORD length, DWORD flags) {
    std::vector<BYTE> h(8);
    WriteLe32(h.data(), length);
    WriteLe32(h.data() + 4, flags);
    return h;
}

inline std::vector<BYTE> Concat(std::vector<BYTE> a, const std::vector<BYTE>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// An application message of `length` bytes of `fill`, as the wire has it.
inline std::vector<BYTE> Message(DWORD length, BYTE fill) {
    std::vector<BYTE> message(kShortHeaderSize + length, fill);
    WriteLe32(message.data(), length);
    WriteLe32(message.data() + 4, PACKET_MSG);
    return message;
}

// Registers a raw peer with the server it is connected to (a record
// without SID); true when the server accepted it.
inline bool RegisterRaw(RawPeer& peer) {
    std::vector<BYTE> request(kLongHeaderSize);
    PacketHeader{RegistrationRecord::kSize, PACKET_SYS | PACKET_REQUEST | PACKET_REGISTER, 1, 1, 1, 1}.Encode(
        request.data());
    const RegistrationRecord record = RegistrationRecord::Make(nullptr, 0);
    request.insert(request.end(), record.Bytes(), record.Bytes() + RegistrationRecord::kSize);
    return peer.Send(request) &&
           peer.Receive(kLongHeaderSize + RegistrationRecord::kSize).size() == kLongHeaderSize + RegistrationRecord::kSize;
}

// Plays the service's part of a registration on an accepted raw socket:
// reads the request and accepts it with a record of its own.
inline bool AcceptRegistration(RawPeer& service) {
    const std::vector<BYTE> request = service.Receive(kLongHeaderSize + RegistrationRecord::kSize);
    if (request.size() != kLongHeaderSize + RegistrationRecord::kSize) return false;
    std::vector<BYTE> answer(kLongHeaderSize);
    const DWORD key = ReadLe32(request.data() + 20);
    PacketHeader{RegistrationRecord::kSize, PACKET_SYS | PACKET_REPLY | PACKET_REGISTER, key, key, key, key}.Encode(
        answer.data());
    const RegistrationRecord record = RegistrationRecord::Make(nullptr, 0);
    answer.insert(answer.end(), record.Bytes(), record.Bytes() + RegistrationRecord::kSize);
    return service.Send(answer);
}

// Runs `work` on a thread of its own; false when it did not end within the
// bound (the thread is then left to finish on its own).
inline bool EndsWithinBound(std::function<void()> work) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ended = done->get_future();
    std::thread([work = std::move(work), done] {
        work();
        done->set_value();
    }).detach();
    return ended.wait_for(kBound) == std::future_status::ready;
}

// Waits (bounded, without sleeping) until `ready` holds.
inline bool Eventually(const std::function<bool()>& ready) {
    const auto end = std::chrono::steady_clock::now() + kBound;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::yield();
    }
    return true;
}

// Waits (bounded) until `ready` holds; `ready` runs under the lock.
class Signal {
public:
    void Notify(const std::function<void()>& change = {}) {
        {
            std::lock_guard lock(m_mutex);
            if (change) change();
        }
        m_cv.notify_all();
    }
    bool WaitFor(const std::function<bool()>& ready) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, kBound, ready);
    }
    std::mutex& Mutex() { return m_mutex; }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
};

// The service side: echoes each request back, counting deliveries.
class EchoServer : public CSocketServer {
public:
    explicit EchoServer(WORD port) : CSocketServer(port) {
        SetDispatcher([this](CZmArchive& request, CZmArchive& response) {
            response.PutBytes(request.GetBuffer(TRUE), request.GetLength(TRUE));
            signal.Notify([this] { ++requests; });
        });
    }
    void OnEvent(CEncryptSocket* socket, long code) override {
        CSocketServer::OnEvent(socket, code);
        signal.Notify([&] { events.push_back(code); });
    }
    bool WaitForConnections(LONG count) {
        return signal.WaitFor([&] { return ConnectionCount() == count; });
    }
    Signal signal;
    int requests = 0;
    std::vector<long> events;
};

// The GUI side: records the messages it receives.
class ClientManager : public CSocketManager {
public:
    void OnMsg(CEncryptSocket*, BYTE* payload, DWORD length, ReplyContext*, DWORD) override {
        signal.Notify([&] { messages.emplace_back(payload, payload + length); });
        std::free(payload);
    }
    bool WaitForMessages(std::size_t count) {
        return signal.WaitFor([&] { return messages.size() >= count; });
    }
    Signal signal;
    std::vector<std::vector<BYTE>> messages;
};

// A started server of type `Server` with one registered client beside it,
// for tests of peers that misbehave while that client must still be served.
template <class Server>
class ServedClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Init(), S_OK);
        ASSERT_EQ(server.Start(), S_OK);
        ASSERT_EQ(client.Create(FALSE), 0);
        client.SetRegistrationTimeout(5000);
        good = client.NewSocket();
        ASSERT_EQ(good->Connect("localhost", port, FALSE), 0);
        ASSERT_TRUE(server.WaitForConnections(1));
    }
    void TearDown() override {
        client.Shutdown();
        delete good;
        server.Stop();
    }
    // The registered client is still answered.
    void ExpectServed() {
        const std::size_t before = client.messages.size();
        ASSERT_EQ(good->SendMsg("\x2A", 1, nullptr, PACKET_MSG), 0);
        ASSERT_TRUE(client.WaitForMessages(before + 1));
        EXPECT_EQ(client.messages.back(), std::vector<BYTE>{0x2A});
    }

    CapturedLog log;
    WORD port = FreePort();
    Server server{port};
    ClientManager client;
    CEncryptSocket* good = nullptr;
};

// Starts the socket library for the test's lifetime.
class LibraryScope {
public:
    LibraryScope() { StartSocketLibrary(); }
    ~LibraryScope() { StopSocketLibrary(); }
};

}  // namespace sockettest
