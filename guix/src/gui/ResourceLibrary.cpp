#include "ResourceLibrary.h"

#include "RegistryValue.h"
#include "base/format.h"
#include "base/text.h"
#include "resource/module.h"
#include "ui/message_box.h"

namespace {

constexpr std::size_t kMaxCaption = 80;

std::u16string WithBackslash(std::u16string directory) {
    if (!directory.empty() && directory.back() != u'\\' && directory.back() != u'/') directory += u'\\';
    return directory;
}

std::u16string ModuleFileName(HMODULE module) {
    WCHAR path[4096];
    const DWORD length = GetModuleFileNameW(module, path, 4096);
    return std::u16string(path, length);
}

std::u16string ProgramDirectory() {
    const std::u16string file = ModuleFileName(nullptr);
    const std::size_t slash = file.find_last_of(u'\\');
    return slash == std::u16string::npos ? std::u16string() : file.substr(0, slash);
}

std::u16string AppPathsDirectory(const std::u16string& executable) {
    const std::u16string key = std::u16string(kAppPathsKey) + u"\\" + executable;
    std::u16string directory;
    if (ReadRegistryString(HKEY_LOCAL_MACHINE, key.c_str(), u"Path", directory) && !directory.empty()) return directory;
    directory.clear();
    ReadRegistryString(HKEY_LOCAL_MACHINE, (key + u"\\Path").c_str(), nullptr, directory);
    return directory;
}

// The file a module was loaded from, as a Linux user reads paths.
std::u16string ShownPath(HMODULE module) {
    return plat::Utf8ToUtf16(plat::resource::LinuxPath(ModuleFileName(module)));
}

void ShowError(const ResourceLibrarySearch& search, const std::u16string& text) {
    MessageBoxW(nullptr, text.c_str(), search.caption.substr(0, kMaxCaption).c_str(), MB_OK | MB_ICONERROR);
}

HMODULE Fail(HMODULE module, const ResourceLibrarySearch& search, const std::u16string& text) {
    FreeLibrary(module);
    ShowError(search, text);
    return nullptr;
}

}  // namespace

HMODULE LoadResourceLibrary(const ResourceLibrarySearch& search) {
    const std::u16string program = search.programDirectory.empty() ? ProgramDirectory() : search.programDirectory;
    HMODULE module = LoadLibraryW((WithBackslash(program) + search.libraryName).c_str());
    if (!module) {
        const std::u16string installed = AppPathsDirectory(search.executableName);
        if (!installed.empty()) module = LoadLibraryW((WithBackslash(installed) + search.libraryName).c_str());
    }
    if (!module) module = LoadLibraryW(search.libraryName.c_str());
    if (!module) {
        ShowError(search, plat::Format(u"Resource DLL %s could not be loaded.", search.libraryName));
        return nullptr;
    }

    const auto version = ReadPackedFileVersion(ModuleFileName(module));
    if (!version) return Fail(module, search, plat::Format(u"Failed querying revision of resource DLL:\n\n%s", ShownPath(module)));
    if (version->high != search.required.high) {
        return Fail(module, search,
                    plat::Format(u"The version of resource DLL is not compatible (%s, required is %s).\n\n%s",
                                 version->Text(), search.required.Text(), ShownPath(module)));
    }
    return module;
}
