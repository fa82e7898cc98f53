// Finding the resource library: the program's folder first, then the App
// Paths folder, then the system search; the version check on major, minor
// and build; and the error box for each way it can fail.
#include "ResourceLibrary.h"

#include "AppTestSupport.h"
#include "base/text.h"
#include "resource/module.h"

using namespace apptest;

namespace {

const std::u16string kLumexAppPaths = std::u16string(kAppPathsKey) + u"\\lumex.exe";

class ResourceLibraryTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        RecordBoxes();
    }
    static ResourceLibrarySearch In(const std::string& program_dir) {
        ResourceLibrarySearch search;
        search.programDirectory = plat::Utf8ToUtf16(program_dir);
        return search;
    }
    static std::u16string Marker(HMODULE module) {
        WCHAR text[64];
        const int n = LoadStringW(module, 1, text, 64);
        return std::u16string(text, std::size_t(n));
    }
    static std::u16string PathOf(const std::string& lib) { return plat::Utf8ToUtf16(LibraryDir(lib) + "/LUMEXRS.DLL"); }
    std::string EmptyDir() const { return m_root.Dir(); }
};

}  // namespace

TEST_F(ResourceLibraryTest, PackedVersionsCompareMajorMinorAndBuildOnly) {
    const PackedVersion v = PackedVersion::Of(1, 0, 2, 7);
    EXPECT_EQ(v.high, 0x01000002u);
    EXPECT_EQ(v.revision, 7u);
    EXPECT_EQ(v.Text(), u"1.0.2.7");
    EXPECT_EQ(PackedVersion::Of(1, 0, 2).high, v.high);
    EXPECT_NE(PackedVersion::Of(1, 0, 3).high, v.high);
    EXPECT_EQ(PackedVersion::Of(1, 0x134, 2).Minor(), 0x34u) << "the minor keeps its low 8 bits";
    EXPECT_EQ(PackedVersion::Of(2, 1, 65535, 9).Text(), u"2.1.65535.9");
}

TEST_F(ResourceLibraryTest, ALibraryOfVersion1027IsAccepted) {
    HMODULE module = LoadResourceLibrary(In(LibraryDir("v1027")));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(Marker(module), u"1.0.2.7");
    EXPECT_TRUE(m_boxes.empty());
    FreeLibrary(module);
}

TEST_F(ResourceLibraryTest, ALibraryOfVersion1030IsRefusedWithBothVersionsAndItsPath) {
    EXPECT_EQ(LoadResourceLibrary(In(LibraryDir("v1030"))), nullptr);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].caption, u"Zelmor Lumetra");
    EXPECT_EQ(m_boxes[0].text, u"The version of resource DLL is not compatible (1.0.3.0, required is 1.0.2.0).\n\n" +
                                   plat::Utf8ToUtf16(LibraryDir("v1030") + "/LUMEXRS.DLL"));
    EXPECT_TRUE(m_boxes[0].errorIcon);
    EXPECT_EQ(GetModuleHandleW(PathOf("v1030").c_str()), nullptr) << "the refused library is released";
}

TEST_F(ResourceLibraryTest, ALibraryWithoutVersionIsRefused) {
    EXPECT_EQ(LoadResourceLibrary(In(LibraryDir("unversioned"))), nullptr);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text,
              u"Failed querying revision of resource DLL:\n\n" + plat::Utf8ToUtf16(LibraryDir("unversioned") + "/LUMEXRS.DLL"));
    EXPECT_TRUE(m_boxes[0].errorIcon);
}

TEST_F(ResourceLibraryTest, AMissingLibraryIsNamedInTheBox) {
    ResourceLibrarySearch search = In(EmptyDir());
    search.libraryName = u"NOSUCHRS.DLL";
    EXPECT_EQ(LoadResourceLibrary(search), nullptr);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].caption, u"Zelmor Lumetra");
    EXPECT_EQ(m_boxes[0].text, u"Resource DLL NOSUCHRS.DLL could not be loaded.");
    EXPECT_TRUE(m_boxes[0].errorIcon);
}

TEST_F(ResourceLibraryTest, TheLibraryBesideTheProgramWinsOverAppPaths) {
    SetString(HKEY_LOCAL_MACHINE, kLumexAppPaths.c_str(), u"Path", plat::Utf8ToUtf16(LibraryDir("v1023")));
    HMODULE module = LoadResourceLibrary(In(LibraryDir("v1027")));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(Marker(module), u"1.0.2.7");
    FreeLibrary(module);
}

TEST_F(ResourceLibraryTest, AppPathsIsSearchedWhenTheProgramFolderHasNone) {
    const struct {
        const WCHAR* value;
        std::u16string subKey;
        std::string directory;
    } cases[] = {
        {u"Path", u"", LibraryDir("v1023")},
        {u"Path", u"", LibraryDir("v1023") + "/"},
        {nullptr, u"\\Path", LibraryDir("v1023")},
    };
    for (const auto& c : cases) {
        ScopedRoot root;
        SetString(HKEY_LOCAL_MACHINE, (kLumexAppPaths + c.subKey).c_str(), c.value, plat::Utf8ToUtf16(c.directory));
        HMODULE module = LoadResourceLibrary(In(root.Dir()));
        ASSERT_NE(module, nullptr) << c.directory;
        EXPECT_EQ(Marker(module), u"App Paths");
        FreeLibrary(module);
    }
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(ResourceLibraryTest, TheSystemSearchComesLast) {
    // The test program's own folder holds the product's library, which the
    // bare name finds when neither the given folder nor App Paths has one.
    HMODULE module = LoadResourceLibrary(In(EmptyDir()));
    ASSERT_NE(module, nullptr);
    WCHAR text[16];
    EXPECT_GT(LoadStringW(module, 154, text, 16), 0);
    EXPECT_EQ(std::u16string(text), u"English");
    FreeLibrary(module);
}
