// Processes and handles as a driver sees them: the process on whose behalf a
// thread runs, ObReferenceObjectByHandle with its type and access checks, and
// the event objects that stand for a client process's own events.
#include "base/format.h"
#include "kernel/internal/object.h"
#include "kernel/internal/remote_event.h"

struct OBJECT_TYPE {
    const char* name;
};

namespace kern::detail {
namespace {

OBJECT_TYPE g_types[] = {{"Directory"}, {"SymbolicLink"}, {"Driver"}, {"Device"}, {"File"}, {"Event"}};

thread_local std::shared_ptr<ClientProcess> t_process;

struct RemoteEventLink {
    std::weak_ptr<ClientProcess> process;
    ULONG handle;
};

void DeleteRemoteLink(PVOID body) {
    auto* event = static_cast<PKEVENT>(body);
    delete static_cast<RemoteEventLink*>(event->Header.RemoteSignal);
}

NTSTATUS ReferenceClientHandle(HANDLE handle, ACCESS_MASK access, POBJECT_TYPE type, PVOID* object) {
    const auto process = t_process;
    const auto value = static_cast<ULONG>(reinterpret_cast<std::uintptr_t>(handle));
    if (type && type != TypeOf(ObjectKind::Event)) return STATUS_OBJECT_TYPE_MISMATCH;
    const NTSTATUS status = process->CheckEventHandle(value, access);
    if (!NT_SUCCESS(status)) return status;
    *object = CreateRemoteEvent(process, value);
    return STATUS_SUCCESS;
}

}  // namespace

POBJECT_TYPE TypeOf(ObjectKind kind) { return &g_types[static_cast<int>(kind)]; }

PKEVENT CreateRemoteEvent(const std::shared_ptr<ClientProcess>& process, ULONG handle) {
    auto* event = static_cast<PKEVENT>(CreateObject(ObjectKind::Event, sizeof(KEVENT)));
    KeInitializeEvent(event, NotificationEvent, FALSE);
    event->Header.RemoteSignal = new RemoteEventLink{process, handle};
    HeaderOf(event)->on_delete = DeleteRemoteLink;
    HeaderOf(event)->on_discard = DeleteRemoteLink;
    return event;
}

void SignalRemoteEvent(PVOID link) {
    auto* remote = static_cast<RemoteEventLink*>(link);
    if (auto process = remote->process.lock()) process->SignalEvent(remote->handle);
}

}  // namespace kern::detail

namespace kern {

std::shared_ptr<ClientProcess> CurrentProcess() { return detail::t_process; }

ScopedProcess::ScopedProcess(std::shared_ptr<ClientProcess> process) : m_previous(std::move(detail::t_process)) {
    detail::t_process = std::move(process);
}

ScopedProcess::~ScopedProcess() { detail::t_process = std::move(m_previous); }

}  // namespace kern

using kern::detail::ObjectKind;
using kern::detail::TypeOf;

POBJECT_TYPE g_fileType = TypeOf(ObjectKind::File);
POBJECT_TYPE g_deviceType = TypeOf(ObjectKind::Device);
POBJECT_TYPE g_driverType = TypeOf(ObjectKind::Driver);
POBJECT_TYPE g_eventType = TypeOf(ObjectKind::Event);

extern "C" {

POBJECT_TYPE* IoFileObjectType = &g_fileType;
POBJECT_TYPE* IoDeviceObjectType = &g_deviceType;
POBJECT_TYPE* IoDriverObjectType = &g_driverType;
POBJECT_TYPE* ExEventObjectType = &g_eventType;

// A user-mode request names handles of its own process: a client's handle is
// resolved by asking that client; a request without a client process cannot
// name kernel handles. Kernel mode uses the kernel handle table and skips the
// access check, as NT does.
NTSTATUS ObReferenceObjectByHandle(HANDLE handle, ACCESS_MASK desired_access, POBJECT_TYPE type,
                                   KPROCESSOR_MODE mode, PVOID* object, POBJECT_HANDLE_INFORMATION info) {
    kern::RequireIrqlAtMost(APC_LEVEL, "ObReferenceObjectByHandle");
    if (!object) return STATUS_INVALID_PARAMETER;
    *object = nullptr;
    if (!handle) return STATUS_INVALID_HANDLE;
    if (mode == UserMode) {
        if (!kern::detail::t_process) return STATUS_INVALID_HANDLE;
        const NTSTATUS status = kern::detail::ReferenceClientHandle(handle, desired_access, type, object);
        if (NT_SUCCESS(status) && info) *info = {0, desired_access};
        return status;
    }
    PVOID found = nullptr;
    ACCESS_MASK granted = 0;
    const NTSTATUS status = kern::detail::ReferenceKernelHandle(handle, &found, &granted);
    if (!NT_SUCCESS(status)) return status;
    if (type && TypeOf(kern::detail::HeaderOf(found)->kind) != type) {
        ObfDereferenceObject(found);
        return STATUS_OBJECT_TYPE_MISMATCH;
    }
    if (info) *info = {0, granted};
    *object = found;
    return STATUS_SUCCESS;
}

NTSTATUS ObReferenceObjectByPointer(PVOID object, ACCESS_MASK, POBJECT_TYPE type, KPROCESSOR_MODE) {
    auto* header = kern::detail::HeaderOfOrBugCheck(object, "ObReferenceObjectByPointer");
    if (type && TypeOf(header->kind) != type) return STATUS_OBJECT_TYPE_MISMATCH;
    ObfReferenceObject(object);
    return STATUS_SUCCESS;
}

}  // extern "C"
