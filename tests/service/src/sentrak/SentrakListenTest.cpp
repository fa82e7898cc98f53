// Where sentrak listens and how it says that it cannot: the loopback
// address unless another is asked for, one line on stderr and a non-zero
// exit status when it cannot listen, and a word when no history is kept.
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <optional>

#include "SentrakProcess.h"
#include "SmartHandler.h"
#include "registry/registry.h"

namespace {

constexpr char kProductKey[] = "HKLM\\SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1";

std::size_t Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// An IPv4 address of this machine that other hosts could reach.
std::optional<in_addr> NonLoopbackAddress() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::optional<in_addr> found;
    for (const ifaddrs* i = list; i && !found; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        const in_addr a = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr;
        if ((ntohl(a.s_addr) >> 24) != 127) found = a;
    }
    freeifaddrs(list);
    return found;
}

bool TcpConnects(in_addr address, WORD port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr = address;
    const bool connected = connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    close(s);
    return connected;
}

in_addr Loopback() {
    in_addr a{};
    a.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

TEST(SentrakListen, ASecondSentrakOnATakenPortSaysWhyAndFails) {
    sentraktest::SentrakProcess service;
    ASSERT_TRUE(service.Start());
    const sentraktest::Finished second = service.Run({});
    EXPECT_NE(second.exit, 0);
    EXPECT_EQ(second.out, "") << "it never said it listens";
    EXPECT_EQ(Lines(second.err), 1u) << second.err;
    EXPECT_NE(second.err.find("sentrak: cannot listen on port " + std::to_string(service.Port()) + " of 127.0.0.1"),
              std::string::npos)
        << second.err;
    EXPECT_NE(second.err.find("the port is taken"), std::string::npos) << second.err;

    CSmartHandler client(nullptr, service.Port());
    client.Initialize();
    EXPECT_GT(client.GetDeviceCount(), 0) << "the first one still serves";
    EXPECT_EQ(service.Stop(), 0);
}

TEST(SentrakListen, AListenAddressItCannotUseEndsItAtOnce) {
    struct Case {
        const char* value;
        int exit;
        const char* message;
    };
    const Case cases[] = {
        {"everywhere", 87, "LUMETRA_SMART_LISTEN=\"everywhere\" is not an IPv4 address"},
        {"198.51.100.77", 1, "of 198.51.100.77: the address is not one of this machine's"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        sentraktest::SentrakProcess service;
        service.SetExtraEnvironment({std::string("LUMETRA_SMART_LISTEN=") + c.value});
        const sentraktest::Finished run = service.Run({});
        EXPECT_EQ(run.exit, c.exit);
        EXPECT_EQ(Lines(run.err), 1u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

TEST(SentrakListen, OtherHostsReachItOnlyWhenAnAddressIsAskedFor) {
    const std::optional<in_addr> external = NonLoopbackAddress();
    if (!external) GTEST_SKIP() << "this machine has no address other than loopback";
    sentraktest::SentrakProcess service;
    ASSERT_TRUE(service.Start());
    EXPECT_TRUE(TcpConnects(Loopback(), service.Port()));
    EXPECT_FALSE(TcpConnects(*external, service.Port())) << "a peer on another address must be refused";
    EXPECT_EQ(service.Stop(), 0);
    EXPECT_EQ(service.Errors().find("warning"), std::string::npos);

    service.SetExtraEnvironment({"LUMETRA_SMART_LISTEN=0.0.0.0"});
    ASSERT_TRUE(service.Start());
    EXPECT_TRUE(TcpConnects(*external, service.Port()));
    EXPECT_NE(service.Errors().find("sentrak: warning: 0.0.0.0 is reachable from other hosts"), std::string::npos)
        << service.Errors();
    EXPECT_EQ(service.Stop(), 0);
}

// Whether the product key exists in the machine store below `root`.
bool ProductKeyExists(const std::filesystem::path& root) {
    setenv("LUMETRA_ROOT", root.c_str(), 1);
    HKEY key = nullptr;
    const bool exists =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1", 0, KEY_READ, &key) ==
        ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    unsetenv("LUMETRA_ROOT");
    return exists;
}

TEST(SentrakListen, WithoutTheProductKeyItSaysOnceThatNoHistoryIsKeptAndInstallingCreatesIt) {
    sentraktest::SentrakProcess service;
    ASSERT_TRUE(service.Start());
    CSmartHandler client(nullptr, service.Port());
    client.Initialize();
    ASSERT_GT(client.GetDeviceCount(), 0);
    EXPECT_EQ(service.Stop(), 0);
    const std::string said = service.Errors();
    EXPECT_EQ(Occurrences(said, "history will not be kept"), 1u) << said;
    EXPECT_NE(said.find(std::string("lumetra-reg create '") + kProductKey + "'"), std::string::npos) << said;

    ASSERT_FALSE(ProductKeyExists(service.Root()));
    const sentraktest::Finished install = service.Run({"-Service"});
    EXPECT_EQ(install.out, "Zelmor Lumetra installed\n") << install.err;
    EXPECT_TRUE(ProductKeyExists(service.Root()));
    EXPECT_EQ(service.Run({"-UnRegServer"}).out, "Zelmor Lumetra removed.\n");

    ASSERT_TRUE(service.Start());
    EXPECT_EQ(service.Stop(), 0);
    EXPECT_EQ(Occurrences(service.Errors(), "history will not be kept"), 1u) << "nothing more once the key exists";
}

}  // namespace
