#include "resource/module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "base/last_error.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "resource/resource_blob.h"
#include "resource/system_modules.h"

namespace plat::resource {
namespace {

struct Module {
    std::string path;  // canonical Linux path
    void* library = nullptr;
    std::vector<ResourceView> resources;
    int references = 1;
};

// Guards the module table; taken alone, never while calling out.
std::mutex& ModulesMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<HMODULE, std::unique_ptr<Module>>& Modules() {
    static std::map<HMODULE, std::unique_ptr<Module>> modules;
    return modules;
}

std::string ExecutablePath() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

// The directory entry in `dir` named `name`, exactly or without regard to case.
std::optional<std::filesystem::path> FindInDirectory(const std::filesystem::path& dir, const std::string& name) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(dir / name, ec)) return dir / name;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (EqualsNoCase(entry.path().filename().string(), name) && entry.is_regular_file(ec)) return entry.path();
    }
    return std::nullopt;
}

std::vector<std::filesystem::path> SearchDirectories() {
    std::vector<std::filesystem::path> dirs;
    if (const std::string exe = ExecutablePath(); !exe.empty()) dirs.push_back(std::filesystem::path(exe).parent_path());
    std::error_code ec;
    dirs.push_back(std::filesystem::current_path(ec));
    if (const char* path = std::getenv("PATH")) {
        std::string rest = path;
        for (std::size_t start = 0; start <= rest.size();) {
            const std::size_t end = std::min(rest.find(':', start), rest.size());
            if (end > start) dirs.emplace_back(rest.substr(start, end - start));
            start = end + 1;
        }
    }
    return dirs;
}

std::optional<std::filesystem::path> Locate(const std::string& name) {
    const std::filesystem::path given(name);
    if (name.find('/') != std::string::npos) {
        return FindInDirectory(given.parent_path().empty() ? "." : given.parent_path(), given.filename().string());
    }
    for (const auto& dir : SearchDirectories()) {
        if (auto found = FindInDirectory(dir, name)) return found;
    }
    return std::nullopt;
}

Module* LookupLocked(HMODULE module) {
    auto it = Modules().find(module);
    return it == Modules().end() ? nullptr : it->second.get();
}

HMODULE NewHandle() {
    static std::uintptr_t next = 0x10000;  // handles are never reused
    next += 0x10000;
    return reinterpret_cast<HMODULE>(next);
}

// Opens `path` as a resource library; null with last error on failure.
std::unique_ptr<Module> OpenLibrary(const std::string& path) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    const auto* block = static_cast<const std::uint8_t*>(dlsym(library, "lumetra_resources"));
    const auto* size = static_cast<const std::uint32_t*>(dlsym(library, "lumetra_resources_size"));
    std::optional<std::vector<ResourceView>> resources;
    if (block && size) resources = ParseResources({block, *size});
    if (!resources) {
        dlclose(library);
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    auto module = std::make_unique<Module>();
    module->path = path;
    module->library = library;
    module->resources = std::move(*resources);
    return module;
}

}  // namespace

std::string LinuxPath(std::u16string_view windows_path) {
    std::string path = Utf16ToUtf8(std::u16string(windows_path));
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::u16string WindowsPath(const std::string& linux_path) {
    std::u16string path = Utf8ToUtf16(linux_path);
    std::replace(path.begin(), path.end(), u'/', u'\\');
    return path;
}

void* LibrarySymbol(HMODULE module, const char* name) {
    std::lock_guard lock(ModulesMutex());
    const Module* m = LookupLocked(module);
    return m && name ? dlsym(m->library, name) : nullptr;
}

std::optional<std::span<const std::uint8_t>> FindResourceData(HMODULE module, std::uint32_t type, std::uint32_t id) {
    std::lock_guard lock(ModulesMutex());
    const Module* m = LookupLocked(module);
    if (!m) return std::nullopt;
    for (const ResourceView& r : m->resources) {
        if (r.type == type && r.id == id) return r.data;
    }
    return std::nullopt;
}

}  // namespace plat::resource

using namespace plat::resource;

