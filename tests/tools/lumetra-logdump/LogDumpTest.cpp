#include "LogDump.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/clock.h"
#include "log/Log.h"
#include "LogTestSupport.h"

namespace {

class LogDumpTest : public logtest::LogFixture {
protected:
    // Writes three entries (one filtered out) with the given scramble count.
    std::string WriteLog(BYTE count) {
        const std::string path = (m_dir / "gui.bin").string();
        m_clock->SetFileTime(logtest::kStampTime);
                CLog log;
        log.Init(u"GUI", FALSE, 5, FALSE);
        EXPECT_TRUE(log.OpenFile(std::filesystem::path(path).u16string().c_str(), CLog::kBinaryOutput, TRUE, count));
        CLog::Print(&log, 5, u"LOGD", "computername='%s'", "PC1");
        CLog::Print(&log, 9, u"LOGD", "filtered");
        m_clock->Advance(1000);
        CLog::Print(&log, 1, u"", "CGAPP::CGAPP: Cannot continue");
        return path;
    }

    int Run(std::vector<std::string> args, std::string& out, std::string& err) {
        std::ostringstream o, e;
        const int rc = logdump::Run(args, o, e);
        out = o.str();
        err = e.str();
        return rc;
    }

};

constexpr const char* kExpected =
    "05.03.2007 14:02:09:031 AUD: LOGD:computername='PC1'\n"
    "05.03.2007 14:02:10:031 CRI: CGAPP::CGAPP: Cannot continue\n";

TEST_F(LogDumpTest, TheProgramPrintsALogWrittenWithTheDefaultCount) {
    const std::string path = WriteLog(CLog::kDefaultScrambleCount);
    FILE* pipe = popen((std::string(LOGDUMP_BINARY) + " " + path).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[512];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(out, kExpected);
}

TEST_F(LogDumpTest, ExplicitScrambleCountsIncludingPlain) {
    for (BYTE count : {BYTE(0), BYTE(7)}) {
        const std::string path = WriteLog(count);
        std::string out, err;
        EXPECT_EQ(Run({path, "--scramble", std::to_string(count)}, out, err), 0) << err;
        EXPECT_EQ(out, kExpected);
        std::filesystem::remove(path);
    }
}

TEST_F(LogDumpTest, TruncatedLastRecordIsReportedAfterTheWholeOnes) {
    const std::string path = WriteLog(3);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 5);
    std::string out, err;
    EXPECT_EQ(Run({path}, out, err), 3);
    EXPECT_EQ(out, "05.03.2007 14:02:09:031 AUD: LOGD:computername='PC1'\n");
    EXPECT_NE(err.find("truncated record at offset 69"), std::string::npos) << err;
}

TEST_F(LogDumpTest, UsageAndFileErrors) {
    const std::vector<std::vector<std::string>> usage = {
        {}, {"--scramble", "3"}, {"a", "b"}, {"a", "--scramble"}, {"a", "--scramble", "x"}, {"a", "--bogus"}};
    for (const auto& args : usage) {
        std::string out, err;
        EXPECT_EQ(Run(args, out, err), 2);
        EXPECT_NE(err.find("usage:"), std::string::npos);
        EXPECT_EQ(out, "");
    }
    std::string out, err;
    EXPECT_EQ(Run({(m_dir / "missing.bin").string()}, out, err), 1);
    std::ofstream((m_dir / "text.log").string()) << "05.03.2007 14:02:09:031 ALW: plain text\r\n";
    EXPECT_EQ(Run({(m_dir / "text.log").string()}, out, err), 3);
    EXPECT_NE(err.find("no log record at offset 0"), std::string::npos);
}

}  // namespace
