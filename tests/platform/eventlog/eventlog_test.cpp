#include "eventlog/eventlog.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <regex>
#include <string>

#include "base/clock.h"
#include "base/last_error.h"
#include "base/win_errors.h"

namespace {

TEST(EventSource, RegisteringFailsAsWindowsWould) {
    struct Case {
        const char16_t* server;
        const char16_t* source;
        DWORD error;  // 0: succeeds
    } cases[] = {
        {nullptr, nullptr, ERROR_INVALID_PARAMETER},
        {nullptr, u"", ERROR_INVALID_PARAMETER},
        {u"\\\\faraway", u"LUMEX", RPC_S_SERVER_UNAVAILABLE},
        {nullptr, u"LUMEX", 0},
        {u"", u"LUMEX", 0},
        {u".", u"LUMEX", 0},
        {u"\\\\localhost", u"LUMEX", 0},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        HANDLE source = RegisterEventSourceW(c.server, c.source);
        if (c.error == 0) {
            EXPECT_NE(source, nullptr);
            EXPECT_TRUE(DeregisterEventSource(source));
        } else {
            EXPECT_EQ(source, nullptr);
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
}

TEST(EventSource, ReportsReachTheInstalledSink) {
    auto sink = std::make_shared<plat::MemoryEventSink>();
    plat::ScopedEventSink scoped(sink);
    plat::ScopedManualClock clock;
    HANDLE source = RegisterEventSourceW(nullptr, u"LUMEX");
    const WCHAR* strings[] = {u"[08a3c] drive 0: Healthy", u"detail"};
    BYTE raw[3] = {1, 2, 3};
    ASSERT_TRUE(ReportEventW(source, EVENTLOG_WARNING_TYPE, 7, 0x1234, nullptr, 2, 3, strings, raw));
    ASSERT_TRUE(ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 0, 0, nullptr, nullptr));

    const auto records = sink->Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].source, u"LUMEX");
    EXPECT_EQ(records[0].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(records[0].category, 7);
    EXPECT_EQ(records[0].event_id, 0x1234u);
    EXPECT_EQ(records[0].strings, (std::vector<std::u16string>{u"[08a3c] drive 0: Healthy", u"detail"}));
    EXPECT_EQ(records[0].data, (std::vector<BYTE>{1, 2, 3}));
    EXPECT_EQ(records[0].time, plat::ManualClock::kDefaultStart);
    EXPECT_TRUE(records[1].strings.empty());
    DeregisterEventSource(source);
}

TEST(EventSource, BadCallsAreRefused) {
    auto sink = std::make_shared<plat::MemoryEventSink>();
    plat::ScopedEventSink scoped(sink);
    HANDLE source = RegisterEventSourceW(nullptr, u"LUMEX");
    const WCHAR* with_null[] = {u"a", nullptr};
    EXPECT_FALSE(ReportEventW(source, 3, 0, 0, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 2, 0, with_null, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 0, 4, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    ASSERT_TRUE(DeregisterEventSource(source));
    EXPECT_FALSE(ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(DeregisterEventSource(source));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    HANDLE event = reinterpret_cast<HANDLE>(0x1234);
    EXPECT_FALSE(DeregisterEventSource(event));
    EXPECT_TRUE(sink->Records().empty());
}

// A datagram socket standing in for the syslog daemon.
class FakeSyslog {
public:
    FakeSyslog() {
        char pattern[] = "/tmp/lumetra-syslog-XXXXXX";
        m_dir = mkdtemp(pattern);
        m_path = m_dir + "/log";
        m_fd = socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, m_path.c_str());
        bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~FakeSyslog() {
        close(m_fd);
        std::filesystem::remove_all(m_dir);
    }
    const std::string& Path() const { return m_path; }
    std::string Receive() {
        char buffer[9000];
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        return n > 0 ? std::string(buffer, n) : std::string();
    }

private:
    std::string m_dir, m_path;
    int m_fd = -1;
};

TEST(SyslogSink, OneLinePerReportWithTheSourceAsIdentity) {
    FakeSyslog daemon;
    plat::ScopedEventSink scoped(std::make_shared<plat::SyslogSink>(daemon.Path()));
    HANDLE source = RegisterEventSourceW(nullptr, u"Zelmor Lumetra");
    struct Case {
        WORD type;
        int priority;
    } cases[] = {
        {EVENTLOG_ERROR_TYPE, LOG_USER | LOG_ERR},
        {EVENTLOG_WARNING_TYPE, LOG_USER | LOG_WARNING},
        {EVENTLOG_INFORMATION_TYPE, LOG_USER | LOG_INFO},
    };
    const WCHAR* strings[] = {u"first part", u"second\npart"};
    for (const auto& c : cases) {
        ASSERT_TRUE(ReportEventW(source, c.type, 0, 1, nullptr, 2, 0, strings, nullptr));
        const std::string line = daemon.Receive();
        const std::regex form("<" + std::to_string(c.priority) +
                              ">[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} " + "Zelmor_Lumetra\\[" +
                              std::to_string(getpid()) + "\\]: first part second part");
        EXPECT_TRUE(std::regex_match(line, form)) << line;
    }
    DeregisterEventSource(source);
}

TEST(SyslogSink, NoDaemonListeningIsAFailedReport) {
    plat::ScopedEventSink scoped(std::make_shared<plat::SyslogSink>("/nonexistent/lumetra/log"));
    HANDLE source = RegisterEventSourceW(nullptr, u"LUMEX");
    EXPECT_FALSE(ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_EVENTLOG_CANT_START);
    DeregisterEventSource(source);
}

}  // namespace
