// The object manager's private side: every kernel object (driver, device,
// file, event, symbolic link, directory) is one allocation whose header sits
// in front of the body a driver sees, as in NT. The header holds the kind, the
// reference count and the name; named objects live in one case-insensitive
// namespace. Internal to the kernel emulation.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "kernel/kernel.h"

namespace kern::detail {

enum class ObjectKind : std::uint8_t { Directory, SymbolicLink, Driver, Device, File, Event };

const char* KindName(ObjectKind kind);
POBJECT_TYPE TypeOf(ObjectKind kind);

struct ObjectHeader {
    static constexpr std::uint32_t kMagic = 0x4A424F4Bu;  // "KOBJ"
    std::uint32_t magic = kMagic;
    ObjectKind kind = ObjectKind::Directory;
    std::atomic<long> pointer_count{1};
    std::u16string name;  // full path; empty when unnamed
    std::u16string link_target;  // symbolic links
    void (*on_delete)(PVOID body) = nullptr;  // runs when the last reference goes
    void (*on_discard)(PVOID body) = nullptr;  // frees what the body owns when a reset discards it
    std::size_t body_size = 0;
};

constexpr std::size_t kHeaderSpace = (sizeof(ObjectHeader) + 15) & ~std::size_t(15);

// A new object with a zeroed body and one reference. Not yet named.
PVOID CreateObject(ObjectKind kind, std::size_t body_size);
// The header of a body, or null when the pointer is not a kernel object.
ObjectHeader* HeaderOf(PVOID body);
ObjectHeader* HeaderOfOrBugCheck(PVOID body, const char* routine);

// Gives the object a name in the namespace (taking a reference for the
// directory entry). STATUS_OBJECT_PATH_NOT_FOUND when the parent directory
// does not exist, STATUS_OBJECT_NAME_COLLISION when the name is taken.
NTSTATUS InsertName(PVOID body, const std::u16string& name);
// Removes the name and drops the directory's reference.
void RemoveName(PVOID body);

struct LookupResult {
    PVOID object = nullptr;  // referenced
    std::u16string remainder;  // path left below a device
};
// Parses `path`. Symbolic links in inner components are always followed; the
// final component's link is followed when `follow_final_link`. Parsing stops
// at a device and hands back the rest of the path.
NTSTATUS Lookup(const std::u16string& path, bool follow_final_link, LookupResult* result);

// Kernel handles (the handle table of the system process).
HANDLE InsertKernelHandle(PVOID referenced_object, ACCESS_MASK granted);
NTSTATUS ReferenceKernelHandle(HANDLE handle, PVOID* object, ACCESS_MASK* granted);
NTSTATUS CloseKernelHandle(HANDLE handle);

// Discards every object of the machine (without running on_delete: no
// requests travel) and builds the standard directories afresh.
void ResetObjects(bool filters_directory);

// The I/O database lock: attach chains, driver device lists, VPB links.
std::recursive_mutex& IoDatabaseLock();

}  // namespace kern::detail
