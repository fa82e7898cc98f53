// The small native records shared by the kernel interface and the native
// user-mode calls: counted UTF-16 strings, object attributes and the I/O
// status block, with NT's field names and order.
#pragma once

#include "base/ntstatus.h"
#include "base/wintypes.h"

using PWSTR = WCHAR*;
using PCWSTR = const WCHAR*;

// Length and MaximumLength count bytes; Buffer need not be terminated.
struct UNICODE_STRING {
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
};
using PUNICODE_STRING = UNICODE_STRING*;
using PCUNICODE_STRING = const UNICODE_STRING*;

struct OBJECT_ATTRIBUTES {
    ULONG Length;
    HANDLE RootDirectory;
    PUNICODE_STRING ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
};
using POBJECT_ATTRIBUTES = OBJECT_ATTRIBUTES*;

inline void InitializeObjectAttributes(POBJECT_ATTRIBUTES p, PUNICODE_STRING name, ULONG attributes, HANDLE root,
                                       PVOID security) {
    p->Length = sizeof(OBJECT_ATTRIBUTES);
    p->RootDirectory = root;
    p->ObjectName = name;
    p->Attributes = attributes;
    p->SecurityDescriptor = security;
    p->SecurityQualityOfService = nullptr;
}

struct IO_STATUS_BLOCK {
    union {
        NTSTATUS Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
};
using PIO_STATUS_BLOCK = IO_STATUS_BLOCK*;
