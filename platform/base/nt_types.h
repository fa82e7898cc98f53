// Records of the native (ntdll and kernel) interfaces shared by the registry,
// device and kernel pieces: counted UTF-16 strings, object attributes, the
// I/O status block and access masks. Layouts follow the Windows headers; they
// hold pointers, so they are in-process records and never written to disk or
// a wire as they stand.
#pragma once

#include <string_view>

#include "base/wintypes.h"

using ACCESS_MASK = ULONG;
using PACCESS_MASK = ACCESS_MASK*;

// Standard and generic access rights.
constexpr ACCESS_MASK DELETE = 0x00010000;
constexpr ACCESS_MASK READ_CONTROL = 0x00020000;
constexpr ACCESS_MASK WRITE_DAC = 0x00040000;
constexpr ACCESS_MASK WRITE_OWNER = 0x00080000;
constexpr ACCESS_MASK SYNCHRONIZE = 0x00100000;
constexpr ACCESS_MASK STANDARD_RIGHTS_REQUIRED = 0x000F0000;
constexpr ACCESS_MASK STANDARD_RIGHTS_READ = READ_CONTROL;
constexpr ACCESS_MASK STANDARD_RIGHTS_WRITE = READ_CONTROL;
constexpr ACCESS_MASK STANDARD_RIGHTS_EXECUTE = READ_CONTROL;
constexpr ACCESS_MASK STANDARD_RIGHTS_ALL = 0x001F0000;
constexpr ACCESS_MASK MAXIMUM_ALLOWED = 0x02000000;
constexpr ACCESS_MASK GENERIC_READ = 0x80000000;
constexpr ACCESS_MASK GENERIC_WRITE = 0x40000000;
constexpr ACCESS_MASK GENERIC_EXECUTE = 0x20000000;
constexpr ACCESS_MASK GENERIC_ALL = 0x10000000;

// A counted UTF-16 string. Length and MaximumLength are in bytes; Buffer need
// not be terminated.
struct UNICODE_STRING {
    USHORT Length = 0;
    USHORT MaximumLength = 0;
    WCHAR* Buffer = nullptr;
};
using PUNICODE_STRING = UNICODE_STRING*;
using PCUNICODE_STRING = const UNICODE_STRING*;

// Object attribute flags.
constexpr ULONG OBJ_INHERIT = 0x00000002;
constexpr ULONG OBJ_PERMANENT = 0x00000010;
constexpr ULONG OBJ_EXCLUSIVE = 0x00000020;
constexpr ULONG OBJ_CASE_INSENSITIVE = 0x00000040;
constexpr ULONG OBJ_OPENIF = 0x00000080;
constexpr ULONG OBJ_OPENLINK = 0x00000100;
constexpr ULONG OBJ_KERNEL_HANDLE = 0x00000200;

struct OBJECT_ATTRIBUTES {
    ULONG Length = 0;
    HANDLE RootDirectory = nullptr;
    PUNICODE_STRING ObjectName = nullptr;
    ULONG Attributes = 0;
    PVOID SecurityDescriptor = nullptr;
    PVOID SecurityQualityOfService = nullptr;
};
using POBJECT_ATTRIBUTES = OBJECT_ATTRIBUTES*;

inline void InitializeObjectAttributes(POBJECT_ATTRIBUTES attributes, PUNICODE_STRING name, ULONG flags, HANDLE root,
                                       PVOID security_descriptor) {
    attributes->Length = sizeof(OBJECT_ATTRIBUTES);
    attributes->RootDirectory = root;
    attributes->Attributes = flags;
    attributes->ObjectName = name;
    attributes->SecurityDescriptor = security_descriptor;
    attributes->SecurityQualityOfService = nullptr;
}

struct IO_STATUS_BLOCK {
    union {
        NTSTATUS Status;
        PVOID Pointer;
    };
    ULONG_PTR Information = 0;

    IO_STATUS_BLOCK() : Pointer(nullptr) {}
};
using PIO_STATUS_BLOCK = IO_STATUS_BLOCK*;

// Points `dest` at `source` (not copied); a string longer than a counted
// string can describe is cut at the largest even byte length.
void RtlInitUnicodeString(PUNICODE_STRING dest, const WCHAR* source);

// Compares two counted strings; ASCII case folding when case_insensitive.
BOOLEAN RtlEqualUnicodeString(PCUNICODE_STRING a, PCUNICODE_STRING b, BOOLEAN case_insensitive);

// Closes any handle of the handle table (keys, files, events, ...).
// STATUS_INVALID_HANDLE for an unknown or already closed handle.
NTSTATUS NtClose(HANDLE handle);

namespace plat {

// The characters of a counted string (empty for nullptr or no buffer).
std::u16string_view View(PCUNICODE_STRING s);

}  // namespace plat
