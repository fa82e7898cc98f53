// The host side of the kernel emulation: what a process that hosts driver
// modules (lumetra-kernel, tests, benchmarks) uses besides the NT routines of
// ntddk.h. Everything here is in namespace kern.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kernel/ntddk.h"

namespace kern {

// Settings of the simulated machine that the kernel itself answers for.
struct KernelSettings {
    ULONG major_version = 5;  // PsGetVersion
    ULONG minor_version = 1;
    ULONG build_number = 2600;
    bool filters_directory = true;  // whether "\FileSystem\Filters" exists
};

// Tears the kernel down to an empty machine: every object (drivers, devices,
// files, links, events) and pool block of the previous machine is freed
// without running any driver code, handles and registrations are dropped and
// the calling thread's IRQL is reset. Queued work items run first. Pointers
// into the previous machine must not be used afterwards; loaded modules stay
// mapped and start afresh when loaded again. Tests call it before each case;
// the host calls it once at start.
void ResetKernel(const KernelSettings& settings = {});
const KernelSettings& Settings();

// --- Bug checks -----------------------------------------------------------
// A driver that breaks a kernel rule (a call at a forbidden IRQL, a double
// completion, freeing unknown pool, ...) raises a bug check. The handler gets
// the code and a readable text. The default handler prints both and aborts
// the process, as a machine would stop; if a handler returns, the kernel
// throws BugCheckError so a test can observe the failure.
using BugCheckHandler = std::function<void(ULONG code, const std::string& text)>;
BugCheckHandler SetBugCheckHandler(BugCheckHandler handler);

struct BugCheckError : std::exception {
    BugCheckError(ULONG c, std::string t) : code(c), text(std::move(t)) {}
    const char* what() const noexcept override { return text.c_str(); }
    ULONG code;
    std::string text;
};

[[noreturn]] void BugCheck(ULONG code, const std::string& text);

// Raises IRQL_NOT_LESS_OR_EQUAL when the calling thread runs above `max`.
void RequireIrqlAtMost(KIRQL max, const char* routine);

// --- Pool -----------------------------------------------------------------
struct PoolTagUsage {
    ULONG tag = 0;
    std::size_t allocations = 0;  // live blocks
    std::size_t bytes = 0;
};
// Live allocations by tag, in tag order.
std::vector<PoolTagUsage> PoolUsage();
// One line per tag with live blocks ("pool leak: tag 'LMvn' 2 blocks, 48
// bytes"); empty when nothing is outstanding.
std::string PoolLeakReport();
// The next `count` allocations with `tag` (0: any tag) fail.
void InjectPoolFailures(ULONG tag, int count);
std::string TagText(ULONG tag);

// --- Attach failures --------------------------------------------------------
// The next `count` attaches onto the stack of `target` fail (return null), as
// an attach to a device that is being torn down does.
void InjectAttachFailures(PDEVICE_OBJECT target, int count);

// --- IRPs -------------------------------------------------------------------
// Request packets allocated and not yet freed.
std::size_t LiveIrpCount();

// --- Work queues ------------------------------------------------------------
// Blocks until every queued work item has run.
void DrainWorkQueues();

// --- Processes --------------------------------------------------------------
// A user-mode process whose requests the kernel is serving. Handles passed in
// its requests belong to it: the kernel asks it about them, and setting an
// event object that stands for one of its events is forwarded to it.
class ClientProcess {
public:
    virtual ~ClientProcess() = default;
    // Whether `handle` is an event of this process whose access includes
    // `access`; STATUS_SUCCESS, STATUS_INVALID_HANDLE,
    // STATUS_OBJECT_TYPE_MISMATCH or STATUS_ACCESS_DENIED.
    virtual NTSTATUS CheckEventHandle(ULONG handle, ACCESS_MASK access) = 0;
    // Sets the process's own event. Called from any thread, at any IRQL up to
    // DISPATCH_LEVEL; must not block.
    virtual void SignalEvent(ULONG handle) = 0;
    virtual std::string Describe() const = 0;
    // Whether the process holds the right to manage volumes (lock, dismount
    // and eject fixed disks' volumes), as administrators do.
    virtual bool MayManageVolumes() const { return true; }
};

// The process on whose behalf the calling thread runs (null: the system).
std::shared_ptr<ClientProcess> CurrentProcess();

class ScopedProcess {
public:
    explicit ScopedProcess(std::shared_ptr<ClientProcess> process);
    ~ScopedProcess();
    ScopedProcess(const ScopedProcess&) = delete;
    ScopedProcess& operator=(const ScopedProcess&) = delete;

private:
    std::shared_ptr<ClientProcess> m_previous;
};

// --- Drivers ----------------------------------------------------------------
// Creates a driver object named `name` ("\Driver\Disk", "\FileSystem\Ntfs")
// and runs `entry` on it at PASSIVE_LEVEL. On failure the driver object is
// deleted again and the status returned.
NTSTATUS CreateDriver(const std::u16string& name, PDRIVER_INITIALIZE entry, PDRIVER_OBJECT* driver,
                      const std::u16string& registry_path = u"");

// Loads a driver module (a shared object exporting DriverEntry) and starts it
// under the driver name `name`. `error` receives a readable reason on failure.
NTSTATUS LoadDriverModule(const std::string& path, const std::u16string& name, PDRIVER_OBJECT* driver,
                          std::string* error);

// --- Object namespace ---------------------------------------------------------
// Creates a directory and its missing parents ("\Device\Harddisk1").
NTSTATUS CreateDirectoryPath(const std::u16string& path);
// The object a full path names, following symbolic links in every component;
// `remainder` receives the part of the path below a device ("\dir\file").
// The object is returned referenced.
NTSTATUS LookupObject(const std::u16string& path, PVOID* object, std::u16string* remainder);
// The end of the symbolic-link chain that starts at `path`.
std::u16string ResolveLinkChain(const std::u16string& path);
// The object's full name, empty when unnamed.
std::u16string ObjectName(PVOID object);
// Every name in the namespace with its kind ("device", "link -> target",
// "directory", "driver"), sorted, for diagnostics.
std::vector<std::string> DumpNamespace();

// --- File systems -------------------------------------------------------------
// The registered file systems' control devices, oldest first.
std::vector<PDEVICE_OBJECT> RegisteredFileSystems();

// Whether `device` was created and not yet deleted.
bool IsLiveDevice(PDEVICE_OBJECT device);

// The characters of a counted string (empty for null).
std::u16string ToU16(PCUNICODE_STRING s);

}  // namespace kern
