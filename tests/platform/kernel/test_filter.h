// Control codes of the tiny test filter module (test_filter.so), shared by
// the module and the tests that talk to it.
#pragma once

#include "kernel/ntddk.h"

constexpr ULONG kTestFilterDeviceType = 0x8043;
// Output: TestFilterStats.
constexpr ULONG TF_GET_STATS = CTL_CODE(kTestFilterDeviceType, 0x800, METHOD_BUFFERED, FILE_READ_ACCESS);
// Input: a 4-byte event handle of the caller; 0 drops the registration.
constexpr ULONG TF_SET_EVENT = CTL_CODE(kTestFilterDeviceType, 0x801, METHOD_BUFFERED, FILE_WRITE_ACCESS);
// Sets the registered event.
constexpr ULONG TF_SIGNAL = CTL_CODE(kTestFilterDeviceType, 0x802, METHOD_BUFFERED, FILE_WRITE_ACCESS);

struct TestFilterStats {
    ULONG file_system_filters;
    ULONG volume_filters;
    ULONG reads;
    ULONG opens;  // open handles to the control device
};
