// Where the service's socket server listens and whom it admits: the
// loopback address and peers at 127.0.0.1 by default, every peer only on an
// address that was asked for.
#include "SocketTestSupport.h"
#include "sockets/RegistrationRecord.h"

namespace {

using namespace sockettest;

in_addr Address(const char* dotted) {
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return a;
}

// Connects from `source` (port chosen by the system) to 127.0.0.1:`port`,
// sends a registration request and returns the length the answer announces:
// 276 when admitted, 0 when declined; -1 when nothing came.
long RegisterFrom(const char* source, WORD port) {
    RawPeer peer;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = Address(source);
    if (ws::bind(peer.Handle(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return -1;
    if (!peer.Connect(port)) return -1;
    std::vector<BYTE> request(kLongHeaderSize, 0);
    WriteLe32(request.data(), RegistrationRecord::kSize);
    WriteLe32(request.data() + 4, PACKET_SYS | PACKET_REQUEST | PACKET_REGISTER);
    for (DWORD at = 8; at < kLongHeaderSize; at += 4) WriteLe32(request.data() + at, 5);
    const RegistrationRecord record = RegistrationRecord::Make(nullptr, 0);
    if (!peer.Send(Concat(request, std::vector<BYTE>(record.Bytes(), record.Bytes() + RegistrationRecord::kSize))))
        return -1;
    const std::vector<BYTE> answer = peer.Receive(kLongHeaderSize);
    return answer.size() == kLongHeaderSize ? static_cast<long>(ReadLe32(answer.data())) : -1;
}

TEST(ListenAddress, TheServerAdmitsOnlyPeersAt127001UnlessAskedForEveryAddress) {
    struct Case {
        const char* listen;  // nullptr: the default
        long fromLoopback;   // answer to a peer at 127.0.0.1
        long fromOther;      // answer to a peer at 127.0.0.2
        const char* mask;
    };
    const Case cases[] = {
        {nullptr, RegistrationRecord::kSize, 0, "[LOCALUSERS]"},
        {"0.0.0.0", RegistrationRecord::kSize, RegistrationRecord::kSize, "[ALLUSERS]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.listen ? c.listen : "default");
        CapturedLog log;
        const WORD port = FreePort();
        EchoServer server(port);
        if (c.listen) server.SetListenAddress(Address(c.listen));
        ASSERT_EQ(server.Init(), S_OK);
        ASSERT_EQ(server.Start(), S_OK);
        EXPECT_EQ(RegisterFrom("127.0.0.1", port), c.fromLoopback);
        EXPECT_EQ(RegisterFrom("127.0.0.2", port), c.fromOther);
        EXPECT_TRUE(log.Contains(c.mask));
        server.Stop();
    }
}

}  // namespace
