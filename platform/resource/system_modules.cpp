#include "resource/system_modules.h"

#include <cstdint>

#include "base/text.h"

namespace plat::resource {
namespace {

struct Entry {
    SystemModule module;
    const char* name;  // without ".dll"
};

constexpr Entry kModules[] = {
    {SystemModule::Kernel32, "kernel32"},
    {SystemModule::User32, "user32"},
    {SystemModule::Advapi32, "advapi32"},
    {SystemModule::Uxtheme, "uxtheme"},
};

// Below the handles of loaded libraries (0x20000 upwards) and apart from the
// program's own (0x400000).
constexpr std::uintptr_t kFirstHandle = 0x7000;

}  // namespace

HMODULE SystemModuleHandle(SystemModule module) {
    return reinterpret_cast<HMODULE>(kFirstHandle + 0x10 * (std::uintptr_t(module) + 1));
}

HMODULE SystemModuleHandle(std::u16string_view name) {
    std::string base = Utf16ToUtf8(std::u16string(name));
    if (base.size() > 4 && EqualsNoCase(base.substr(base.size() - 4), ".dll")) base.resize(base.size() - 4);
    for (const Entry& e : kModules)
        if (EqualsNoCase(base, e.name)) return SystemModuleHandle(e.module);
    return nullptr;
}

bool IsSystemModule(HMODULE module, SystemModule* which) {
    for (const Entry& e : kModules) {
        if (SystemModuleHandle(e.module) != module) continue;
        if (which) *which = e.module;
        return true;
    }
    return false;
}

}  // namespace plat::resource
