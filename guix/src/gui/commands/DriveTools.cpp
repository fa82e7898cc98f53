#include "commands/DriveTools.h"

#include "GuiLog.h"
#include "base/handle.h"
#include "base/last_error.h"
#include "process/create_process.h"
#include "process/system_info.h"

namespace cmd {
namespace {

constexpr DWORD kTypeFloppy = 1;
constexpr DWORD kTypeCdRom = 2;
constexpr DWORD kTypeDisk = 7;
constexpr DWORD kTypeNetwork = 18;
constexpr DWORD kTypeVirtualDisk = 36;
constexpr WCHAR kNetworkCatchAll = 0x60;

ProgramCall DiskUtility(const SystemFacts& system) {
    if (system.majorVersion < 5) return {u"windisk.exe", u""};
    return {u"mmc.exe", system.systemPath + u"diskmgmt.msc"};
}

RowBoxAction Start(ProgramCall call) { return {RowBoxAction::Start, std::move(call)}; }

}  // namespace

SystemFacts ThisSystem() {
    WCHAR folder[260] = {};
    const UINT length = GetSystemDirectoryW(folder, UINT(std::size(folder)));
    SystemFacts facts;
    if (length > 0 && length < std::size(folder)) facts.systemPath = std::u16string(folder, length) + u"\\";
    OSVERSIONINFOW version;
    if (GetVersionExW(&version)) facts.majorVersion = version.dwMajorVersion;
    return facts;
}

RowBoxAction ChooseRowBoxAction(std::optional<DWORD> smart_device_type, std::optional<DWORD> first_record_type,
                                const SystemFacts& system) {
    if (smart_device_type) {
        if (*smart_device_type == kTypeDisk || *smart_device_type == kTypeVirtualDisk) return Start(DiskUtility(system));
        return {};
    }
    if (!first_record_type) return {};
    switch (*first_record_type) {
        case kTypeNetwork:
            return Start({u"rundll32.exe", u"shell32.dll,Control_RunDLL " + system.systemPath + u"ncpa.cpl"});
        case kTypeFloppy:
        case kTypeCdRom: return {RowBoxAction::Eject, {}};
        case kTypeDisk: return Start({u"mmc.exe", system.systemPath + u"diskmgmt.msc"});
        default: return {};
    }
}

std::optional<ProgramCall> FileManagerCall(WCHAR letter, DWORD device_type) {
    if (letter < u'[') return ProgramCall{u"explorer.exe", u"/e," + std::u16string(1, letter) + u":\\"};
    if (letter == kNetworkCatchAll && device_type == kTypeNetwork)
        return ProgramCall{u"explorer.exe", u"/e,::{208D2C60-3AEA-1069-A2D7-08002B30309D}"};
    return std::nullopt;
}

std::u16string CommandLineOf(const ProgramCall& call) {
    return call.arguments.empty() ? call.program : call.program + u" " + call.arguments;
}

HRESULT StartProgram(const ProgramCall& call) {
    if (call.program.empty()) return E_POINTER;
    std::u16string line = CommandLineOf(call);
    PROCESS_INFORMATION info;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info)) {
        gui::Trace(u"USER: StartProgram() ERROR: %d MSG: %s\n", GetLastError(), line);
        return E_FAIL;
    }
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    return S_OK;
}

}  // namespace cmd
