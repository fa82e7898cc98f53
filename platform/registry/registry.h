// The Win32 registry calls (advapi32 style) over the SQLite stores of the two
// roots HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER. Every call returns a Win32
// error code (ERROR_SUCCESS on success) and, like Windows, leaves the thread's
// last error alone. All calls are safe from any thread and any number of
// processes; see docs/registry.md for the store and its guarantees.
//
// Names compare without regard to ASCII case. A key name component holds at
// most 255 characters, a value name at most 16383. Paths are relative to the
// given key, components separated by one backslash; a leading backslash or an
// empty component gives ERROR_BAD_PATHNAME, a single trailing backslash is
// accepted.
#pragma once

#include "base/nt_types.h"
#include "base/win_errors.h"
#include "base/wintypes.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = ACCESS_MASK;

inline HKEY PredefinedKey(ULONG value) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(value)));
}
inline const HKEY HKEY_CLASSES_ROOT = PredefinedKey(0x80000000u);
inline const HKEY HKEY_CURRENT_USER = PredefinedKey(0x80000001u);
inline const HKEY HKEY_LOCAL_MACHINE = PredefinedKey(0x80000002u);
inline const HKEY HKEY_USERS = PredefinedKey(0x80000003u);

// Key access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;  // registry views: accepted, one view here
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_READ = 0x00020019;
constexpr REGSAM KEY_WRITE = 0x00020006;
constexpr REGSAM KEY_EXECUTE = 0x00020019;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Key creation options and dispositions.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0x0;
constexpr DWORD REG_OPTION_VOLATILE = 0x1;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Windows limits on names, in characters.
constexpr DWORD kMaxKeyNameChars = 255;
constexpr DWORD kMaxValueNameChars = 16383;

// Opens an existing key. ERROR_FILE_NOT_FOUND when it is missing;
// ERROR_ACCESS_DENIED when write rights are asked of a root whose store this
// process cannot write. A null or empty sub key opens `key` again.
LONG RegOpenKeyExW(HKEY key, const WCHAR* sub_key, DWORD options, REGSAM desired, PHKEY result);

// Opens or creates a key, creating missing intermediate keys with the same
// options. `disposition` (optional) tells REG_CREATED_NEW_KEY or
// REG_OPENED_EXISTING_KEY. A persistent key below a volatile one gives
// ERROR_CHILD_MUST_BE_VOLATILE. `key_class` and `security` are ignored.
LONG RegCreateKeyExW(HKEY key, const WCHAR* sub_key, DWORD reserved, WCHAR* key_class, DWORD options, REGSAM desired,
                     const void* security, PHKEY result, DWORD* disposition);

// Closes an opened key; closing a predefined root is a no-op success.
LONG RegCloseKey(HKEY key);

// Reads a value (null or empty name: the key's default value). With no data
// buffer only the type and size are reported. A buffer smaller than the data
// gives ERROR_MORE_DATA with the needed size in *size; ERROR_FILE_NOT_FOUND
// when the value does not exist. Data are returned as stored (REG_SZ is not
// terminated unless the terminator was stored).
LONG RegQueryValueExW(HKEY key, const WCHAR* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);

// Writes a value. REG_DWORD needs exactly 4 bytes and REG_QWORD 8; string
// types need an even byte length; unknown types give ERROR_INVALID_PARAMETER.
// Writing the present type and data again touches nothing on disk.
LONG RegSetValueExW(HKEY key, const WCHAR* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);

LONG RegDeleteValueW(HKEY key, const WCHAR* name);

// Deletes a key without sub keys (ERROR_ACCESS_DENIED when it has some, as on
// Windows). Handles still open on it report ERROR_KEY_DELETED afterwards.
LONG RegDeleteKeyW(HKEY key, const WCHAR* sub_key);

// Deletes a key with everything below it (null sub key: everything below
// `key`, keeping `key` itself).
LONG RegDeleteTreeW(HKEY key, const WCHAR* sub_key);

// Enumerates values in creation order. *name_chars is the capacity of `name`
// in characters (terminator included) on entry and the name's length on
// return. ERROR_MORE_DATA when the name or the data does not fit;
// ERROR_NO_MORE_ITEMS past the last value.
LONG RegEnumValueW(HKEY key, DWORD index, WCHAR* name, DWORD* name_chars, DWORD* reserved, DWORD* type, BYTE* data,
                   DWORD* size);

// Enumerates sub keys in name order (ASCII case folded), same conventions as
// RegEnumValueW for the name. Class and time are optional and reported empty
// and as the time the key was last written.
LONG RegEnumKeyExW(HKEY key, DWORD index, WCHAR* name, DWORD* name_chars, DWORD* reserved, WCHAR* key_class,
                   DWORD* class_chars, FILETIME* last_write);
