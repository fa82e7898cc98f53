// The Win32 registry calls: argument checks, one store operation, and the
// NTSTATUS-to-Win32 translation of the result.
#include <cstring>

#include "base/clock.h"
#include "base/ntstatus.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "registry/key_handle.h"
#include "registry/regional_values.h"
#include "registry/registry.h"
#include "registry/value_type.h"

using namespace plat::reg;

namespace {

struct StatusError {
    NTSTATUS status;
    LONG error;
};

constexpr StatusError kStatusErrors[] = {
    {STATUS_SUCCESS, ERROR_SUCCESS},
    {STATUS_OBJECT_NAME_NOT_FOUND, ERROR_FILE_NOT_FOUND},
    {STATUS_OBJECT_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND},
    {STATUS_OBJECT_PATH_SYNTAX_BAD, ERROR_BAD_PATHNAME},
    {STATUS_OBJECT_NAME_INVALID, ERROR_INVALID_NAME},
    {STATUS_ACCESS_DENIED, ERROR_ACCESS_DENIED},
    {STATUS_CANNOT_DELETE, ERROR_ACCESS_DENIED},
    {STATUS_INVALID_HANDLE, ERROR_INVALID_HANDLE},
    {STATUS_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
    {STATUS_BUFFER_OVERFLOW, ERROR_MORE_DATA},
    {STATUS_BUFFER_TOO_SMALL, ERROR_MORE_DATA},
    {STATUS_NO_MORE_ENTRIES, ERROR_NO_MORE_ITEMS},
    {STATUS_KEY_DELETED, ERROR_KEY_DELETED},
    {STATUS_CHILD_MUST_BE_VOLATILE, ERROR_CHILD_MUST_BE_VOLATILE},
    {STATUS_REGISTRY_CORRUPT, ERROR_REGISTRY_CORRUPT},
    {STATUS_REGISTRY_IO_FAILED, ERROR_REGISTRY_IO_FAILED},
    {STATUS_NO_MEMORY, ERROR_NOT_ENOUGH_MEMORY},
    {STATUS_INSUFFICIENT_RESOURCES, ERROR_NOT_ENOUGH_MEMORY},
};

LONG ToError(NTSTATUS status) {
    for (const auto& entry : kStatusErrors) {
        if (entry.status == status) return entry.error;
    }
    return ERROR_GEN_FAILURE;  // a status the registry does not produce
}

std::u16string_view Name(const WCHAR* name) { return name ? std::u16string_view(name) : std::u16string_view(); }

NTSTATUS SubKeyPath(HKEY key, const WCHAR* sub_key, KeyRef* ref, KeyPath* path) {
    const NTSTATUS status = ResolveKey(key, ref);
    return NT_SUCCESS(status) ? ParseKeyPath(Name(sub_key), path) : status;
}

// Copies a name for the enumeration calls; false when it does not fit with
// its terminator.
bool CopyName(const std::u16string& name, WCHAR* out, DWORD* chars) {
    if (*chars <= name.size()) return false;
    std::memcpy(out, name.data(), name.size() * sizeof(WCHAR));
    out[name.size()] = u'\0';
    *chars = static_cast<DWORD>(name.size());
    return true;
}

// Reports type and size and copies the data when there is room.
LONG CopyData(const StoredValue& value, DWORD* type, BYTE* data, DWORD* size) {
    if (type) *type = value.type;
    if (size == nullptr) return ERROR_SUCCESS;
    const auto needed = static_cast<DWORD>(value.data.size());
    const bool fits = *size >= needed;
    *size = needed;
    if (data == nullptr) return ERROR_SUCCESS;
    if (!fits) return ERROR_MORE_DATA;
    if (needed) std::memcpy(data, value.data.data(), needed);
    return ERROR_SUCCESS;
}

}  // namespace

LONG RegOpenKeyExW(HKEY key, const WCHAR* sub_key, DWORD, REGSAM desired, PHKEY result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    KeyRef parent;
    KeyPath path;
    NTSTATUS status = SubKeyPath(key, sub_key, &parent, &path);
    HANDLE handle = nullptr;
    if (NT_SUCCESS(status)) status = OpenKeyHandle(parent, path, desired, &handle);
    // The user's regional key exists on every Windows machine.
    if (status == STATUS_OBJECT_NAME_NOT_FOUND && IsInternationalPath(parent, path)) {
        bool created = false;
        status = CreateKeyHandle(parent, path, desired, false, false, &handle, &created);
    }
    if (NT_SUCCESS(status)) *result = static_cast<HKEY>(handle);
    return ToError(status);
}

LONG RegCreateKeyExW(HKEY key, const WCHAR* sub_key, DWORD, WCHAR*, DWORD options, REGSAM desired, const void*,
                     PHKEY result, DWORD* disposition) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    KeyRef parent;
    KeyPath path;
    NTSTATUS status = SubKeyPath(key, sub_key, &parent, &path);
    HANDLE handle = nullptr;
    bool created = false;
    const bool make_volatile = (options & REG_OPTION_VOLATILE) != 0;
    if (NT_SUCCESS(status)) status = CreateKeyHandle(parent, path, desired, make_volatile, false, &handle, &created);
    if (!NT_SUCCESS(status)) return ToError(status);
    *result = static_cast<HKEY>(handle);
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
    if (!plat::LookupHandleAs<KeyObject>(key)) return ERROR_INVALID_HANDLE;
    return CloseHandle(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExW(HKEY key, const WCHAR* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) {
    if (reserved != nullptr || (data != nullptr && size == nullptr)) return ERROR_INVALID_PARAMETER;
    KeyRef ref;
    NTSTATUS status = ResolveKeyWith(key, KEY_QUERY_VALUE, &ref);
    if (NT_SUCCESS(status)) status = CheckValueName(Name(name));
    StoredValue value;
    if (NT_SUCCESS(status)) status = ref.store->QueryValue(ref.id, Name(name), &value);
    if (status == STATUS_OBJECT_NAME_NOT_FOUND && IsInternationalKey(ref)) {
        if (auto derived = DerivedRegionalValue(Name(name))) {
            value = std::move(*derived);
            status = STATUS_SUCCESS;
        }
    }
    return NT_SUCCESS(status) ? CopyData(value, type, data, size) : ToError(status);
}

LONG RegSetValueExW(HKEY key, const WCHAR* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    KeyRef ref;
    NTSTATUS status = ResolveKeyWith(key, KEY_SET_VALUE, &ref);
    if (NT_SUCCESS(status)) status = CheckValueName(Name(name));
    if (NT_SUCCESS(status)) status = CheckValueData(type, data, size);
    if (NT_SUCCESS(status)) status = ref.store->SetValue(ref.id, Name(name), type, {data, data ? size : 0});
    return ToError(status);
}

LONG RegDeleteValueW(HKEY key, const WCHAR* name) {
    KeyRef ref;
    NTSTATUS status = ResolveKeyWith(key, KEY_SET_VALUE, &ref);
    if (NT_SUCCESS(status)) status = CheckValueName(Name(name));
    if (NT_SUCCESS(status)) status = ref.store->DeleteValue(ref.id, Name(name));
    return ToError(status);
}

LONG RegDeleteKeyW(HKEY key, const WCHAR* sub_key) {
    if (sub_key == nullptr) return ERROR_INVALID_PARAMETER;
    KeyRef parent;
    KeyPath path;
    NTSTATUS status = SubKeyPath(key, sub_key, &parent, &path);
    KeyInfo target;
    if (NT_SUCCESS(status)) status = parent.store->OpenPath(parent.id, path, &target);
    if (NT_SUCCESS(status)) status = parent.store->DeleteKey(target.id);
    return ToError(status);
}

LONG RegDeleteTreeW(HKEY key, const WCHAR* sub_key) {
    KeyRef parent;
    KeyPath path;
    NTSTATUS status = SubKeyPath(key, sub_key, &parent, &path);
    KeyInfo target;
    if (NT_SUCCESS(status)) status = parent.store->OpenPath(parent.id, path, &target);
    if (NT_SUCCESS(status)) status = parent.store->DeleteTree(target.id, sub_key == nullptr);
    return ToError(status);
}

LONG RegEnumValueW(HKEY key, DWORD index, WCHAR* name, DWORD* name_chars, DWORD* reserved, DWORD* type, BYTE* data,
                   DWORD* size) {
    if (name == nullptr || name_chars == nullptr || reserved != nullptr || (data != nullptr && size == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    KeyRef ref;
    NTSTATUS status = ResolveKeyWith(key, KEY_QUERY_VALUE, &ref);
    StoredValue value;
    if (NT_SUCCESS(status)) status = ref.store->EnumValue(ref.id, index, &value);
    if (!NT_SUCCESS(status)) return ToError(status);
    if (!CopyName(value.name, name, name_chars)) return ERROR_MORE_DATA;
    return CopyData(value, type, data, size);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, WCHAR* name, DWORD* name_chars, DWORD* reserved, WCHAR* key_class,
                   DWORD* class_chars, FILETIME* last_write) {
    if (name == nullptr || name_chars == nullptr || reserved != nullptr) return ERROR_INVALID_PARAMETER;
    KeyRef ref;
    NTSTATUS status = ResolveKeyWith(key, KEY_ENUMERATE_SUB_KEYS, &ref);
    SubkeyInfo sub;
    if (NT_SUCCESS(status)) status = ref.store->EnumSubkey(ref.id, index, &sub);
    if (!NT_SUCCESS(status)) return ToError(status);
    if (!CopyName(sub.name, name, name_chars)) return ERROR_MORE_DATA;
    if (key_class && class_chars && *class_chars > 0) key_class[0] = u'\0';
    if (class_chars) *class_chars = 0;
    if (last_write) *last_write = plat::U64ToFileTime(sub.written);
    return ERROR_SUCCESS;
}