HMODULE LoadLibraryW(LPCWSTR file_name) {
    if (!file_name || !*file_name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (HMODULE system = SystemModuleHandle(file_name)) return system;
    const auto found = Locate(LinuxPath(file_name));
    if (!found) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::error_code ec;
    const std::string path = std::filesystem::canonical(*found, ec).string();
    {
        std::lock_guard lock(ModulesMutex());
        for (auto& [handle, module] : Modules()) {
            if (module->path == path) {
                ++module->references;
                return handle;
            }
        }
    }
    auto module = OpenLibrary(path);
    if (!module) return nullptr;
    std::lock_guard lock(ModulesMutex());
    const HMODULE handle = NewHandle();
    Modules().emplace(handle, std::move(module));
    return handle;
}

BOOL FreeLibrary(HMODULE module) {
    if (IsSystemModule(module)) return TRUE;  // loaded for the life of the process
    void* library = nullptr;
    {
        std::lock_guard lock(ModulesMutex());
        auto it = Modules().find(module);
        if (it == Modules().end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--it->second->references > 0) return TRUE;
        library = it->second->library;
        Modules().erase(it);
    }
    dlclose(library);
    return TRUE;
}

HMODULE GetModuleHandleW(LPCWSTR module_name) {
    if (!module_name) return reinterpret_cast<HMODULE>(std::uintptr_t(0x400000));  // the program itself
    if (HMODULE system = SystemModuleHandle(module_name)) return system;
    const auto found = Locate(LinuxPath(module_name));
    std::error_code ec;
    const std::string path = found ? std::filesystem::canonical(*found, ec).string() : std::string();
    std::lock_guard lock(ModulesMutex());
    for (auto& [handle, module] : Modules()) {
        if (module->path == path) return handle;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    std::string path;
    if (!module || module == GetModuleHandleW(nullptr)) {
        path = ExecutablePath();
    } else {
        std::lock_guard lock(ModulesMutex());
        const Module* m = LookupLocked(module);
        if (!m) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        path = m->path;
    }
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::u16string text = WindowsPath(path);
    const DWORD copied = std::min<DWORD>(DWORD(text.size()), size - 1);
    std::copy_n(text.begin(), copied, buffer);
    buffer[copied] = 0;
    if (copied < text.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;  // Windows returns the buffer size when the path is truncated
    }
    return copied;
}

namespace {

std::optional<std::uint32_t> TypeNumber(LPCWSTR type) {
    if (!type) return std::nullopt;
    if (IS_INTRESOURCE(type)) return std::uint32_t(reinterpret_cast<std::uintptr_t>(type));
    if (plat::EqualsNoCase(std::u16string_view(type), u"AVI")) return RT_AVI;
    return std::nullopt;
}

// The entry behind a resource handle, when it belongs to module.
const ResourceView* EntryLocked(HMODULE module, HRSRC resource) {
    auto it = Modules().find(module);
    if (it == Modules().end()) return nullptr;
    for (const ResourceView& view : it->second->resources) {
        if (reinterpret_cast<HRSRC>(const_cast<ResourceView*>(&view)) == resource) return &view;
    }
    return nullptr;
}

}  // namespace

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    const auto type_number = TypeNumber(type);
    std::lock_guard lock(ModulesMutex());
    auto it = Modules().find(module);
    if (it == Modules().end()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (!type_number || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    const std::uint32_t id = std::uint32_t(reinterpret_cast<std::uintptr_t>(name));
    for (ResourceView& view : it->second->resources) {
        if (view.type == *type_number && view.id == id) return reinterpret_cast<HRSRC>(&view);
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    std::lock_guard lock(ModulesMutex());
    const ResourceView* view = EntryLocked(module, resource);
    if (!view) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return const_cast<std::uint8_t*>(view->data.data());
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    std::lock_guard lock(ModulesMutex());
    const ResourceView* view = EntryLocked(module, resource);
    if (!view) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return DWORD(view->data.size());
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) {
    if (!buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto data = FindResourceData(instance, RT_STRING, id);
    const int length = data ? int(data->size() / 2) - 1 : 0;  // stored with its terminator
    if (size == 0) {
        *reinterpret_cast<LPCWSTR*>(buffer) = data ? reinterpret_cast<LPCWSTR>(data->data()) : nullptr;
        return length;
    }
    const int copied = std::min(length, size - 1);
    if (copied > 0) std::memcpy(buffer, data->data(), std::size_t(copied) * 2);
    buffer[std::max(copied, 0)] = 0;
    if (!data) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return std::max(copied, 0);
}
