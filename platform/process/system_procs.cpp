#include "process/system_procs.h"

#include <cstring>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "kernel/client/device_files.h"
#include "process/system_info.h"
#include "resource/module.h"
#include "resource/system_modules.h"
#include "service/winsvc.h"
#include "ui/layered.h"
#include "ui/window_theme.h"

namespace {

using plat::resource::SystemModule;

struct Proc {
    SystemModule module;
    const char* name;
    void* address;
};

template <typename F>
void* Address(F* function) {
    return reinterpret_cast<void*>(function);
}

const Proc kProcs[] = {
    {SystemModule::Kernel32, "GetDiskFreeSpaceExW", Address(&GetDiskFreeSpaceExW)},
    {SystemModule::Kernel32, "GetDiskFreeSpaceW", Address(&GetDiskFreeSpaceW)},
    {SystemModule::Kernel32, "GetNativeSystemInfo", Address(&GetNativeSystemInfo)},
    {SystemModule::Kernel32, "GetSystemInfo", Address(&GetSystemInfo)},
    {SystemModule::Kernel32, "GetVersionExW", Address(&GetVersionExW)},
    {SystemModule::Kernel32, "GetSystemDirectoryW", Address(&GetSystemDirectoryW)},
    {SystemModule::Kernel32, "SetProcessAffinityMask", Address(&SetProcessAffinityMask)},
    {SystemModule::Kernel32, "GetProcessAffinityMask", Address(&GetProcessAffinityMask)},
    {SystemModule::User32, "SetLayeredWindowAttributes", Address(&SetLayeredWindowAttributes)},
    {SystemModule::Uxtheme, "SetWindowTheme", Address(&SetWindowTheme)},
};

void* SystemProc(SystemModule module, const char* name) {
    if (module == SystemModule::Advapi32) return plat::service::LookupAdvapiProc(name);
    for (const Proc& p : kProcs)
        if (p.module == module && std::strcmp(p.name, name) == 0) return p.address;
    return nullptr;
}

}  // namespace

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    void* address = nullptr;
    SystemModule which;
    if (name && (reinterpret_cast<std::uintptr_t>(name) >> 16) != 0) {
        address = plat::resource::IsSystemModule(module, &which) ? SystemProc(which, name)
                                                                 : plat::resource::LibrarySymbol(module, name);
    }
    if (!address) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(address);
}
