// CRegistry: the registry helper of the GUI's settings. It holds the open
// key (at first the root it was made for) and the path last opened, and
// every operation records the last Win32 result, the last value type and the
// last data size, so a caller can tell why a read gave nothing.
//
// "Full access" is KEY_ALL_ACCESS: KeyExists and the writable OpenKey fail
// on a root this process may only read (HKEY_LOCAL_MACHINE for a user).
#pragma once

#include <string>

#include "registry/registry.h"

class CRegistry {
public:
    explicit CRegistry(HKEY root = HKEY_CURRENT_USER) : m_hKey(root), m_hRoot(root) {}
    ~CRegistry() { CloseKey(); }
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    // 1 when the key opens with full access; the key is closed again.
    BOOL KeyExists(HKEY root, const WCHAR* path);
    // Opens or creates the key with full access and keeps it open.
    BOOL CreateKey(HKEY root, const WCHAR* path);
    // Opens the key with KEY_READ or with full access and keeps it open.
    BOOL OpenKey(HKEY root, const WCHAR* path, BOOL read_only);
    // Closes the open key; the helper then holds the root again.
    void CloseKey();

    // A value of exactly four bytes, whatever its type; `out` is untouched
    // when there is none.
    BOOL ReadDword(const WCHAR* name, DWORD& out);
    BOOL WriteDword(const WCHAR* name, DWORD value);
    // Succeeds only for a REG_BINARY of exactly `length` bytes; otherwise the
    // buffer is filled with zeros and the result is 0.
    BOOL ReadBinaryExact(const WCHAR* name, void* buffer, DWORD length);
    BOOL WriteBinary(const WCHAR* name, const void* data, DWORD length);

    LONG LastResult() const { return m_lastResult; }
    DWORD LastType() const { return m_lastType; }
    DWORD LastSize() const { return m_lastSize; }
    const std::u16string& KeyPath() const { return m_keyPath; }

private:
    BOOL Open(HKEY root, const WCHAR* path, REGSAM access, bool create);
    BOOL Query(const WCHAR* name, void* buffer, DWORD capacity);
    BOOL Record(LONG result);

    HKEY m_hKey;
    HKEY m_hRoot;
    bool m_ownsKey = false;
    std::u16string m_keyPath;
    LONG m_lastResult = ERROR_SUCCESS;
    DWORD m_lastType = REG_NONE;
    DWORD m_lastSize = 0;
};
