// What a program learns about its system: the system libraries and their
// entry points, the version record, the system folder and the processors.
#include <gtest/gtest.h>

#include <sched.h>

#include <cstring>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "kernel/client/device_files.h"
#include "process/system_info.h"
#include "process/system_procs.h"
#include "resource/module.h"
#include "security/accounts.h"
#include "service/version.h"
#include "service/winsvc.h"
#include "ui/layered.h"
#include "ui/window_theme.h"

namespace {

template <typename F>
FARPROC AsProc(F* f) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(f));
}

TEST(SystemModules, AnswerTheEntryPointsThePlatformProvidesAndNoOthers) {
    const struct {
        const char16_t* module;
        const char* name;
        FARPROC expected;
    } cases[] = {
        {u"USER32.DLL", "SetLayeredWindowAttributes", AsProc(&SetLayeredWindowAttributes)},
        {u"KERNEL32.DLL", "GetDiskFreeSpaceExW", AsProc(&GetDiskFreeSpaceExW)},
        {u"kernel32.dll", "GetNativeSystemInfo", AsProc(&GetNativeSystemInfo)},
        {u"Kernel32", "SetProcessAffinityMask", AsProc(&SetProcessAffinityMask)},
        {u"uxtheme.dll", "SetWindowTheme", AsProc(&SetWindowTheme)},
        {u"advapi32.dll", "RegisterServiceCtrlHandlerExW", AsProc(&RegisterServiceCtrlHandlerExW)},
        {u"USER32.DLL", "GetDiskFreeSpaceExW", nullptr},  // in another library
        {u"KERNEL32.DLL", "GetLogicalProcessorInformationEx", nullptr},
        {u"uxtheme.dll", "setwindowtheme", nullptr},  // names are exact
    };
    for (const auto& c : cases) {
        HMODULE module = GetModuleHandleW(c.module);
        ASSERT_NE(module, nullptr) << c.name;
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(module, c.name), c.expected) << c.name;
        if (!c.expected) {
            EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND) << c.name;
        }
    }
    EXPECT_EQ(GetModuleHandleW(u"user32"), GetModuleHandleW(u"USER32.DLL"));
    EXPECT_NE(GetModuleHandleW(u"user32"), GetModuleHandleW(u"kernel32"));
    EXPECT_EQ(GetProcAddress(GetModuleHandleW(u"kernel32"), reinterpret_cast<LPCSTR>(std::uintptr_t(1))), nullptr)
        << "ordinals are not served";
    EXPECT_EQ(GetProcAddress(GetModuleHandleW(u"kernel32"), nullptr), nullptr);

    // Loading a system library gives the same handle and never unloads it.
    HMODULE loaded = LoadLibraryW(u"UxTheme.dll");
    EXPECT_EQ(loaded, GetModuleHandleW(u"uxtheme.dll"));
    EXPECT_TRUE(FreeLibrary(loaded));
    EXPECT_TRUE(FreeLibrary(loaded));
    EXPECT_NE(GetProcAddress(GetModuleHandleW(u"uxtheme"), "SetWindowTheme"), nullptr);

    SetLastError(0);
    EXPECT_EQ(GetModuleHandleW(u"shell32.dll"), nullptr) << "not a library this platform has";
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(GetModuleHandleW(u"C:\\Windows\\user32.dll"), nullptr) << "a path is a file, not the system library";
}

TEST(SystemInfo, VersionRecordFollowsGetVersionAndChecksItsSize) {
    plat::ScopedReportedVersion version(plat::WindowsVersion{6, 1, 7601});
    OSVERSIONINFOEXW ex;
    std::memset(static_cast<void*>(&ex), 0xCC, sizeof ex);
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&ex)));
    EXPECT_EQ(ex.dwMajorVersion, 6u);
    EXPECT_EQ(ex.dwMinorVersion, 1u);
    EXPECT_EQ(ex.dwBuildNumber, 7601u);
    EXPECT_EQ(ex.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(ex.szCSDVersion[0], 0) << "no service pack text, and no poison left";
    EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);
    EXPECT_EQ(ex.wServicePackMajor, 0);

    // The short record is filled without touching what lies beyond it.
    struct {
        OSVERSIONINFOW info;
        unsigned char guard[8];
    } shortRecord;
    std::memset(static_cast<void*>(&shortRecord), 0xCC, sizeof shortRecord);
    shortRecord.info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    ASSERT_TRUE(GetVersionExW(&shortRecord.info));
    EXPECT_EQ(shortRecord.info.dwMajorVersion, 6u);
    for (unsigned char b : shortRecord.guard) EXPECT_EQ(b, 0xCC);

    OSVERSIONINFOW wrong;
    wrong.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(GetVersionExW(&wrong));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(SystemInfo, SystemDirectoryFitsOrTellsTheSizeNeeded) {
    WCHAR buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    const UINT length = GetSystemDirectoryW(buffer, 64);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::u16string(buffer), u"\\usr\\bin");
    EXPECT_EQ(buffer[length + 1], u'#');
    WCHAR small[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(GetSystemDirectoryW(small, 4), length + 1) << "too small: the size needed";
    EXPECT_EQ(small[0], u'#') << "and nothing written";
}

TEST(SystemInfo, ArchitectureAndProcessorsAreTheMachines) {
    SYSTEM_INFO native, own;
    GetNativeSystemInfo(&native);
    GetSystemInfo(&own);
#if defined(__x86_64__)
    EXPECT_EQ(native.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(own.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
#endif
    EXPECT_GE(native.dwNumberOfProcessors, 1u);
    EXPECT_EQ(native.dwPageSize, 4096u);
    EXPECT_NE(native.dwActiveProcessorMask, 0u);
}

TEST(SystemInfo, AffinityMaskReachesEveryThreadAndABadMaskChangesNothing) {
    DWORD_PTR before = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &before, &system));
    ASSERT_NE(before, 0u);
    DWORD_PTR lowest = before & (~before + 1);
    ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), lowest));
    DWORD_PTR now = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &now, &system);
    EXPECT_EQ(now, lowest);
    EXPECT_FALSE(SetProcessAffinityMask(GetCurrentProcess(), 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetProcessAffinityMask(reinterpret_cast<HANDLE>(std::uintptr_t(0x1234)), lowest));
    GetProcessAffinityMask(GetCurrentProcess(), &now, &system);
    EXPECT_EQ(now, lowest) << "a failed call changes nothing";
    EXPECT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), before));
}

}  // namespace
