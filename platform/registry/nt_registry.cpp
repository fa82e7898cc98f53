// The native registry calls: object path resolution, one store operation,
// and the value information records written into the caller's buffer.
#include "registry/nt_registry.h"

#include <cstring>
#include <string_view>

#include "base/ntstatus.h"
#include "base/text.h"
#include "registry/key_handle.h"
#include "registry/value_type.h"

using namespace plat::reg;

namespace {

struct HivePrefix {
    std::u16string_view prefix;
    Hive hive;
};

constexpr HivePrefix kHives[] = {
    {u"\\Registry\\Machine", Hive::Machine},
    {u"\\Registry\\User", Hive::User},
};

// Splits an absolute object path into its hive and the path below it.
NTSTATUS ResolveAbsolute(std::u16string_view name, KeyRef* parent, KeyPath* path) {
    if (name.empty() || name.front() != u'\\') return STATUS_OBJECT_PATH_SYNTAX_BAD;
    for (const auto& entry : kHives) {
        if (!plat::StartsWithNoCase(name, entry.prefix)) continue;
        std::u16string_view rest = name.substr(entry.prefix.size());
        if (!rest.empty() && rest.front() != u'\\') continue;
        if (!rest.empty()) rest.remove_prefix(1);
        *parent = RootKey(entry.hive);
        return ParseKeyPath(rest, path);
    }
    return STATUS_OBJECT_PATH_NOT_FOUND;
}

NTSTATUS ResolveObject(const OBJECT_ATTRIBUTES* attributes, KeyRef* parent, KeyPath* path) {
    if (attributes == nullptr || attributes->ObjectName == nullptr) return STATUS_INVALID_PARAMETER;
    const std::u16string_view name = plat::View(attributes->ObjectName);
    if (attributes->RootDirectory == nullptr) return ResolveAbsolute(name, parent, path);
    if (const NTSTATUS status = ResolveKey(attributes->RootDirectory, parent); !NT_SUCCESS(status)) return status;
    if (!name.empty() && name.front() == u'\\') return STATUS_OBJECT_PATH_SYNTAX_BAD;
    return ParseKeyPath(name, path);
}

// A record is a fixed part of three ULONGs followed by a name or data.
NTSTATUS WriteRecord(ULONG type, const void* payload, ULONG payload_size, void* buffer, ULONG length,
                     ULONG* result_length) {
    constexpr ULONG kFixed = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);
    static_assert(kFixed == offsetof(KEY_VALUE_BASIC_INFORMATION, Name));
    *result_length = kFixed + payload_size;
    if (length < kFixed) return STATUS_BUFFER_TOO_SMALL;
    const ULONG fixed[3] = {0, type, payload_size};  // TitleIndex, Type, NameLength / DataLength
    auto* out = static_cast<BYTE*>(buffer);
    std::memcpy(out, fixed, kFixed);
    const ULONG room = length - kFixed;
    if (payload_size) std::memcpy(out + kFixed, payload, payload_size < room ? payload_size : room);
    return room < payload_size ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS;
}

NTSTATUS WriteValueInfo(const StoredValue& value, KEY_VALUE_INFORMATION_CLASS info_class, void* buffer, ULONG length,
                        ULONG* result_length) {
    if (result_length == nullptr || (buffer == nullptr && length != 0)) return STATUS_INVALID_PARAMETER;
    switch (info_class) {
        case KeyValuePartialInformation:
            return WriteRecord(value.type, value.data.data(), static_cast<ULONG>(value.data.size()), buffer, length,
                               result_length);
        case KeyValueBasicInformation:
            return WriteRecord(value.type, value.name.data(), static_cast<ULONG>(value.name.size() * sizeof(WCHAR)),
                               buffer, length, result_length);
        default:
            return STATUS_INVALID_INFO_CLASS;
    }
}

}  // namespace

NTSTATUS NtCreateKey(HANDLE* key, ACCESS_MASK desired, POBJECT_ATTRIBUTES attributes, ULONG, PUNICODE_STRING,
                     ULONG options, ULONG* disposition) {
    if (key == nullptr) return STATUS_INVALID_PARAMETER;
    KeyRef parent;
    KeyPath path;
    NTSTATUS status = ResolveObject(attributes, &parent, &path);
    bool created = false;
    const bool make_volatile = (options & REG_OPTION_VOLATILE) != 0;
    if (NT_SUCCESS(status)) status = CreateKeyHandle(parent, path, desired, make_volatile, true, key, &created);
    if (NT_SUCCESS(status) && disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return status;
}

NTSTATUS NtOpenKey(HANDLE* key, ACCESS_MASK desired, POBJECT_ATTRIBUTES attributes) {
    if (key == nullptr) return STATUS_INVALID_PARAMETER;
    KeyRef parent;
    KeyPath path;
    NTSTATUS status = ResolveObject(attributes, &parent, &path);
    if (NT_SUCCESS(status)) status = OpenKeyHandle(parent, path, desired, key);
    return status;
}

NTSTATUS NtSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG, ULONG type, PVOID data, ULONG size) {
    KeyRef ref;
    const std::u16string_view value_name = plat::View(name);
    NTSTATUS status = ResolveKeyWith(key, KEY_SET_VALUE, &ref);
    if (NT_SUCCESS(status)) status = CheckValueName(value_name);
    if (NT_SUCCESS(status)) status = CheckValueData(type, data, size);
    if (NT_SUCCESS(status)) {
        status = ref.store->SetValue(ref.id, value_name, type, {static_cast<const BYTE*>(data), data ? size : 0});
    }
    return status;
}

NTSTATUS NtQueryValueKey(HANDLE key, PUNICODE_STRING name, KEY_VALUE_INFORMATION_CLASS info_class, PVOID buffer,
                         ULONG length, ULONG* result_length) {
    KeyRef ref;
    const std::u16string_view value_name = plat::View(name);
    NTSTATUS status = ResolveKeyWith(key, KEY_QUERY_VALUE, &ref);
    if (NT_SUCCESS(status)) status = CheckValueName(value_name);
    StoredValue value;
    if (NT_SUCCESS(status)) status = ref.store->QueryValue(ref.id, value_name, &value);
    return NT_SUCCESS(status) ? WriteValueInfo(value, info_class, buffer, length, result_length) : status;
}

NTSTATUS NtEnumerateValueKey(HANDLE key, ULONG index, KEY_VALUE_INFORMATION_CLASS info_class, PVOID buffer,
                             ULONG length, ULONG* result_length) {
    KeyRef ref;
    NTSTATUS status = ResolveKeyWith(key, KEY_QUERY_VALUE, &ref);
    StoredValue value;
    if (NT_SUCCESS(status)) status = ref.store->EnumValue(ref.id, index, &value);
    return NT_SUCCESS(status) ? WriteValueInfo(value, info_class, buffer, length, result_length) : status;
}

NTSTATUS NtDeleteValueKey(HANDLE key, PUNICODE_STRING name) {
    KeyRef ref;
    const std::u16string_view value_name = plat::View(name);
    NTSTATUS status = ResolveKeyWith(key, KEY_SET_VALUE, &ref);
    if (NT_SUCCESS(status)) status = CheckValueName(value_name);
    if (NT_SUCCESS(status)) status = ref.store->DeleteValue(ref.id, value_name);
    return status;
}

NTSTATUS NtDeleteKey(HANDLE key) {
    KeyRef ref;
    NTSTATUS status = ResolveKeyWith(key, DELETE, &ref);
    if (NT_SUCCESS(status)) status = ref.store->DeleteKey(ref.id);
    return status;
}
