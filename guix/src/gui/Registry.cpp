#include "Registry.h"

#include <cstring>

BOOL CRegistry::Record(LONG result) {
    m_lastResult = result;
    return result == ERROR_SUCCESS;
}

BOOL CRegistry::KeyExists(HKEY root, const WCHAR* path) {
    HKEY key = nullptr;
    if (!Record(RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS, &key))) return FALSE;
    RegCloseKey(key);
    return TRUE;
}

BOOL CRegistry::CreateKey(HKEY root, const WCHAR* path) { return Open(root, path, KEY_ALL_ACCESS, true); }

BOOL CRegistry::OpenKey(HKEY root, const WCHAR* path, BOOL read_only) {
    return Open(root, path, read_only ? KEY_READ : KEY_ALL_ACCESS, false);
}

BOOL CRegistry::Open(HKEY root, const WCHAR* path, REGSAM access, bool create) {
    CloseKey();
    HKEY key = nullptr;
    const LONG result = create ? RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr)
                               : RegOpenKeyExW(root, path, 0, access, &key);
    if (!Record(result)) return FALSE;
    m_hKey = key;
    m_hRoot = root;
    m_ownsKey = true;
    m_keyPath = path ? path : u"";
    return TRUE;
}

void CRegistry::CloseKey() {
    if (m_ownsKey) RegCloseKey(m_hKey);
    m_ownsKey = false;
    m_hKey = m_hRoot;
}

BOOL CRegistry::Query(const WCHAR* name, void* buffer, DWORD capacity) {
    m_lastType = REG_NONE;
    m_lastSize = capacity;
    return Record(RegQueryValueExW(m_hKey, name, nullptr, &m_lastType, static_cast<BYTE*>(buffer), &m_lastSize));
}

BOOL CRegistry::ReadDword(const WCHAR* name, DWORD& out) {
    DWORD value = 0;
    if (!Query(name, &value, sizeof value) || m_lastSize != sizeof value) return FALSE;
    out = value;
    return TRUE;
}

BOOL CRegistry::WriteDword(const WCHAR* name, DWORD value) {
    m_lastType = REG_DWORD;
    m_lastSize = sizeof value;
    return Record(RegSetValueExW(m_hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value));
}

BOOL CRegistry::ReadBinaryExact(const WCHAR* name, void* buffer, DWORD length) {
    // The size is asked first, so a longer value is refused without reading
    // it and a shorter one cannot leave stale bytes in the buffer.
    if (Query(name, nullptr, 0) && m_lastType == REG_BINARY && m_lastSize == length &&
        (length == 0 || Query(name, buffer, length)) && m_lastType == REG_BINARY && m_lastSize == length) {
        return TRUE;
    }
    if (length) std::memset(buffer, 0, length);
    return FALSE;
}

BOOL CRegistry::WriteBinary(const WCHAR* name, const void* data, DWORD length) {
    m_lastType = REG_BINARY;
    m_lastSize = length;
    return Record(RegSetValueExW(m_hKey, name, 0, REG_BINARY, static_cast<const BYTE*>(data), length));
}
