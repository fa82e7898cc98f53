// The device backend behind the native calls: the object namespace (device
// objects and symbolic links) and the devices' control requests. Two
// backends exist: simulated drives described by a profile
// (device/sim_machine.h) and the real drives of this Linux machine
// (device/linux_backend.h).
//
// The backend is chosen once per process from LUMETRA_DEVICES:
//   unset or empty      the real Linux drives
//   "default"           the built-in demo profile
//   any other value     the path of a profile file (docs/sim-profile.md)
// A profile that cannot be loaded leaves the process with an empty machine
// (no device exists) and prints the reason once on standard error; a program
// that wants to stop instead calls BackendFromEnvironment() at start.
// Tests install their own backend with ScopedBackend.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/ntstatus.h"
#include "base/wintypes.h"
#include "device/device_types.h"

namespace plat::device {

// What one control request did.
struct IoResult {
    NTSTATUS status = STATUS_SUCCESS;
    ULONG information = 0;  // bytes written to the output buffer
    // Set when the device answers STATUS_PENDING first: the request then
    // completes with `status` once the platform clock has advanced this many
    // milliseconds.
    std::optional<std::uint64_t> pending_ms;
};

// One open device. The native layer hands Control private copies of the
// caller's buffers, so `in` and `out` never overlap; pointers embedded in
// the input (the pass-through data buffer) point at the caller's memory.
// Thread rule: the native layer calls Control for one handle at a time;
// implementations still guard state shared between handles.
class DeviceFile {
public:
    virtual ~DeviceFile() = default;
    virtual FILE_FS_DEVICE_INFORMATION DeviceInformation() const = 0;
    virtual IoResult Control(ULONG code, std::span<const BYTE> in, std::span<BYTE> out) = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    // The target of the symbolic link `name`, or none when `name` is not a
    // link. Names compare without regard to case.
    virtual std::optional<std::u16string> LinkTarget(std::u16string_view name) = 0;
    // Whether a device object of that name exists (links not followed).
    virtual bool DeviceExists(std::u16string_view name) = 0;
    // Opens the device object `name` (links already followed);
    // STATUS_OBJECT_NAME_NOT_FOUND when there is none.
    virtual NTSTATUS Open(std::u16string_view name, std::shared_ptr<DeviceFile>* file) = 0;
};

struct BackendChoice {
    std::shared_ptr<Backend> backend;  // always set: an empty machine on error
    std::string error;                 // empty on success
};

// Builds the backend LUMETRA_DEVICES names (see above).
BackendChoice BackendFromEnvironment();

// The backend in force; made from the environment at first use.
std::shared_ptr<Backend> ActiveBackend();
// Replaces the backend in force and returns the previous one (which may be
// null when none was made yet).
std::shared_ptr<Backend> InstallBackend(std::shared_ptr<Backend> backend);

// Installs a backend for the lifetime of the guard (tests).
class ScopedBackend {
public:
    explicit ScopedBackend(std::shared_ptr<Backend> backend);
    ~ScopedBackend();
    ScopedBackend(const ScopedBackend&) = delete;
    ScopedBackend& operator=(const ScopedBackend&) = delete;

private:
    std::shared_ptr<Backend> m_previous;
};

}  // namespace plat::device
