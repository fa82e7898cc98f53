#include "resource/module.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/last_error.h"
#include "base/win_errors.h"

using namespace plat::resource;

namespace {

std::u16string SamplePath(const char* name) { return WindowsPath(std::string(SAMPLE_DIR) + "/" + name); }

class LoadedSample : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_module) << GetLastError(); }
    void TearDown() override {
        if (m_module) FreeLibrary(m_module);
    }
    HMODULE m_module = LoadLibraryW(SamplePath("LUMEXRS.DLL").c_str());
};

}  // namespace

TEST(ResourceModule, LoadingTwiceSharesTheHandleAndCountsReferences) {
    const std::u16string path = SamplePath("LUMEXRS.DLL");
    HMODULE first = LoadLibraryW(path.c_str());
    ASSERT_TRUE(first);
    HMODULE second = LoadLibraryW(SamplePath("lumexrs.dll").c_str());  // names match without regard to case
    EXPECT_EQ(first, second);
    EXPECT_TRUE(FreeLibrary(first));
    WCHAR buffer[512];
    EXPECT_GT(GetModuleFileNameW(second, buffer, 512), 0u);  // still loaded
    EXPECT_TRUE(FreeLibrary(second));
    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(second));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(ResourceModule, FailuresReportWindowsErrors) {
    const struct {
        std::u16string name;
        DWORD error;
    } cases[] = {
        {SamplePath("NOPE.DLL"), ERROR_MOD_NOT_FOUND},
        {u"NO_SUCH_LIBRARY_ANYWHERE.DLL", ERROR_MOD_NOT_FOUND},
        {SamplePath("PLAIN.DLL"), ERROR_BAD_EXE_FORMAT},
        {u"", ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryW(c.name.c_str()), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(LoadedSample, ModuleFileNameIsTheWindowsFormPathAndTruncates) {
    const std::u16string expected =
        WindowsPath(std::filesystem::canonical(std::string(SAMPLE_DIR) + "/LUMEXRS.DLL").string());
    WCHAR buffer[512];
    ASSERT_EQ(GetModuleFileNameW(m_module, buffer, 512), expected.size());
    EXPECT_EQ(std::u16string(buffer), expected);
    EXPECT_EQ(expected[0], u'\\');

    WCHAR small[6];
    std::fill(std::begin(small), std::end(small), u'#');
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(m_module, small, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(small), expected.substr(0, 4));
    EXPECT_EQ(small[5], u'#');  // nothing written past the given size
}

TEST_F(LoadedSample, StringsLoadByIdAndMissingOnesAreEmpty) {
    WCHAR buffer[64];
    EXPECT_EQ(LoadStringW(m_module, 154, buffer, 64), 7);
    EXPECT_EQ(std::u16string(buffer), u"English");
    EXPECT_EQ(LoadStringW(m_module, 300, buffer, 64), 15);
    EXPECT_EQ(std::u16string(buffer), u"Gr\u00FC\u00DFe, \"quoted\"");

    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(LoadStringW(m_module, 155, buffer, 64), 0);
    EXPECT_EQ(buffer[0], 0);

    EXPECT_EQ(LoadStringW(m_module, 154, buffer, 4), 3);
    EXPECT_EQ(std::u16string(buffer), u"Eng");
    EXPECT_EQ(buffer[4], u'#');

    LPCWSTR direct = nullptr;
    EXPECT_EQ(LoadStringW(m_module, 208, reinterpret_cast<LPWSTR>(&direct), 0), 21);
    EXPECT_EQ(std::u16string(direct, 21), u"lumex.chm::/index.htm");
    EXPECT_EQ(LoadStringW(nullptr, 154, buffer, 64), 0);
}

TEST_F(LoadedSample, RawResourcesByTypeAndId) {
    HRSRC clip = FindResourceW(m_module, MAKEINTRESOURCEW(400), u"AVI");
    ASSERT_TRUE(clip);
    EXPECT_EQ(SizeofResource(m_module, clip), 320u);
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(m_module, clip)));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes, 4), "RIFF");

    SetLastError(0);
    EXPECT_EQ(FindResourceW(m_module, MAKEINTRESOURCEW(401), u"AVI"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(FindResourceW(m_module, MAKEINTRESOURCEW(400), u"WAVE"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    EXPECT_EQ(SizeofResource(m_module, reinterpret_cast<HRSRC>(&clip)), 0u);  // not one of its resources
}
