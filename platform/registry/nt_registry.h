// The native registry calls (ntdll style) on object paths:
//   \Registry\Machine\...  the HKEY_LOCAL_MACHINE store;
//   \Registry\User\...     the HKEY_CURRENT_USER store of this user (there
//                          is one user hive per store, so no SID level).
// Every call returns an NTSTATUS. Key handles live in the process handle
// table: NtClose and CloseHandle close them.
#pragma once

#include "base/nt_types.h"
#include "base/wintypes.h"
#include "registry/registry.h"

enum KEY_VALUE_INFORMATION_CLASS {
    KeyValueBasicInformation = 0,
    KeyValueFullInformation = 1,
    KeyValuePartialInformation = 2,
};

// Variable-length records written into the caller's buffer, exactly as the
// Windows headers lay them out; the trailing array holds the name or data.
struct KEY_VALUE_BASIC_INFORMATION {
    ULONG TitleIndex;
    ULONG Type;
    ULONG NameLength;  // bytes
    WCHAR Name[1];
};
static_assert(offsetof(KEY_VALUE_BASIC_INFORMATION, Name) == 12);

struct KEY_VALUE_PARTIAL_INFORMATION {
    ULONG TitleIndex;
    ULONG Type;
    ULONG DataLength;
    UCHAR Data[1];
};
static_assert(offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data) == 12);
static_assert(sizeof(KEY_VALUE_PARTIAL_INFORMATION) == 16);

// Opens or creates a key. Only the last component is created: a missing
// parent gives STATUS_OBJECT_NAME_NOT_FOUND, an unknown hive
// STATUS_OBJECT_PATH_NOT_FOUND. REG_OPTION_VOLATILE in `options` makes a new
// key volatile (gone when the boot id changes). `disposition` is optional.
NTSTATUS NtCreateKey(HANDLE* key, ACCESS_MASK desired, POBJECT_ATTRIBUTES attributes, ULONG title_index,
                     PUNICODE_STRING key_class, ULONG options, ULONG* disposition);

NTSTATUS NtOpenKey(HANDLE* key, ACCESS_MASK desired, POBJECT_ATTRIBUTES attributes);

NTSTATUS NtSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG title_index, ULONG type, PVOID data, ULONG size);

// Query and enumerate write the record of `info_class` into `buffer`
// (KeyValueBasicInformation or KeyValuePartialInformation; any other class
// is STATUS_INVALID_INFO_CLASS):
// STATUS_BUFFER_TOO_SMALL (nothing written) when even the fixed part does not
// fit, STATUS_BUFFER_OVERFLOW (fixed part and as much as fits written) when
// the name or data does not; *result_length is the full size in both cases.
// Enumeration gives STATUS_NO_MORE_ENTRIES past the last value.
NTSTATUS NtQueryValueKey(HANDLE key, PUNICODE_STRING name, KEY_VALUE_INFORMATION_CLASS info_class, PVOID buffer,
                         ULONG length, ULONG* result_length);
NTSTATUS NtEnumerateValueKey(HANDLE key, ULONG index, KEY_VALUE_INFORMATION_CLASS info_class, PVOID buffer,
                             ULONG length, ULONG* result_length);

NTSTATUS NtDeleteValueKey(HANDLE key, PUNICODE_STRING name);

// Deletes the key of the handle (STATUS_CANNOT_DELETE when it has sub keys).
NTSTATUS NtDeleteKey(HANDLE key);
