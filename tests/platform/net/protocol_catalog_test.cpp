#include <gtest/gtest.h>

#include <vector>

#include "base/last_error.h"
#include "base/text.h"
#include "net/winsock.h"

namespace {

class ProtocolCatalog : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(ws::WSAStartup(MAKEWORD(2, 2), &data), 0);
    }
    void TearDown() override { ws::WSACleanup(); }
};

std::vector<WSAPROTOCOL_INFOW> Enumerate() {
    DWORD length = 0;
    EXPECT_EQ(ws::WSAEnumProtocolsW(nullptr, nullptr, &length), SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), WSAENOBUFS);
    std::vector<WSAPROTOCOL_INFOW> entries(length / sizeof(WSAPROTOCOL_INFOW));
    EXPECT_EQ(ws::WSAEnumProtocolsW(nullptr, entries.data(), &length), static_cast<int>(entries.size()));
    return entries;
}

TEST_F(ProtocolCatalog, SizeQueryFailsWithNoBufsThenTheDefaultCatalogueHoldsATcpBaseProvider) {
    const auto entries = Enumerate();
    ASSERT_EQ(entries.size(), 3u);
    const WSAPROTOCOL_INFOW& tcp = entries[0];
    EXPECT_EQ(tcp.iAddressFamily, AF_INET);
    EXPECT_EQ(tcp.iProtocol, IPPROTO_TCP);
    constexpr DWORD wanted = XP1_GUARANTEED_DELIVERY | XP1_GUARANTEED_ORDER | XP1_IFS_HANDLES;
    EXPECT_EQ(tcp.dwServiceFlags1 & wanted, wanted);
    EXPECT_EQ(tcp.ProtocolChain.ChainLen, BASE_PROTOCOL);
}

TEST_F(ProtocolCatalog, TooSmallABufferIsRefusedAndLeftUntouched) {
    WSAPROTOCOL_INFOW one;
    one.iProtocol = 0x5A5A;
    DWORD length = sizeof one;
    EXPECT_EQ(ws::WSAEnumProtocolsW(nullptr, &one, &length), SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), WSAENOBUFS);
    EXPECT_EQ(length, 3 * sizeof(WSAPROTOCOL_INFOW));
    EXPECT_EQ(one.iProtocol, 0x5A5A);
}

TEST_F(ProtocolCatalog, AnInstalledCatalogueIsWhatSocketsAreMadeFrom) {
    auto layered = plat::net::DefaultProtocolCatalog()[0];
    layered.dwServiceFlags1 &= ~XP1_IFS_HANDLES;
    layered.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
    layered.dwCatalogEntryId = 4242;
    {
        plat::net::ScopedProtocolCatalog scoped({layered});
        const auto entries = Enumerate();
        ASSERT_EQ(entries.size(), 1u);
        const SOCKET s = ws::WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &entries[0], 0,
                                        WSA_FLAG_OVERLAPPED);
        ASSERT_NE(s, INVALID_SOCKET);
        WSAPROTOCOL_INFOW used;
        int length = sizeof used;
        ASSERT_EQ(ws::getsockopt(s, SOL_SOCKET, SO_PROTOCOL_INFOW, reinterpret_cast<char*>(&used), &length), 0);
        EXPECT_EQ(used.dwCatalogEntryId, 4242u);
        EXPECT_EQ(ws::closesocket(s), 0);
    }
    EXPECT_EQ(Enumerate().size(), 3u);
}

TEST_F(ProtocolCatalog, CleanupBeyondStartupIsRefused) {
    EXPECT_EQ(ws::WSACleanup(), 0);
    EXPECT_EQ(ws::WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), WSANOTINITIALISED);
    DWORD length = 0;
    EXPECT_EQ(ws::WSAEnumProtocolsW(nullptr, nullptr, &length), SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), WSANOTINITIALISED);
    WSADATA data;
    EXPECT_EQ(ws::WSAStartup(MAKEWORD(2, 2), &data), 0);  // for TearDown
}

}  // namespace
