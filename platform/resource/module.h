// Resource libraries: LoadLibraryW / FreeLibrary / GetModuleFileNameW and
// raw resource lookup.
//
// A resource library is an ELF shared object that exports the resource table
// (see resource_blob.h) under the symbol `lumetra_resources`. Module paths
// are reported in Windows form: the Linux absolute path with '\' for '/'
// ("\opt\lumetra\bin\lumex"), so callers that cut a path at its last
// backslash keep working; both separators are accepted on the way in.
//
// Search order for a bare name (no separator): the directory of the program's
// own executable, then the current directory, then each directory of PATH.
// Names match exactly first and then without regard to ASCII case, since
// Windows file names do not distinguish case. The system libraries' names
// (system_modules.h) are answered without a file. Loading the same file twice
// returns the same handle and counts references, as Windows does.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "resource/resource_types.h"

namespace plat::resource {

// The bytes of resource (type, id) in module; nothing when either is absent.
std::optional<std::span<const std::uint8_t>> FindResourceData(HMODULE module, std::uint32_t type, std::uint32_t id);

// The exported symbol `name` of a loaded library, or null.
void* LibrarySymbol(HMODULE module, const char* name);

// Windows-form path <-> Linux path.
std::string LinuxPath(std::u16string_view windows_path);
std::u16string WindowsPath(const std::string& linux_path);

}  // namespace plat::resource

HMODULE LoadLibraryW(LPCWSTR file_name);
BOOL FreeLibrary(HMODULE module);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
HMODULE GetModuleHandleW(LPCWSTR module_name);

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// Copies string `id` into buffer (truncated, always terminated) and returns
// its length; 0 and an empty buffer for a missing string. With size 0 it
// stores a read-only pointer to the text in *buffer and returns its length.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);
