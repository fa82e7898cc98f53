#include "log/Diagnostics.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "base/format.h"
#include "base/thread.h"
#include "log/Log.h"
#include "LogTestSupport.h"

namespace {

class DiagnosticsTest : public logtest::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        ASSERT_TRUE(StartLog(m_log, "diag.log", 5));
    }
    std::string Text() { return logtest::ReadAll(Path("diag.log")); }
    bool Has(const std::string& line) { return Text().find(line + "\r\n") != std::string::npos; }

    CLog m_log;
};

TEST_F(DiagnosticsTest, SystemBlockNamesThisProcessAndItsVersion) {
    DumpDiagnostics(&m_log, nullptr, diagnostics::kDumpSystem, 5);
    const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_TRUE(Has("AUD: LOGD:-> (diag_level=0x1, log_level=0x5"));
    EXPECT_TRUE(Has("AUD: LOGD:current_log_level=0x5"));
    EXPECT_TRUE(Has("AUD: LOGD:module_path_exe='" + exe + "'"));
    EXPECT_TRUE(Has("AUD: LOGD:module_path_dll='" + exe + "'"));
    EXPECT_TRUE(std::regex_search(Text(), std::regex(R"(fver=1\.0\.2\.\d+, pver=1\.0\.2\.\d+\r\n)")));
    EXPECT_EQ(Text().find("Error getting"), std::string::npos);
    EXPECT_TRUE(std::regex_search(Text(), std::regex(R"(OS: \(OSVI\) pid=76, maj=\d+, min=\d+, bui=\d+\r\n)")));
    EXPECT_NE(Text().find("#tasks_ret="), std::string::npos);
    EXPECT_TRUE(std::regex_search(Text(), std::regex(plat::Format(R"(: id=0x%08x, proc='[^']+'\r\n)", GetCurrentProcessId()))));
    EXPECT_TRUE(Has("AUD: LOGD:TIME: SYSTEM UTC: 05.03.2007 14:02:09"));
    EXPECT_TRUE(Has("AUD: LOGD:TIME: SYSTEM LOCAL: 05.03.2007 14:02:09"));
    EXPECT_TRUE(Text().ends_with("AUD: LOGD:<-\r\n"));
}

TEST_F(DiagnosticsTest, ModuleWithoutVersionRecordReportsTheFailure) {
    void* library = dlopen("libsqlite3.so.0", RTLD_LAZY);
    ASSERT_NE(library, nullptr);
    DumpDiagnostics(&m_log, library, diagnostics::kDumpSystem, 5);
    dlclose(library);
    EXPECT_TRUE(std::regex_search(Text(), std::regex(R"(module_path_dll='[^']*libsqlite3\.so\.0'\r\n)")));
    EXPECT_TRUE(Has("AUD: LOGD:Error getting file version, hr=0x80070715, @err=1813"));
    EXPECT_TRUE(Has("AUD: LOGD:fver=0.0.0.0, pver=0.0.0.0"));
}

TEST_F(DiagnosticsTest, LevelThatDoesNotPassStopsAfterTheOpeningLines) {
    DumpDiagnostics(&m_log, nullptr, diagnostics::kDumpSystem, 6);
    EXPECT_EQ(Text(),
              "05.03.2007 14:02:09:031 AUD: LOGD:-> (diag_level=0x1, log_level=0x6\r\n"
              "05.03.2007 14:02:09:031 AUD: LOGD:current_log_level=0x5\r\n"
              "05.03.2007 14:02:09:031 AUD: LOGD:<- NTD\r\n");
}

TEST_F(DiagnosticsTest, LevelFifteenPassesAQuietLogAndFlagsZeroSkipsTheSystemBlock) {
    m_log.SetLevel(0);
    DumpDiagnostics(&m_log, nullptr, 0, 15);
    EXPECT_EQ(Text(), "05.03.2007 14:02:09:031 ALW: LOGD:<-\r\n");
}

}  // namespace
