// Ordinary files through CreateOrdinaryFile (CreateFileW's file half),
// ReadFile, WriteFile and CloseHandle.
#include "base/file_io.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/handle.h"
#include "base/last_error.h"
#include "base/nt_types.h"
#include "base/text.h"
#include "base/win_errors.h"

namespace {

class FileIoTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() / ("file_io_test_" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::u16string PathOf(const std::string& name) { return plat::Utf8ToUtf16((m_dir / name).string()); }
    std::string Contents(const std::string& name) {
        std::ifstream in(m_dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    HANDLE Open(const std::u16string& path, DWORD access, DWORD disposition) {
        return plat::CreateOrdinaryFile(path.c_str(), access, disposition);
    }
    std::filesystem::path m_dir;
};

TEST_F(FileIoTest, CreateAlwaysTruncatesAndWritesWhatItWasGiven) {
    {
        std::ofstream old(m_dir / "report.txt");
        old << "an older and longer report";
    }
    HANDLE file = Open(PathOf("report.txt"), GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const char16_t text[] = u"\xFEFFHealth: OK\r\n";
    DWORD written = 0xCCCC;
    ASSERT_TRUE(WriteFile(file, text, sizeof text - 2, &written, nullptr));
    EXPECT_EQ(written, sizeof text - 2);
    ASSERT_TRUE(CloseHandle(file));
    EXPECT_EQ(Contents("report.txt"), std::string(reinterpret_cast<const char*>(text), sizeof text - 2));
    EXPECT_FALSE(WriteFile(file, text, 2, &written, nullptr)) << "a closed handle writes nothing";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(written, 0u);
}

TEST_F(FileIoTest, DispositionsKeepTheirWindowsMeaning) {
    const std::u16string path = PathOf("data.bin");
    EXPECT_EQ(Open(path, GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(path, GENERIC_WRITE, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    HANDLE created = Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(WriteFile(created, "abcdef", 6, nullptr, nullptr));
    CloseHandle(created);
    EXPECT_EQ(Open(path, GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

    HANDLE kept = Open(path, GENERIC_READ, OPEN_ALWAYS);  // exists: opened as it is
    ASSERT_NE(kept, INVALID_HANDLE_VALUE);
    char buffer[16] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(kept, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "abcdef") << "fewer bytes at the end of the file";
    ASSERT_TRUE(ReadFile(kept, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_FALSE(WriteFile(kept, "x", 1, nullptr, nullptr)) << "opened for reading only";
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(kept);
    EXPECT_EQ(Contents("data.bin"), "abcdef");
    EXPECT_EQ(Open(path, GENERIC_WRITE, 9), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FileIoTest, WindowsFormPathsAreFilesAndDriveLettersAreNot) {
    std::u16string windows = PathOf("win.txt");
    std::replace(windows.begin(), windows.end(), u'/', u'\\');
    HANDLE file = Open(windows, GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_TRUE(std::filesystem::exists(m_dir / "win.txt"));
    EXPECT_EQ(Open(u"C:\\report.txt", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Open(PathOf("no/such/folder.txt"), GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
}

TEST_F(FileIoTest, AWriteTheDiskCannotTakeFailsAndSaysHowMuchWentThrough) {
    // A file size limit stands in for a full disk (the write fails short).
    HANDLE file = Open(PathOf("limited.txt"), GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    DWORD written = 0;
    const BOOL ok = WriteFile(file, "0123456789", 10, &written, nullptr);
    const DWORD error = GetLastError();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_DFL);
    CloseHandle(file);
    EXPECT_FALSE(ok);
    EXPECT_EQ(written, 4u);
    EXPECT_NE(error, 0u);
    EXPECT_EQ(Contents("limited.txt"), "0123");
}

}  // namespace
